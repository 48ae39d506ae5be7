// Scans through the store: start only when it is safe, walk the disk on a
// background thread, show its progress, honour a cancel and merge the result.
#include "model/ProductStatus.h"
#include "platform/Date.h"
#include "store/PluginInventoryStore.h"

#include <fmt/format.h>

#include <algorithm>

namespace kestrova {
namespace {

constexpr std::string_view allPlugins = "All Plugins";

}  // namespace

void PluginInventoryStore::startScan(std::vector<std::string> authorizedFolders, PluginManagementService* service) {
    if (isScanning_) {
        return;
    }
    if (fileActionsBlockedByStorage_) {
        showWarning("Scan Blocked",
                    "The Build 39 inventory could not be upgraded safely. No inventory or plugin files were changed.");
        return;
    }
    if (hasPendingPrivilegedTransaction()) {
        showWarning("Scan Blocked",
                    "A privileged plugin transaction still needs reconciliation. Do not rescan until that "
                    "transaction is resolved.");
        return;
    }
    assign(isScanning_, true, storeField::isScanning);
    setLastOperationError(std::nullopt);
    setLastScanNotice(std::nullopt);

    ScanStart start;
    start.baseline = scanBaseline(plugins_, lastScanDate_.has_value());
    start.authorizedFolders = std::move(authorizedFolders);
    start.service = service;
    start.control = std::make_shared<ScanControl>();
    scanControl_ = start.control;

    // The previous scan's thread posted its completion as its last act, so
    // it has ended or is about to.
    if (scanThread_.joinable()) {
        scanThread_.join();
    }
    const std::weak_ptr<int> alive = alive_;
    scanThread_ =
        std::thread([this, alive, runner = scanRunner_, executor = executor_, start = std::move(start)]() mutable {
            const auto control = start.control;
            auto summary = runner(start.authorizedFolders, *control,
                                  [this, alive, executor, control](const ScanProgress& progress) {
                                      executor->post([this, alive, control, progress] {
                                          if (alive.lock()) {
                                              reportScanProgress(progress, control);
                                          }
                                      });
                                  });
            executor->post([this, alive, summary = std::move(summary), start = std::move(start)]() mutable {
                if (alive.lock()) {
                    completeScan(std::move(summary), std::move(start));
                }
            });
        });
}

void PluginInventoryStore::cancelScan() {
    if (isScanning_ && scanControl_) {
        scanControl_->requestCancellation();
    }
}

void PluginInventoryStore::reportScanProgress(const ScanProgress& progress,
                                              const std::shared_ptr<ScanControl>& control) {
    // Progress of a finished or superseded scan is never shown.
    if (!isScanning_ || scanControl_ != control) {
        return;
    }
    assign(scanProgress_, progress, storeField::scanProgress);
}

void PluginInventoryStore::finishScanning() {
    assign(isScanning_, false, storeField::isScanning);
    assign(scanProgress_, std::nullopt, storeField::scanProgress);
    scanControl_.reset();
}

void PluginInventoryStore::completeCanceledScan() {
    prependHistory(makeHistoryItem(std::string(allPlugins), HistoryKind::scanCanceled,
                                   "Scan canceled; the previous inventory was kept unchanged",
                                   historyTimeText(Date::now())));
    finishScanning();
    setLastScanNotice("Scan canceled. The previous inventory was kept unchanged.");
    setNotice(OperationNotice::warning("Scan Canceled", "The previous inventory remains unchanged."));
    save();
}

void PluginInventoryStore::completeScan(ScanSummary summary, ScanStart start) {
    if (summary.wasCancelled) {
        completeCanceledScan();
        return;
    }
    const bool limited = !summary.inaccessibleLocations.empty();
    auto merge =
        mergeScan(plugins_, std::move(summary.plugins), limited, start.baseline, protectedKeys_, trashedBundles_);
    const auto now = Date::now();
    const auto time = historyTimeText(now);
    const auto& counts = merge.reconciliation;
    const auto productCount = merge.plugins.size();

    assign(plugins_, std::move(merge.plugins), storeField::plugins);
    protectedKeys_ = std::move(merge.protectedKeys);
    assign(inaccessibleLocations_, std::move(summary.inaccessibleLocations), storeField::inaccessibleLocations);
    assign(lastReconciliation_, counts, storeField::lastReconciliation);
    assign(lastScanDate_, now, storeField::lastScanDate);

    // Newest first: the scan item, the reconciliation item, then the Trash
    // restores, the last of them on top.
    std::vector<HistoryItem> items;
    items.push_back(makeHistoryItem(std::string(allPlugins), HistoryKind::scan,
                                    fmt::format("{} plugins across {} format bundles", productCount, merge.bundleCount),
                                    time));
    const bool changed = counts.addedBundles != 0 || counts.missingBundles != 0 ||
                         counts.manuallyRestoredBundles != 0 || counts.missingCheckWasLimited;
    const auto summaryText = reconciliationSummaryText(counts.addedBundles, counts.missingBundles,
                                                       counts.manuallyRestoredBundles, counts.missingCheckWasLimited);
    if (start.baseline.hadPreviousScan && changed) {
        items.push_back(makeHistoryItem(std::string(allPlugins), HistoryKind::reconciliation, summaryText, time));
    }
    for (auto index = merge.manuallyRestoredRecords.rbegin(); index != merge.manuallyRestoredRecords.rend(); ++index) {
        auto& record = trashedBundles_[*index];
        items.push_back(makeHistoryItem(
            record.pluginName, HistoryKind::externalRestore,
            "Detected " + record.format + " bundle restored outside Kestrova at " + record.originalPath, time));
    }
    for (const auto index : merge.manuallyRestoredRecords) {
        trashedBundles_[index].reconciledDate = now;
    }
    if (!merge.manuallyRestoredRecords.empty()) {
        published(storeField::trashedBundles);
    }
    history_.insert(history_.begin(), std::make_move_iterator(items.begin()), std::make_move_iterator(items.end()));
    published(storeField::history);

    finishScanning();
    auto matches = findPermanentQuarantineMatches(plugins_, permanentQuarantineRules_);
    setLastScanNotice(changed ? summaryText : "Scan complete. No inventory changes detected.");
    setNotice(OperationNotice::success(
        "Scan Complete",
        fmt::format("Indexed {} plugin products across {} format bundles.", productCount, merge.bundleCount)));
    save();
    if (!matches.empty()) {
        enforcePermanentQuarantine(std::move(matches), start.service);
    }
}

}  // namespace kestrova
