// The host cache notice: set after every committed move, from the hosts'
// own plug-in lists as they stand then.
#include "scan/HostPluginCaches.h"
#include "store/PluginInventoryStore.h"

namespace kestrova {

void PluginInventoryStore::noteHostCaches(const std::vector<std::string>& installedLocations) {
    const auto text = hostCacheNoticeText(hostCachesNaming(installedLocations, layout_, *fileSystem_));
    if (text.empty()) {
        dismissHostCacheNotice();
        return;
    }
    assign(hostCacheNotice_, OperationNotice::success("Hosts Still List Moved Plug-ins", text),
           storeField::hostCacheNotice);
}

void PluginInventoryStore::dismissHostCacheNotice() {
    if (hostCacheNotice_) {
        assign(hostCacheNotice_, std::nullopt, storeField::hostCacheNotice);
    }
}

}  // namespace kestrova
