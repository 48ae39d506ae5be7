// How a completed scan is merged into the inventory: what a read-only scan
// cannot see is carried over from the previous inventory (quarantined
// bundles, product and format protection), and what changed since the last
// scan is counted. Pure: the store applies the result to its fields.
#pragma once

#include "model/Plugin.h"
#include "model/ScanReconciliationSummary.h"
#include "model/TrashedBundleRecord.h"

#include <cstddef>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace kestrova {

// The inventory as it was when a scan started.
struct ScanBaseline {
    bool hadPreviousScan = false;
    // Standardized, lower-cased paths of the bundles that were not
    // quarantined, each with its position in order of first appearance.
    std::unordered_map<std::string, std::size_t> previousActivePaths;
    // Keys of the bundles that were protected. A key stands for every record
    // that shares it, so one protected record is enough.
    std::unordered_set<std::string> previousProtectedBundleKeys;

    friend bool operator==(const ScanBaseline&, const ScanBaseline&) = default;
};

ScanBaseline scanBaseline(const std::vector<Plugin>& plugins, bool hadPreviousScan);

// The standardized path, lower-cased: how scans compare bundle locations.
std::string scanPathKey(std::string_view path);

// How many bundles a product stands for: its effective bundle records.
std::size_t bundleRecordCount(const Plugin& product);

// Keeps every quarantined bundle of `previous`: merged into the scanned
// product of the same key (replacing a scanned bundle at its original
// location), or as a product of its own when none was scanned. The result
// is sorted by manufacturer, then name, in plain string order.
std::vector<Plugin> carryOverQuarantinedBundles(const std::vector<Plugin>& previous, std::vector<Plugin> scanned);

// Product protection from `protectedKeys` (mandatory products join it),
// format protection from the baseline's bundle keys, then each status.
void applyScanProtection(std::vector<Plugin>& products, std::set<std::string>& protectedKeys,
                         const ScanBaseline& baseline);

struct ScanMergeResult {
    std::vector<Plugin> plugins;
    std::set<std::string> protectedKeys;
    ScanReconciliationSummary reconciliation;
    // Indices into the Trash records of those found back at their original
    // location, in list order.
    std::vector<std::size_t> manuallyRestoredRecords;
    std::size_t bundleCount = 0;
};

// The whole merge of a scan that was not cancelled.
ScanMergeResult mergeScan(const std::vector<Plugin>& previous, std::vector<Plugin> scanned,
                          bool hadInaccessibleLocations, const ScanBaseline& baseline,
                          const std::set<std::string>& protectedKeys,
                          const std::vector<TrashedBundleRecord>& trashedBundles);

// "Rescan: 1 added, 2 missing, 0 manually restored." and its limited form.
std::string reconciliationSummaryText(int added, int missing, int manuallyRestored, bool limited);

}  // namespace kestrova
