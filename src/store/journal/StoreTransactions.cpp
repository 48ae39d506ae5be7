// Quarantine and restore, the moves between the standard plug-in folders and
// the quarantine root, and the plan-based checks the screens ask before
// offering a move.
#include "planning/BundleActionPlanner.h"
#include "planning/PathRules.h"
#include "store/journal/StoreTransactionSteps.h"

namespace kestrova {
namespace {

// The plan items that name both ends of a move, as the helper's items.
template <typename Item>
std::vector<Item> helperItems(const BundleActionPlan& plan) {
    std::vector<Item> items;
    for (const auto& item : plan.items) {
        if (item.destinationPath && item.operationID) {
            items.push_back(Item{item.sourcePath, *item.destinationPath, *item.operationID});
        }
    }
    return items;
}

}  // namespace

BundleActionPlan PluginInventoryStore::fileActionPlan(BundleActionKind kind,
                                                      const std::vector<PluginBundleSelection>& selections,
                                                      const std::optional<InventoryRevisionToken>& expectedRevision,
                                                      const std::optional<Uuid>& presetRunID) const {
    return planBundleAction(kind, selections, plugins_, inventoryRevision_, expectedRevision, presetRunID,
                            hasPendingPrivilegedTransaction(),
                            PlanDiskContext(*fileSystem_, layout_, defaultTrashFolder(layout_), true));
}

std::optional<std::string> PluginInventoryStore::quarantineBlockingReason(
    const std::vector<PluginBundleSelection>& selections,
    const std::optional<InventoryRevisionToken>& expectedRevision) const {
    if (fileActionsBlockedByStorage_) {
        return std::string(storageBlockedFileActions);
    }
    return planBlockingReason(fileActionPlan(BundleActionKind::quarantine, selections, expectedRevision, std::nullopt));
}

std::optional<std::string> PluginInventoryStore::restoreBlockingReason(
    const std::vector<PluginBundleSelection>& selections,
    const std::optional<InventoryRevisionToken>& expectedRevision) const {
    if (fileActionsBlockedByStorage_) {
        return std::string(storageBlockedFileActions);
    }
    return planBlockingReason(fileActionPlan(BundleActionKind::restore, selections, expectedRevision, std::nullopt));
}

std::optional<std::string> PluginInventoryStore::trashBlockingReason(
    const std::vector<PluginBundleSelection>& selections,
    const std::optional<InventoryRevisionToken>& expectedRevision) const {
    if (fileActionsBlockedByStorage_) {
        return std::string(storageBlockedFileActions);
    }
    return planBlockingReason(fileActionPlan(BundleActionKind::trash, selections, expectedRevision, std::nullopt));
}

std::optional<PrivilegedQuarantineRequest> PluginInventoryStore::prepareQuarantine(
    const std::vector<PluginBundleSelection>& selections, const std::optional<InventoryRevisionToken>& expectedRevision,
    const std::optional<Uuid>& presetRunID) {
    const auto& texts = describe<PrivilegedQuarantineRequest>().texts;
    if (fileActionsBlockedByStorage_) {
        showWarning(std::string(texts.blockedTitle), std::string(storageBlockedFileActions));
        return std::nullopt;
    }
    const auto plan = fileActionPlan(BundleActionKind::quarantine, selections, expectedRevision, presetRunID);
    if (const auto reason = planBlockingReason(plan)) {
        showWarning(std::string(texts.blockedTitle), *reason);
        return std::nullopt;
    }
    auto items = helperItems<PrivilegedQuarantineItem>(plan);
    if (items.size() < plan.items.size()) {
        showWarning(std::string(texts.blockedTitle), std::string(texts.countMismatch));
        return std::nullopt;
    }
    return writePendingJournal(PrivilegedQuarantineRequest{Uuid::random().string(), std::move(items)}, presetRunID);
}

bool PluginInventoryStore::completeQuarantine(const PrivilegedQuarantineResult& result,
                                              const std::string& transactionID,
                                              const std::vector<PrivilegedQuarantineItem>& items) {
    return completeTransaction<PrivilegedQuarantineRequest>(result, transactionID, items);
}

std::optional<PrivilegedRestoreRequest> PluginInventoryStore::prepareRestore(
    const std::vector<PluginBundleSelection>& selections,
    const std::optional<InventoryRevisionToken>& expectedRevision) {
    const auto& texts = describe<PrivilegedRestoreRequest>().texts;
    if (fileActionsBlockedByStorage_) {
        showWarning(std::string(texts.blockedTitle), std::string(storageBlockedFileActions));
        return std::nullopt;
    }
    const auto plan = fileActionPlan(BundleActionKind::restore, selections, expectedRevision, std::nullopt);
    if (const auto reason = planBlockingReason(plan)) {
        showWarning(std::string(texts.blockedTitle), *reason);
        return std::nullopt;
    }
    auto items = helperItems<PrivilegedRestoreItem>(plan);
    if (items.size() < plan.items.size()) {
        showWarning(std::string(texts.blockedTitle), std::string(texts.countMismatch));
        return std::nullopt;
    }
    return writePendingJournal(PrivilegedRestoreRequest{Uuid::random().string(), std::move(items)}, std::nullopt);
}

bool PluginInventoryStore::completeRestore(const PrivilegedRestoreResult& result, const std::string& transactionID,
                                           const std::vector<PrivilegedRestoreItem>& items) {
    return completeTransaction<PrivilegedRestoreRequest>(result, transactionID, items);
}

void PluginInventoryStore::commitToInventory(const PrivilegedQuarantineRequest& journal) {
    const auto now = Date::now();
    commitQuarantine(plugins_, history_, formatCleanupRuns_, journal.transactionID, journal.items,
                     CommitMoment{now, historyTimeText(now)});
    published(storeField::plugins);
    published(storeField::history);
}

void PluginInventoryStore::commitToInventory(const PrivilegedRestoreRequest& journal) {
    const auto now = Date::now();
    commitRestore(plugins_, history_, journal.transactionID, journal.items, CommitMoment{now, historyTimeText(now)});
    published(storeField::plugins);
    published(storeField::history);
}

}  // namespace kestrova
