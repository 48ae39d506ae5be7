#include "cli/StoreGate.h"

namespace kestrova::cli {

bool fileActionsGated(const PluginInventoryStore& store) {
    return store.fileActionsBlockedByStorage() || store.hasPendingPrivilegedTransaction();
}

bool storeRefusesTransaction(PluginInventoryStore& store, TransactionKind kind) {
    if (!fileActionsGated(store)) {
        return false;
    }
    // The gates come before the store looks at the selection, so one that
    // names no bundle is refused for the gate's reason and nothing is written.
    const std::vector<PluginBundleSelection> nothingNamed{PluginBundleSelection{}};
    if (kind == TransactionKind::trashRestore) {
        (void)store.prepareTrashRestore({});
    } else {
        (void)store.prepare(kind, nothingNamed);
    }
    return true;
}

}  // namespace kestrova::cli
