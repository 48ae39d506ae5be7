#include "cli/StoreGate.h"

namespace kestrova::cli {

bool fileActionsGated(const PluginInventoryStore& store) {
    return store.fileActionsBlockedByStorage() || store.hasPendingPrivilegedTransaction();
}

bool storeRefusesTransaction(PluginInventoryStore& store, PrivilegedRequestKind kind) {
    if (!fileActionsGated(store)) {
        return false;
    }
    // The gates come before the store looks at the selection, so one that
    // names no bundle is refused for the gate's reason and nothing is written.
    const std::vector<PluginBundleSelection> nothingNamed{PluginBundleSelection{}};
    switch (kind) {
        case PrivilegedRequestKind::quarantine:
            (void)store.prepareQuarantine(nothingNamed);
            break;
        case PrivilegedRequestKind::restore:
            (void)store.prepareRestore(nothingNamed);
            break;
        case PrivilegedRequestKind::trash:
            (void)store.prepareTrash(nothingNamed);
            break;
        case PrivilegedRequestKind::trashRestore:
            (void)store.prepareTrashRestore({});
            break;
    }
    return true;
}

}  // namespace kestrova::cli
