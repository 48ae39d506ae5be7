// Applying a verified helper result to the inventory: the new locations of
// the moved bundles, the history items and the Finder Trash recovery records.
// Every item is matched to exactly one record before anything changes, so a
// commit that throws has at most written out the implied bundle record of an
// older product (which changes no meaning); the quarantine commit can also run
// twice without changing anything the second time, which is what lets the
// next launch finish a commit the last one could not save.
#pragma once

#include "model/FormatCleanupRun.h"
#include "model/History.h"
#include "model/Plugin.h"
#include "model/TrashedBundleRecord.h"
#include "platform/Date.h"
#include "protocol/PrivilegedRecords.h"

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

enum class PrivilegedInventoryCommitFailure { missingInventoryRecord, duplicateInventoryRecord };

// "A plugin bundle no longer has a matching inventory record." and the like.
std::string_view description(PrivilegedInventoryCommitFailure failure);

class PrivilegedInventoryCommitError : public std::runtime_error {
public:
    explicit PrivilegedInventoryCommitError(PrivilegedInventoryCommitFailure failure);
    PrivilegedInventoryCommitFailure failure() const { return failure_; }

private:
    PrivilegedInventoryCommitFailure failure_;
};

// The moment a commit happens, taken once for all of its items.
struct CommitMoment {
    Date now;
    std::string timeText;  // as history items show it
};

// Records the quarantine location, operation and preset run of each moved
// bundle (found by its active path) and prepends one history item per bundle
// it changed. A bundle already recorded at the item's destination is left
// alone.
void commitQuarantine(std::vector<Plugin>& plugins, std::vector<HistoryItem>& history,
                      const std::vector<FormatCleanupRunRecord>& runs, const std::string& transactionID,
                      const std::vector<PrivilegedQuarantineItem>& items, const CommitMoment& moment);

// Clears the quarantine fields of each returned bundle, found by its
// quarantine path, operation and original path.
void commitRestore(std::vector<Plugin>& plugins, std::vector<HistoryItem>& history, const std::string& transactionID,
                   const std::vector<PrivilegedRestoreItem>& items, const CommitMoment& moment);

// Takes each bundle out of the inventory (and its product with its last
// bundle) and appends a recovery record for it.
void commitTrash(std::vector<Plugin>& plugins, std::vector<HistoryItem>& history,
                 std::vector<TrashedBundleRecord>& trashedBundles, const std::string& transactionID,
                 const std::vector<PrivilegedTrashItem>& items, const CommitMoment& moment);

// Closes each open recovery record the items name; closed ones stay as they are.
void commitTrashRestore(std::vector<TrashedBundleRecord>& trashedBundles, std::vector<HistoryItem>& history,
                        const std::string& transactionID, const std::vector<PrivilegedTrashRestoreItem>& items,
                        const CommitMoment& moment);

}  // namespace kestrova
