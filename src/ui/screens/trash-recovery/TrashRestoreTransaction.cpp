#include "ui/screens/trash-recovery/TrashRestoreTransaction.h"

#include "helperclient/PluginManagementService.h"
#include "store/PluginInventoryStore.h"
#include "store/journal/TransactionRoad.h"

namespace kestrova::ui {

bool startTrashRestore(PluginInventoryStore& store, PluginManagementService& service,
                       const std::vector<Uuid>& recordIDs, std::function<void(bool committed)> finished) {
    // No journal may be written for a request the helper cannot take.
    if (!service.canSendPrivilegedRequest()) {
        return false;
    }
    // Checked above for either helper; the store refuses a mix of sides.
    return runTransaction(
        store, service, TransactionKind::trashRestore, std::nullopt,
        [&] { return store.prepareTrashRestore(recordIDs); },
        [finished = std::move(finished)](const PrivilegedRequest&, bool committed) {
            if (finished) {
                finished(committed);
            }
        });
}

}  // namespace kestrova::ui
