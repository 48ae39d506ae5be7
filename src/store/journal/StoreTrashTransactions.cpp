// The Trash moves: quarantined bundles on to the user's Trash (with a
// recovery record each), and back from the Trash to their exact original
// paths, selected by recovery record.
#include "model/ProductStatus.h"
#include "planning/BundleActionPlanner.h"
#include "planning/PathRules.h"
#include "platform/Paths.h"
#include "store/journal/StoreTransactionSteps.h"

#include <map>
#include <unordered_set>

namespace kestrova {
namespace {

// Where each planned bundle was before its quarantine, as its record says;
// the freedesktop Trash record names that place.
std::vector<std::optional<std::string>> recordedOriginalPaths(const std::vector<Plugin>& plugins,
                                                              const BundleActionPlan& plan) {
    std::map<Uuid, const Plugin*> products;
    for (const auto& item : plan.items) {
        products.emplace(item.selection.pluginID, nullptr);
    }
    for (const auto& product : plugins) {
        if (const auto found = products.find(product.id); found != products.end()) {
            found->second = &product;
        }
    }
    std::vector<std::optional<std::string>> paths;
    for (const auto& item : plan.items) {
        std::optional<std::string> path;
        if (const auto* product = products.at(item.selection.pluginID)) {
            for (const auto& record : bundleRecords(*product)) {
                if (record.id() == item.selection.bundleID && record.originalPath) {
                    path = standardizedPath(*record.originalPath);
                    break;
                }
            }
        }
        paths.push_back(std::move(path));
    }
    return paths;
}

}  // namespace

std::optional<PrivilegedTrashRequest> PluginInventoryStore::prepareTrash(
    const std::vector<PluginBundleSelection>& selections,
    const std::optional<InventoryRevisionToken>& expectedRevision) {
    const auto& texts = describe<PrivilegedTrashRequest>().texts;
    if (fileActionsBlockedByStorage_) {
        showWarning(std::string(texts.blockedTitle), std::string(storageBlockedFileActions));
        return std::nullopt;
    }
    if (layout_.profile == PlatformProfile::gnuLinux) {
        // An account has no freedesktop Trash until something is first
        // trashed; make it as a file manager would, or the plan refuses.
        const auto trash = deletingLastPathComponent(defaultTrashFolder(layout_));
        fileSystem_->createDirectories(appendingPathComponent(trash, "files"));
        fileSystem_->createDirectories(appendingPathComponent(trash, "info"));
    }
    const auto plan = fileActionPlan(BundleActionKind::trash, selections, expectedRevision, std::nullopt);
    if (const auto reason = planBlockingReason(plan)) {
        showWarning(std::string(texts.blockedTitle), *reason);
        return std::nullopt;
    }
    // Only the freedesktop Trash keeps a record of the original place.
    const auto originalPaths = layout_.profile == PlatformProfile::gnuLinux
                                   ? recordedOriginalPaths(plugins_, plan)
                                   : std::vector<std::optional<std::string>>(plan.items.size());
    std::vector<PrivilegedTrashItem> items;
    for (std::size_t index = 0; index < plan.items.size(); ++index) {
        const auto& item = plan.items[index];
        if (item.destinationPath && item.operationID) {
            items.push_back({item.sourcePath, *item.destinationPath, *item.operationID, originalPaths[index]});
        }
    }
    if (items.size() < plan.items.size()) {
        showWarning(std::string(texts.blockedTitle), std::string(texts.countMismatch));
        return std::nullopt;
    }
    return writePendingJournal(PrivilegedTrashRequest{Uuid::random().string(), std::move(items)}, std::nullopt);
}

bool PluginInventoryStore::completeTrash(const PrivilegedTrashResult& result, const std::string& transactionID,
                                         const std::vector<PrivilegedTrashItem>& items) {
    if (!completeTransaction<PrivilegedTrashRequest>(result, transactionID, items)) {
        return false;
    }
    pruneEmptyTransactionFolders();
    return true;
}

std::optional<std::string> PluginInventoryStore::trashRestoreBlockingReason(const std::vector<Uuid>& recordIDs) const {
    if (fileActionsBlockedByStorage_) {
        return "The local inventory state is unavailable. Trash recovery is blocked.";
    }
    if (hasPendingPrivilegedTransaction()) {
        return "A privileged plugin transaction still needs reconciliation.";
    }
    if (recordIDs.empty()) {
        return "No Finder Trash recovery records are selected.";
    }
    if (recordIDs.size() > maximumBundlesPerTransaction) {
        return fmt::format("A Trash recovery transaction can contain no more than {} bundles.",
                           maximumBundlesPerTransaction);
    }
    if (std::unordered_set<Uuid>(recordIDs.begin(), recordIDs.end()).size() != recordIDs.size()) {
        return "The Trash recovery selection contains a duplicate record.";
    }
    for (const auto& id : recordIDs) {
        const auto record = std::find_if(trashedBundles_.begin(), trashedBundles_.end(),
                                         [&](const TrashedBundleRecord& candidate) { return candidate.id == id; });
        if (record == trashedBundles_.end()) {
            return "A selected Trash recovery record no longer exists.";
        }
        const auto name = record->pluginName + " — " + record->format;
        if (record->reconciledDate) {
            return name + " has already been reconciled.";
        }
        const auto state = evaluateTrashRecoveryState(*record, layout_, *fileSystem_);
        if (state != TrashRecoveryState::readyToRestore) {
            return name + ": " + std::string(title(state)) + ".";
        }
        if (!isVerifiedTrashRecord(*record)) {
            return name + " needs path verification before restore.";
        }
    }
    return std::nullopt;
}

std::optional<PrivilegedTrashRestoreRequest> PluginInventoryStore::prepareTrashRestore(
    const std::vector<Uuid>& recordIDs) {
    const auto& texts = describe<PrivilegedTrashRestoreRequest>().texts;
    if (const auto reason = trashRestoreBlockingReason(recordIDs)) {
        showWarning(std::string(texts.blockedTitle), *reason);
        return std::nullopt;
    }
    std::vector<PrivilegedTrashRestoreItem> items;
    for (const auto& id : recordIDs) {
        for (const auto& record : trashedBundles_) {
            if (record.id == id) {
                items.push_back({record.trashPath, record.originalPath, record.id.string(),
                                 lastPathComponent(record.originalPath), record.format});
                break;
            }
        }
    }
    if (items.size() < recordIDs.size()) {
        showWarning(std::string(texts.blockedTitle), std::string(texts.countMismatch));
        return std::nullopt;
    }
    return writePendingJournal(PrivilegedTrashRestoreRequest{Uuid::random().string(), std::move(items)}, std::nullopt);
}

bool PluginInventoryStore::completeTrashRestore(const PrivilegedTrashRestoreResult& result,
                                                const std::string& transactionID,
                                                const std::vector<PrivilegedTrashRestoreItem>& items) {
    return completeTransaction<PrivilegedTrashRestoreRequest>(result, transactionID, items);
}

void PluginInventoryStore::commitToInventory(const PrivilegedTrashRequest& journal) {
    const auto now = Date::now();
    commitTrash(plugins_, history_, trashedBundles_, journal.transactionID, journal.items,
                CommitMoment{now, historyTimeText(now)});
    published(storeField::plugins);
    published(storeField::history);
    published(storeField::trashedBundles);
}

void PluginInventoryStore::commitToInventory(const PrivilegedTrashRestoreRequest& journal) {
    const auto now = Date::now();
    commitTrashRestore(trashedBundles_, history_, journal.transactionID, journal.items,
                       CommitMoment{now, historyTimeText(now)});
    published(storeField::trashedBundles);
    published(storeField::history);
}

}  // namespace kestrova
