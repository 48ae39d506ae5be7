#include "store/journal/BundleTransactions.h"

#include "store/PluginInventoryStore.h"

#include <memory>
#include <optional>
#include <utility>

namespace kestrova {
namespace {

// Runs one transaction per group, each started once the one before it has
// been completed, since the store keeps one pending journal. A group the
// store refuses, or whose side's helper cannot take it, ends the chain
// before its journal is written; the warning says why.
template <typename Selection>
struct GroupChain {
    PluginInventoryStore& store;
    PluginManagementService& service;
    TransactionKind kind;
    std::vector<std::vector<Selection>> groups;
    std::function<BundleSide(const Selection&)> sideOf;
    std::function<std::optional<PrivilegedRequest>(const std::vector<Selection>&)> prepare;
    TransactionDone done;
};

template <typename Selection>
bool runGroup(std::shared_ptr<GroupChain<Selection>> chain, std::size_t index) {
    if (index >= chain->groups.size()) {
        return false;
    }
    const auto& group = chain->groups[index];
    // An empty selection has no side; the store explains it.
    const auto side = group.empty() ? std::nullopt : std::optional<BundleSide>(chain->sideOf(group.front()));
    return runTransaction(
        chain->store, chain->service, chain->kind, side, [&] { return chain->prepare(group); },
        [chain, index](const PrivilegedRequest& request, bool committed) {
            if (chain->done) {
                chain->done(request, committed);
            }
            if (committed) {
                runGroup(chain, index + 1);
            }
        });
}

template <typename Selection>
bool runGroups(std::shared_ptr<GroupChain<Selection>> chain) {
    if (chain->groups.empty()) {
        chain->groups.emplace_back();  // the store explains an empty selection
    }
    return runGroup(std::move(chain), 0);
}

}  // namespace

bool runSelection(PluginInventoryStore& store, PluginManagementService& service, TransactionKind kind,
                  const std::vector<PluginBundleSelection>& selections, TransactionDone done) {
    return runGroups(std::make_shared<GroupChain<PluginBundleSelection>>(GroupChain<PluginBundleSelection>{
        store, service, kind, store.selectionsBySide(selections),
        [&store](const PluginBundleSelection& selection) { return store.sideOf(selection); },
        [&store, kind](const std::vector<PluginBundleSelection>& group) { return store.prepare(kind, group); },
        std::move(done)}));
}

bool runTrashRestore(PluginInventoryStore& store, PluginManagementService& service, const std::vector<Uuid>& recordIDs,
                     TransactionDone done) {
    return runGroups(std::make_shared<GroupChain<Uuid>>(GroupChain<Uuid>{
        store, service, TransactionKind::trashRestore, store.trashRecordsBySide(recordIDs),
        [&store](const Uuid& recordID) { return store.sideOfTrashRecord(recordID); },
        [&store](const std::vector<Uuid>& group) { return store.prepareTrashRestore(group); }, std::move(done)}));
}

}  // namespace kestrova
