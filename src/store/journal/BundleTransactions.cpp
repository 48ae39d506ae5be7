#include "store/journal/BundleTransactions.h"

#include "helperclient/PluginManagementService.h"
#include "store/PluginInventoryStore.h"
#include "store/journal/StoreTransactionSteps.h"

#include <memory>
#include <optional>
#include <utility>

namespace kestrova {
namespace {

// Runs one transaction per group, each started once the one before it has
// been completed, since the store keeps one pending journal per kind. A group
// the store refuses, or whose side's helper cannot take it, ends the chain
// before its journal is written; the warning says why.
template <typename Request, typename Selection, typename Blocked, typename Prepare, typename Send, typename Complete>
bool runGroups(PluginInventoryStore& store, std::shared_ptr<std::vector<std::vector<Selection>>> groups,
               std::size_t index, Blocked blocked, Prepare prepare, Send send, Complete complete,
               TransactionDone<Request> done) {
    if (index >= groups->size()) {
        return false;
    }
    if (const auto reason = blocked((*groups)[index])) {
        store.showWarning(std::string(describe<Request>().texts.blockedTitle), *reason);
        return false;
    }
    std::optional<Request> request = prepare((*groups)[index]);
    if (!request) {
        return false;
    }
    auto items = request->items;
    const auto transactionID = request->transactionID;
    send(transactionID, std::move(items),
         [&store, groups, index, request = std::move(*request), blocked, prepare, send, complete,
          done](const auto& result) {
             const bool committed = complete(result, request.transactionID, request.items);
             if (done) {
                 done(request, committed);
             }
             if (committed) {
                 runGroups<Request, Selection>(store, groups, index + 1, blocked, prepare, send, complete, done);
             }
         });
    return true;
}

template <typename Request, typename Selection, typename Side, typename Prepare, typename Send, typename Complete>
bool run(PluginInventoryStore& store, PluginManagementService& service, TransactionKind kind,
         std::vector<std::vector<Selection>> groups, Side sideOf, Prepare prepare, Send send, Complete complete,
         TransactionDone<Request> done) {
    if (groups.empty()) {
        groups.emplace_back();  // the store explains an empty selection
    }
    const auto blocked = [&service, kind, sideOf](const std::vector<Selection>& group) -> std::optional<std::string> {
        return group.empty() ? std::nullopt : service.blockingReason(kind, sideOf(group.front()));
    };
    return runGroups<Request, Selection>(
        store, std::make_shared<std::vector<std::vector<Selection>>>(std::move(groups)), 0, blocked, std::move(prepare),
        std::move(send), std::move(complete), std::move(done));
}

}  // namespace

bool runQuarantine(PluginInventoryStore& store, PluginManagementService& service,
                   const std::vector<PluginBundleSelection>& selections,
                   TransactionDone<PrivilegedQuarantineRequest> done) {
    return run<PrivilegedQuarantineRequest, PluginBundleSelection>(
        store, service, TransactionKind::quarantine, store.selectionsBySide(selections),
        [&store](const auto& selection) { return store.sideOf(selection); },
        [&store](const auto& group) { return store.prepareQuarantine(group); },
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
        store, service, TransactionKind::restore, store.selectionsBySide(selections),
        [&store](const auto& selection) { return store.sideOf(selection); },
        [&store](const auto& group) { return store.prepareRestore(group); },
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
        store, service, TransactionKind::trash, store.selectionsBySide(selections),
        [&store](const auto& selection) { return store.sideOf(selection); },
        [&store](const auto& group) { return store.prepareTrash(group); },
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
        store, service, TransactionKind::trashRestore, store.trashRecordsBySide(recordIDs),
        [&store](const Uuid& recordID) { return store.sideOfTrashRecord(recordID); },
        [&store](const auto& group) { return store.prepareTrashRestore(group); },
        [&service](const auto& id, auto items, auto completion) {
            service.sendTrashRestore(id, std::move(items), std::move(completion));
        },
        [&store](const auto& result, const auto& id, const auto& items) {
            return store.completeTrashRestore(result, id, items);
        },
        std::move(done));
}

}  // namespace kestrova
