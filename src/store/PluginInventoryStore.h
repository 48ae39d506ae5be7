// The one observable object that owns the inventory and everything persisted
// with it. It loads and upgrades the state file when it is built, writes it
// on every committed change, renews the revision token plans are checked
// against, carries the one user-facing notice and refuses file actions while
// the local state is unsafe. Every member runs on the main thread (the
// executor given at construction); only a scan's file-system walk runs
// elsewhere, and it hands everything back through the executor.
//
// The operations live in files by responsibility: StoreCore (start-up,
// saving, notices, queries), StoreSides, StoreTrashRecords, StoreHostCaches
// and the rooms: rules/ (scan, protection, rules), journal/ (the one pending
// transaction journal, which the store lends its fields to) and runs/
// (cleanup runs, enforcement).
#pragma once

#include "helperclient/TransactionLookup.h"
#include "model/FormatCleanupRun.h"
#include "model/History.h"
#include "model/InventoryRevisionToken.h"
#include "model/OperationNotice.h"
#include "model/PermanentQuarantineRule.h"
#include "model/Plugin.h"
#include "model/PluginBundleSelection.h"
#include "model/ScanReconciliationSummary.h"
#include "model/TrashRecovery.h"
#include "model/TrashedBundleRecord.h"
#include "planning/BundleActionPlan.h"
#include "planning/FormatCleanupPlan.h"
#include "platform/AudioUnitRegistry.h"
#include "platform/Date.h"
#include "platform/Executor.h"
#include "platform/FileSystem.h"
#include "platform/Observable.h"
#include "platform/Result.h"
#include "platform/SystemLayout.h"
#include "protocol/TransactionKinds.h"
#include "scan/ScanControl.h"
#include "scan/ScanSummary.h"
#include "store/journal/TransactionJournal.h"
#include "store/rules/PermanentQuarantineMatching.h"
#include "store/rules/ScanMerge.h"
#include "store/state/LoadedInventoryState.h"
#include "store/state/PersistedInventory.h"

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace kestrova {

class PluginManagementService;

// The names observers are told when a published field is assigned.
namespace storeField {
inline constexpr std::string_view plugins = "plugins";
inline constexpr std::string_view isScanning = "isScanning";
inline constexpr std::string_view lastScanDate = "lastScanDate";
inline constexpr std::string_view inaccessibleLocations = "inaccessibleLocations";
inline constexpr std::string_view history = "history";
inline constexpr std::string_view lastStorageError = "lastStorageError";
inline constexpr std::string_view lastOperationError = "lastOperationError";
inline constexpr std::string_view scanProgress = "scanProgress";
inline constexpr std::string_view lastScanNotice = "lastScanNotice";
inline constexpr std::string_view lastReconciliation = "lastReconciliation";
inline constexpr std::string_view fileActionsBlockedByStorage = "fileActionsBlockedByStorage";
inline constexpr std::string_view notice = "notice";
inline constexpr std::string_view hostCacheNotice = "hostCacheNotice";
inline constexpr std::string_view trashedBundles = "trashedBundles";
inline constexpr std::string_view formatCleanupRuns = "formatCleanupRuns";
inline constexpr std::string_view permanentQuarantineRules = "permanentQuarantineRules";
}  // namespace storeField

// Runs one scan to its end on the calling thread. The store calls it on its
// background thread; the default walks the disk with PluginScanner.
using ScanRunner =
    std::function<ScanSummary(const std::vector<std::string>& authorizedRoots, const ScanControl& control,
                              const std::function<void(const ScanProgress&)>& progress)>;

// A runner over the real scanner. The file system must outlive every scan.
ScanRunner pluginScannerRunner(const FileSystem& fileSystem, SystemLayout layout, AudioUnitRegistry registry = {});

class PluginInventoryStore final : public Observable, private JournalHost {
public:
    // Runs the start-up sequence: prunes empty transaction folders, loads and
    // upgrades the state file (or blocks file actions when it cannot), then
    // resolves pending journals and closes pending cleanup runs. `fileSystem`
    // and `executor` must outlive the store. Without a runner, scans use
    // PluginScanner with an empty Audio Unit registry. With a transaction
    // lookup, each pending journal is first put to the helper daemon, which
    // may still be acting on it; the lookup blocks (boundedly) and is called
    // only while loading, on the constructing thread. Without one the disk
    // alone decides. A journal of the user side (Linux) is put to
    // `userTransactionLookup`, its own helper.
    PluginInventoryStore(SystemLayout layout, FileSystem& fileSystem, Executor& executor, ScanRunner scanRunner = {},
                         TransactionLookup transactionLookup = {}, TransactionLookup userTransactionLookup = {});
    // Cancels a running scan and waits for its thread, so nothing the scan
    // uses is gone before it stops. Work it already posted finds the store gone.
    ~PluginInventoryStore();
    PluginInventoryStore(const PluginInventoryStore&) = delete;
    PluginInventoryStore& operator=(const PluginInventoryStore&) = delete;

    // ---- Published fields ----
    const std::vector<Plugin>& plugins() const override { return plugins_; }
    bool isScanning() const { return isScanning_; }
    const std::optional<Date>& lastScanDate() const { return lastScanDate_; }
    const std::vector<std::string>& inaccessibleLocations() const { return inaccessibleLocations_; }
    const std::vector<HistoryItem>& history() const { return history_; }
    const std::optional<std::string>& lastStorageError() const { return lastStorageError_; }
    const std::optional<std::string>& lastOperationError() const { return lastOperationError_; }
    const std::optional<ScanProgress>& scanProgress() const { return scanProgress_; }
    const std::optional<std::string>& lastScanNotice() const { return lastScanNotice_; }
    const std::optional<ScanReconciliationSummary>& lastReconciliation() const { return lastReconciliation_; }
    bool fileActionsBlockedByStorage() const override { return fileActionsBlockedByStorage_; }
    const std::optional<OperationNotice>& notice() const { return notice_; }
    // Beside the notice of a move: the hosts whose plug-in caches still name
    // a bundle it moved, and how each rescans.
    const std::optional<OperationNotice>& hostCacheNotice() const { return hostCacheNotice_; }
    const std::vector<TrashedBundleRecord>& trashedBundles() const override { return trashedBundles_; }
    const std::vector<FormatCleanupRunRecord>& formatCleanupRuns() const { return formatCleanupRuns_; }
    const std::vector<PermanentQuarantineRule>& permanentQuarantineRules() const { return permanentQuarantineRules_; }

    // ---- Unpublished state ----
    const InventoryRevisionToken& inventoryRevision() const override { return inventoryRevision_; }
    const std::set<std::string>& protectedKeys() const { return protectedKeys_; }
    // The one transaction that may be pending at a time.
    const std::optional<PrivilegedRequest>& pendingTransaction() const { return journal_.pending(); }
    const SystemLayout& layout() const override { return layout_; }
    const FileSystem& fileSystem() const { return *fileSystem_; }
    // The main thread the store runs on, for work that must follow a store
    // operation in a later turn.
    Executor& mainThread() const { return *executor_; }
    // Expires with the store: a reply that arrives later finds it gone.
    std::weak_ptr<const void> lifetime() const { return alive_; }

    // ---- Core ----
    // Renews the token, writes the state and reports a failed write itself.
    void save();
    // Writes the state file; the caller reacts to a failure.
    Status persistState() override;
    // What persistState writes.
    PersistedInventory persistedSnapshot() const;
    void renewInventoryRevision() override;
    // A refusal or failure: sets lastOperationError and a warning notice.
    void showWarning(std::string title, std::string message) override;
    // A completed action: a success notice.
    void showSuccess(std::string title, std::string message) override;
    // The user saw the notice.
    void dismissNotice();
    void dismissHostCacheNotice();
    bool hasPendingPrivilegedTransaction() const;
    // Removes empty operation folders from the three quarantine folders.
    void pruneEmptyTransactionFolders() override;

    // ---- Derived queries ----
    std::vector<Plugin> activePlugins() const;
    int activePluginCount() const;
    int protectedPluginCount() const;
    int quarantinedBundleCount() const;
    int readyTrashRecoveryCount() const;
    int historyOperationCount() const;

    // ---- Scans ----
    // Returns at once; the scan runs on a background thread and completes
    // through the executor. `service` is handed on to permanent-quarantine
    // enforcement and may be absent.
    void startScan(std::vector<std::string> authorizedFolders, PluginManagementService* service = nullptr);
    void cancelScan();

    // ---- Protection ----
    void setProtection(const Plugin& product, bool isProtected);
    void setProtectionForBatch(const std::vector<Plugin>& products, bool isProtected);
    // True when accepted (changed or already so), false when refused.
    bool setBundleProtection(const PluginBundleSelection& selection, bool isProtected);

    // ---- Finder Trash recovery records ----
    std::vector<TrashRecoveryEntry> trashRecoveryEntries() const;
    bool isVerifiedTrashRecord(const TrashedBundleRecord& record) const override;
    void reconcileTrashRecords();

    // ---- Permanent quarantine rules ----
    std::vector<std::string> permanentQuarantineManufacturers() const;
    bool isPermanentQuarantineEnabled(std::string_view manufacturer) const;
    void setPermanentQuarantine(const std::string& manufacturer, bool enabled);

    // ---- Privileged file transactions ----
    // Each move is prepared (planned again against the current inventory and
    // saved as the pending journal), sent through PluginManagementService,
    // then completed with the helper's result, which is checked against the
    // journal (see runTransaction). prepare returns nothing after showing a
    // warning; complete returns true when the result was verified on disk and
    // committed. See CrashPoint.h for the points a test can stop at.
    // `kind` is quarantine, restore or Trash; a Trash restore is selected by
    // the ids of Finder Trash recovery records.
    std::optional<PrivilegedRequest> prepare(
        TransactionKind kind, const std::vector<PluginBundleSelection>& selections,
        const std::optional<InventoryRevisionToken>& expectedRevision = std::nullopt,
        const std::optional<Uuid>& presetRunID = std::nullopt);
    std::optional<PrivilegedRequest> prepareTrashRestore(const std::vector<Uuid>& recordIDs);
    bool complete(const PrivilegedResult& result);
    // Why the action cannot run now, as the screens explain a disabled
    // button; nothing when it can.
    std::optional<std::string> blockingReason(
        TransactionKind kind, const std::vector<PluginBundleSelection>& selections,
        const std::optional<InventoryRevisionToken>& expectedRevision = std::nullopt) const;
    std::optional<std::string> trashRestoreBlockingReason(const std::vector<Uuid>& recordIDs) const;

    // ---- Privileged transactions: recovery, cleanup runs, enforcement ----
    // Start-up step: resolves each pending journal against the disk.
    void recoverPendingTransactions();
    // Start-up step: finishes cleanup runs left pending by an earlier run.
    void closePendingCleanupRuns();
    // After a completed scan found exact replacements of quarantined bundles.
    void enforcePermanentQuarantine(std::vector<PermanentQuarantineMatch> matches, PluginManagementService* service);
    // What the last scan (and the enforcement after it) found.
    void setLastScanNotice(std::optional<std::string> text) {
        assign(lastScanNotice_, std::move(text), storeField::lastScanNotice);
    }

    // ---- Cleanup preset runs ----
    // Writes the run journal (pending, with its history item) before any file
    // moves; the run's id, or nothing after a warning.
    std::optional<Uuid> startCleanupRun(const FormatCleanupPlan& plan,
                                        const std::vector<PluginBundleSelection>& confirmedSelections);
    // The quarantine transaction of one chunk of a pending run, journaled with
    // the run gaining its id; nothing after a warning.
    std::optional<PrivilegedRequest> prepareCleanupRunChunk(const Uuid& runID,
                                                            const std::vector<PluginBundleSelection>& chunk);
    // Ends a pending run with its history item and notice; a run that is not
    // pending is left alone.
    void finishCleanupRun(const Uuid& runID, FormatCleanupRunStatus status);
    // The side whose helper moves the selected bundle: that of its folder,
    // or for a quarantined bundle its original folder. Unknown selections
    // are the system side's, whose plan refuses them.
    BundleSide sideOf(const PluginBundleSelection& selection) const;
    BundleSide sideOfTrashRecord(const Uuid& recordID) const;
    // The selections grouped by the side that moves them (system first),
    // each in the given order; empty groups are left out. A quarantined
    // bundle's side is that of its original folder.
    std::vector<std::vector<PluginBundleSelection>> selectionsBySide(
        const std::vector<PluginBundleSelection>& selections) const;
    // The same for Trash recovery records, by their original paths.
    std::vector<std::vector<Uuid>> trashRecordsBySide(const std::vector<Uuid>& recordIDs) const;
    // The run's bundles still in quarantine, in stored selection order.
    std::vector<PluginBundleSelection> cleanupRunSelectionsInQuarantine(const Uuid& runID) const;

private:
    // What a scan needs from the moment it started when it completes.
    struct ScanStart {
        ScanBaseline baseline;
        std::vector<std::string> authorizedFolders;
        PluginManagementService* service = nullptr;
        std::shared_ptr<ScanControl> control;
    };

    // ---- Cleanup preset runs ----
    // After recovery committed a transaction of a run that had already been
    // closed: the run's status, history and notice follow what is now in
    // quarantine under it.
    void correctClosedCleanupRun(const std::string& transactionID) override;

    // ---- What the journal is lent ----
    FileSystem& files() const override { return *fileSystem_; }
    InventoryFields inventoryFields() override {
        return InventoryFields{plugins_, history_, trashedBundles_, formatCleanupRuns_};
    }

    void loadState();
    void takeOverLoadedState(LoadedInventoryState loaded);

    void reportScanProgress(const ScanProgress& progress, const std::shared_ptr<ScanControl>& control);
    void completeScan(ScanSummary summary, ScanStart start);
    void completeCanceledScan();
    void finishScanning();

    void applyProductProtection(const std::string& key, bool isProtected);
    HistoryItem& prependHistory(HistoryItem item);

    // Assigns a published field and tells the observers.
    template <typename Field, typename Value>
    void assign(Field& field, Value&& value, std::string_view name) {
        field = std::forward<Value>(value);
        publish(name);
    }
    // Notices and errors are kept in the words of the layout's desktop (see
    // platformWording). History keeps the words it was written in; its
    // readers reword it.
    void setNotice(OperationNotice notice);
    // After a committed move: looks up the hosts' caches for the bundles'
    // installed locations and sets or clears the host cache notice.
    void noteHostCaches(const std::vector<std::string>& installedLocations) override;
    void setLastStorageError(std::optional<std::string> error) override {
        assign(lastStorageError_, std::move(error), storeField::lastStorageError);
    }
    void setLastOperationError(std::optional<std::string> error) override;
    // Tells observers of an in-place change to a published field.
    void published(std::string_view name) const override { publish(name); }

    SystemLayout layout_;
    FileSystem* fileSystem_;
    Executor* executor_;
    ScanRunner scanRunner_;

    std::vector<Plugin> plugins_;
    bool isScanning_ = false;
    std::optional<Date> lastScanDate_;
    std::vector<std::string> inaccessibleLocations_;
    std::vector<HistoryItem> history_;
    std::optional<std::string> lastStorageError_;
    std::optional<std::string> lastOperationError_;
    std::optional<ScanProgress> scanProgress_;
    std::optional<std::string> lastScanNotice_;
    std::optional<ScanReconciliationSummary> lastReconciliation_;
    bool fileActionsBlockedByStorage_ = false;
    std::optional<OperationNotice> notice_;
    std::optional<OperationNotice> hostCacheNotice_;
    InventoryRevisionToken inventoryRevision_;
    std::set<std::string> protectedKeys_;
    std::vector<TrashedBundleRecord> trashedBundles_;
    std::vector<FormatCleanupRunRecord> formatCleanupRuns_;
    std::vector<PermanentQuarantineRule> permanentQuarantineRules_;
    TransactionJournal journal_;
    std::shared_ptr<ScanControl> scanControl_;

    // Work posted by a scan thread runs only while this is alive: the store
    // lives and dies on the main thread, where that work runs.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    std::thread scanThread_;
};

}  // namespace kestrova
