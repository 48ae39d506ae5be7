// What the store takes over from a loaded state document at start-up: the
// document's fields in the store's own shapes, with absent lists as empty
// ones and the one-bundle repair of quarantined records from before
// per-bundle records.
#pragma once

#include "store/state/PersistedInventory.h"

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kestrova {

struct LoadedInventoryState {
    std::vector<Plugin> plugins;
    std::optional<Date> lastScanDate;
    std::vector<HistoryItem> history;
    std::optional<ScanReconciliationSummary> lastReconciliation;
    std::set<std::string> protectedKeys;
    std::vector<std::string> inaccessibleLocations;
    std::vector<TrashedBundleRecord> trashedBundles;
    std::vector<FormatCleanupRunRecord> formatCleanupRuns;
    std::vector<PermanentQuarantineRule> permanentQuarantineRules;
    std::optional<PrivilegedQuarantineRequest> pendingPrivilegedQuarantine;
    std::optional<PrivilegedRestoreRequest> pendingPrivilegedRestore;
    std::optional<PrivilegedTrashRequest> pendingPrivilegedTrash;
    std::optional<PrivilegedTrashRestoreRequest> pendingPrivilegedTrashRestore;

    friend bool operator==(const LoadedInventoryState&, const LoadedInventoryState&) = default;
};

// A quarantined record with one format and no bundles, whose three
// quarantine fields are all present, gains the one bundle they describe,
// protected as the product is. Returns whether the record changed.
bool repairLegacyQuarantinedRecord(Plugin& plugin);

LoadedInventoryState applyLoadedState(PersistedInventory state);

}  // namespace kestrova
