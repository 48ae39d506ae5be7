// The store's side of Finder Trash recovery records: their states as the
// disk shows them now, and the reconciliation the Trash Recovery screen runs
// each time it is shown.
#include "store/PluginInventoryStore.h"

namespace kestrova {

std::vector<TrashRecoveryEntry> PluginInventoryStore::trashRecoveryEntries() const {
    return kestrova::trashRecoveryEntries(trashedBundles_, layout_, *fileSystem_);
}

int PluginInventoryStore::readyTrashRecoveryCount() const {
    return kestrova::readyTrashRecoveryCount(trashRecoveryEntries());
}

bool PluginInventoryStore::isVerifiedTrashRecord(const TrashedBundleRecord& record) const {
    return kestrova::isVerifiedTrashRecord(record, layout_, *fileSystem_);
}

void PluginInventoryStore::reconcileTrashRecords() {
    if (!kestrova::reconcileTrashRecords(trashedBundles_, history_, *fileSystem_, Date::now())) {
        return;
    }
    published(storeField::trashedBundles);
    published(storeField::history);
    save();
}

}  // namespace kestrova
