#include "store/BundleTransactions.h"

#include "helperclient/PluginManagementService.h"
#include "store/PluginInventoryStore.h"

#include <optional>
#include <utility>

namespace kestrova {
namespace {

template <typename Request, typename Send, typename Complete>
bool run(std::optional<Request> request, Send send, Complete complete, TransactionDone<Request> done) {
    if (!request) {
        return false;
    }
    auto items = request->items;
    const auto transactionID = request->transactionID;
    send(transactionID, std::move(items),
         [request = std::move(*request), complete, done = std::move(done)](const auto& result) {
             const bool committed = complete(result, request.transactionID, request.items);
             if (done) {
                 done(request, committed);
             }
         });
    return true;
}

}  // namespace

bool runQuarantine(PluginInventoryStore& store, PluginManagementService& service,
                   const std::vector<PluginBundleSelection>& selections,
                   TransactionDone<PrivilegedQuarantineRequest> done) {
    return run(
        store.prepareQuarantine(selections),
        [&service](const auto& id, auto items, auto completion) {
            service.sendQuarantine(id, std::move(items), std::move(completion));
        },
        [&store](const auto& result, const auto& id, const auto& items) {
            return store.completeQuarantine(result, id, items);
        },
        std::move(done));
}

bool runRestore(PluginInventoryStore& store, PluginManagementService& service,
                const std::vector<PluginBundleSelection>& selections, TransactionDone<PrivilegedRestoreRequest> done) {
    return run(
        store.prepareRestore(selections),
        [&service](const auto& id, auto items, auto completion) {
            service.sendRestore(id, std::move(items), std::move(completion));
        },
        [&store](const auto& result, const auto& id, const auto& items) {
            return store.completeRestore(result, id, items);
        },
        std::move(done));
}

bool runTrash(PluginInventoryStore& store, PluginManagementService& service,
              const std::vector<PluginBundleSelection>& selections, TransactionDone<PrivilegedTrashRequest> done) {
    return run(
        store.prepareTrash(selections),
        [&service](const auto& id, auto items, auto completion) {
            service.sendTrash(id, std::move(items), std::move(completion));
        },
        [&store](const auto& result, const auto& id, const auto& items) {
            return store.completeTrash(result, id, items);
        },
        std::move(done));
}

bool runTrashRestore(PluginInventoryStore& store, PluginManagementService& service, const std::vector<Uuid>& recordIDs,
                     TransactionDone<PrivilegedTrashRestoreRequest> done) {
    return run(
        store.prepareTrashRestore(recordIDs),
        [&service](const auto& id, auto items, auto completion) {
            service.sendTrashRestore(id, std::move(items), std::move(completion));
        },
        [&store](const auto& result, const auto& id, const auto& items) {
            return store.completeTrashRestore(result, id, items);
        },
        std::move(done));
}

}  // namespace kestrova
