#include "ui/screens/trash-recovery/TrashRestoreTransaction.h"

#include "helperclient/PluginManagementService.h"
#include "store/PluginInventoryStore.h"

namespace kestrova::ui {

bool startTrashRestore(PluginInventoryStore& store, PluginManagementService& service,
                       const std::vector<Uuid>& recordIDs, std::function<void(bool committed)> finished) {
    // No journal may be written for a request the helper cannot take.
    if (!service.canSendPrivilegedRequest()) {
        return false;
    }
    auto request = store.prepareTrashRestore(recordIDs);
    if (!request) {
        return false;
    }
    auto items = request->items;
    const auto transactionID = request->transactionID;
    service.sendTrashRestore(
        transactionID, std::move(items),
        [&store, request = std::move(*request), finished = std::move(finished)](PrivilegedTrashRestoreResult result) {
            const auto committed = store.completeTrashRestore(result, request.transactionID, request.items);
            if (finished) {
                finished(committed);
            }
        });
    return true;
}

}  // namespace kestrova::ui
