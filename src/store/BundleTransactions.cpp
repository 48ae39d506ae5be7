#include "store/BundleTransactions.h"

#include "helperclient/PluginManagementService.h"
#include "store/PluginInventoryStore.h"

#include <memory>
#include <optional>
#include <utility>

namespace kestrova {
namespace {

// Runs one transaction per group, each started once the one before it has
// been completed, since the store keeps one pending journal per kind. A group
// the store refuses ends the chain; its warning says why.
template <typename Request, typename Selection, typename Prepare, typename Send, typename Complete>
bool runGroups(std::shared_ptr<std::vector<std::vector<Selection>>> groups, std::size_t index, Prepare prepare,
               Send send, Complete complete, TransactionDone<Request> done) {
    if (index >= groups->size()) {
        return false;
    }
    std::optional<Request> request = prepare((*groups)[index]);
    if (!request) {
        return false;
    }
    auto items = request->items;
    const auto transactionID = request->transactionID;
    send(transactionID, std::move(items),
         [groups, index, request = std::move(*request), prepare, send, complete, done](const auto& result) {
             const bool committed = complete(result, request.transactionID, request.items);
             if (done) {
                 done(request, committed);
             }
             if (committed) {
                 runGroups<Request, Selection>(groups, index + 1, prepare, send, complete, done);
             }
         });
    return true;
}

template <typename Request, typename Selection, typename Prepare, typename Send, typename Complete>
bool run(std::vector<std::vector<Selection>> groups, Prepare prepare, Send send, Complete complete,
         TransactionDone<Request> done) {
    if (groups.empty()) {
        groups.emplace_back();  // the store explains an empty selection
    }
    return runGroups<Request, Selection>(std::make_shared<std::vector<std::vector<Selection>>>(std::move(groups)), 0,
                                         std::move(prepare), std::move(send), std::move(complete), std::move(done));
}

}  // namespace

bool runQuarantine(PluginInventoryStore& store, PluginManagementService& service,
                   const std::vector<PluginBundleSelection>& selections,
                   TransactionDone<PrivilegedQuarantineRequest> done) {
    return run<PrivilegedQuarantineRequest, PluginBundleSelection>(
        store.selectionsBySide(selections), [&store](const auto& group) { return store.prepareQuarantine(group); },
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
    return run<PrivilegedRestoreRequest, PluginBundleSelection>(
        store.selectionsBySide(selections), [&store](const auto& group) { return store.prepareRestore(group); },
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
    return run<PrivilegedTrashRequest, PluginBundleSelection>(
        store.selectionsBySide(selections), [&store](const auto& group) { return store.prepareTrash(group); },
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
    return run<PrivilegedTrashRestoreRequest, Uuid>(
        store.trashRecordsBySide(recordIDs), [&store](const auto& group) { return store.prepareTrashRestore(group); },
        [&service](const auto& id, auto items, auto completion) {
            service.sendTrashRestore(id, std::move(items), std::move(completion));
        },
        [&store](const auto& result, const auto& id, const auto& items) {
            return store.completeTrashRestore(result, id, items);
        },
        std::move(done));
}

}  // namespace kestrova
