// Start-up, saving, notices and the queries the sidebar counts with.
#include "model/HistoryOperation.h"
#include "model/ProductStatus.h"
#include "model/SampleInventory.h"
#include "platform/PlatformWording.h"
#include "scan/PluginScanner.h"
#include "store/PluginInventoryStore.h"
#include "store/journal/TransactionFolderPruning.h"
#include "store/state/PersistedInventoryFile.h"

#include <algorithm>
#include <iterator>

namespace kestrova {

ScanRunner pluginScannerRunner(const FileSystem& fileSystem, SystemLayout layout, AudioUnitRegistry registry) {
    auto scanner = std::make_shared<const PluginScanner>(fileSystem, std::move(layout), std::move(registry));
    return [scanner](const std::vector<std::string>& roots, const ScanControl& control,
                     const std::function<void(const ScanProgress&)>& progress) {
        return scanner->scan(roots, control, progress);
    };
}

PluginInventoryStore::PluginInventoryStore(SystemLayout layout, FileSystem& fileSystem, Executor& executor,
                                           ScanRunner scanRunner, TransactionLookup transactionLookup,
                                           TransactionLookup userTransactionLookup)
    : layout_(std::move(layout)),
      fileSystem_(&fileSystem),
      executor_(&executor),
      scanRunner_(scanRunner ? std::move(scanRunner) : pluginScannerRunner(fileSystem, layout_)),
      plugins_(sampleInventory()),
      inventoryRevision_(InventoryRevisionToken::random()),
      journal_(*this, std::move(transactionLookup), std::move(userTransactionLookup)) {
    pruneEmptyTransactionFolders();
    loadState();
}

PluginInventoryStore::~PluginInventoryStore() {
    if (scanControl_) {
        scanControl_->requestCancellation();
    }
    if (scanThread_.joinable()) {
        scanThread_.join();
    }
}

void PluginInventoryStore::loadState() {
    auto loaded = loadPersistedInventory(layout_, *fileSystem_);
    if (!loaded) {
        assign(plugins_, std::vector<Plugin>{}, storeField::plugins);
        assign(fileActionsBlockedByStorage_, true, storeField::fileActionsBlockedByStorage);
        setLastStorageError(loaded.error().description);
        setNotice(OperationNotice::warning(
            "Inventory Upgrade Blocked",
            "Kestrova kept the existing Build 39 inventory unchanged. Scanning and plugin file actions are blocked "
            "until the local state can be safely upgraded."));
        return;
    }
    if (!loaded->has_value()) {
        return;  // first launch: the sample inventory stays until the first scan
    }
    takeOverLoadedState(applyLoadedState(std::move((*loaded)->state)));
    recoverPendingTransactions();
    closePendingCleanupRuns();
}

void PluginInventoryStore::takeOverLoadedState(LoadedInventoryState loaded) {
    assign(plugins_, std::move(loaded.plugins), storeField::plugins);
    assign(lastScanDate_, loaded.lastScanDate, storeField::lastScanDate);
    assign(history_, std::move(loaded.history), storeField::history);
    assign(lastReconciliation_, loaded.lastReconciliation, storeField::lastReconciliation);
    protectedKeys_ = std::move(loaded.protectedKeys);
    assign(inaccessibleLocations_, std::move(loaded.inaccessibleLocations), storeField::inaccessibleLocations);
    assign(trashedBundles_, std::move(loaded.trashedBundles), storeField::trashedBundles);
    assign(formatCleanupRuns_, std::move(loaded.formatCleanupRuns), storeField::formatCleanupRuns);
    assign(permanentQuarantineRules_, std::move(loaded.permanentQuarantineRules), storeField::permanentQuarantineRules);
    std::vector<PrivilegedRequest> journals;
    if (loaded.pendingPrivilegedQuarantine) {
        journals.emplace_back(std::move(*loaded.pendingPrivilegedQuarantine));
    }
    if (loaded.pendingPrivilegedRestore) {
        journals.emplace_back(std::move(*loaded.pendingPrivilegedRestore));
    }
    if (loaded.pendingPrivilegedTrash) {
        journals.emplace_back(std::move(*loaded.pendingPrivilegedTrash));
    }
    if (loaded.pendingPrivilegedTrashRestore) {
        journals.emplace_back(std::move(*loaded.pendingPrivilegedTrashRestore));
    }
    journal_.takeOverLoaded(std::move(journals));
}

void PluginInventoryStore::pruneEmptyTransactionFolders() {
    for (const auto& folder : transactionFolderRoots(layout_)) {
        kestrova::pruneEmptyTransactionFolders(folder, *fileSystem_);
    }
}

PersistedInventory PluginInventoryStore::persistedSnapshot() const {
    PersistedInventory state;
    state.schemaVersion = currentInventorySchemaVersion;
    state.plugins = plugins_;
    state.lastScanDate = lastScanDate_;
    state.protectedKeys.assign(protectedKeys_.begin(), protectedKeys_.end());  // ascending, as the set keeps them
    state.history = history_;
    state.inaccessibleLocations = inaccessibleLocations_;
    state.lastReconciliation = lastReconciliation_;
    state.trashedBundles = trashedBundles_;
    state.formatCleanupRuns = formatCleanupRuns_;
    state.permanentQuarantineRules = permanentQuarantineRules_;
    journal_.writeInto(state);
    return state;
}

Status PluginInventoryStore::persistState() {
    // The file that could not be loaded is kept exactly as it is: it may be a
    // newer build's, and this build's empty state must never replace it.
    if (fileActionsBlockedByStorage_) {
        return Error{"Kestrova keeps the inventory file it could not upgrade unchanged."};
    }
    return writePersistedInventory(persistedSnapshot(), layout_, *fileSystem_);
}

void PluginInventoryStore::save() {
    renewInventoryRevision();
    const auto written = persistState();
    if (written) {
        setLastStorageError(std::nullopt);
        return;
    }
    setLastStorageError(written.error().message);
    setNotice(OperationNotice::warning("Local State Not Saved",
                                       "Kestrova could not save its inventory record: " + written.error().message));
}

void PluginInventoryStore::renewInventoryRevision() { inventoryRevision_ = InventoryRevisionToken::random(); }

void PluginInventoryStore::showWarning(std::string title, std::string message) {
    setLastOperationError(message);
    setNotice(OperationNotice::warning(std::move(title), std::move(message)));
}

void PluginInventoryStore::showSuccess(std::string title, std::string message) {
    setNotice(OperationNotice::success(std::move(title), std::move(message)));
}

void PluginInventoryStore::dismissNotice() { assign(notice_, std::nullopt, storeField::notice); }

bool PluginInventoryStore::hasPendingPrivilegedTransaction() const { return journal_.hasPending(); }

std::optional<PrivilegedRequest> PluginInventoryStore::prepare(
    TransactionKind kind, const std::vector<PluginBundleSelection>& selections,
    const std::optional<InventoryRevisionToken>& expectedRevision, const std::optional<Uuid>& presetRunID) {
    return journal_.prepare(kind, selections, expectedRevision, presetRunID);
}

std::optional<PrivilegedRequest> PluginInventoryStore::prepareTrashRestore(const std::vector<Uuid>& recordIDs) {
    return journal_.prepareTrashRestore(recordIDs);
}

bool PluginInventoryStore::complete(const PrivilegedResult& result) { return journal_.complete(result); }

std::optional<std::string> PluginInventoryStore::blockingReason(
    TransactionKind kind, const std::vector<PluginBundleSelection>& selections,
    const std::optional<InventoryRevisionToken>& expectedRevision) const {
    return journal_.blockingReason(kind, selections, expectedRevision);
}

std::optional<std::string> PluginInventoryStore::trashRestoreBlockingReason(const std::vector<Uuid>& recordIDs) const {
    return journal_.trashRestoreBlockingReason(recordIDs);
}

void PluginInventoryStore::recoverPendingTransactions() { journal_.recover(); }

void PluginInventoryStore::setNotice(OperationNotice notice) {
    notice.title = platformWording(notice.title, layout_.profile);
    notice.message = platformWording(notice.message, layout_.profile);
    assign(notice_, std::move(notice), storeField::notice);
}

void PluginInventoryStore::setLastOperationError(std::optional<std::string> error) {
    if (error) {
        error = platformWording(*error, layout_.profile);
    }
    assign(lastOperationError_, std::move(error), storeField::lastOperationError);
}

HistoryItem& PluginInventoryStore::prependHistory(HistoryItem item) {
    history_.insert(history_.begin(), std::move(item));
    published(storeField::history);
    return history_.front();
}

std::vector<Plugin> PluginInventoryStore::activePlugins() const {
    std::vector<Plugin> active;
    std::copy_if(plugins_.begin(), plugins_.end(), std::back_inserter(active), hasActiveFormat);
    return active;
}

int PluginInventoryStore::activePluginCount() const {
    return static_cast<int>(std::count_if(plugins_.begin(), plugins_.end(), hasActiveFormat));
}

int PluginInventoryStore::protectedPluginCount() const {
    return static_cast<int>(
        std::count_if(plugins_.begin(), plugins_.end(), [](const Plugin& product) { return product.isProtected; }));
}

int PluginInventoryStore::quarantinedBundleCount() const {
    int count = 0;
    for (const auto& product : plugins_) {
        for (const auto& record : bundleRecords(product)) {
            count += record.isQuarantined() ? 1 : 0;
        }
    }
    return count;
}

int PluginInventoryStore::historyOperationCount() const {
    return static_cast<int>(groupedHistoryOperations(history_).size());
}

}  // namespace kestrova
