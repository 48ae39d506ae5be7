// What can be brought back from the Finder Trash: each recovery record's
// state as the disk shows it now, the path check a record must pass before a
// restore is offered, and the reconciliation that notices bundles put back
// or lost outside Kestrova.
#pragma once

#include "model/Hashing.h"
#include "model/History.h"
#include "model/TrashedBundleRecord.h"
#include "platform/FileSystem.h"
#include "platform/SystemLayout.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

struct TrashRecoveryEntry {
    TrashedBundleRecord record;
    TrashRecoveryState state = TrashRecoveryState::needsVerification;

    friend bool operator==(const TrashRecoveryEntry&, const TrashRecoveryEntry&) = default;
};

// The extension both paths of a record must carry for its format; absent
// for a name outside the five (the caller trims and upper-cases first).
std::optional<std::string_view> trashFormatExtension(std::string_view format);

// Whether a record may be offered for restore at all: absolute paths, a known
// format whose extension both paths carry, and an original path that passes
// the safe plug-in location check.
bool isVerifiedTrashRecord(const TrashedBundleRecord& record, const SystemLayout& layout, const FileSystem& fileSystem);

// Whether a bundle in the freedesktop Trash still has its .trashinfo, one
// that reads back: without it no file manager shows the item, and a
// restore is not offered until someone looks.
bool hasFreedesktopTrashInfo(const std::string& trashPath, const FileSystem& fileSystem);

// From two existence tests; the record's dates play no part. On the Linux
// profile the item's .trashinfo must read back as well.
TrashRecoveryState evaluateTrashRecoveryState(const TrashedBundleRecord& record, const SystemLayout& layout,
                                              const FileSystem& fileSystem);

// Every record with its state, latest move first.
std::vector<TrashRecoveryEntry> trashRecoveryEntries(const std::vector<TrashedBundleRecord>& records,
                                                     const SystemLayout& layout, const FileSystem& fileSystem);
int readyTrashRecoveryCount(const std::vector<TrashRecoveryEntry>& entries);

// Closes open records whose bundle is back at its original path and marks,
// once, those gone from both places, prepending one history item for each.
// Returns whether any record changed, so the caller knows to save.
bool reconcileTrashRecords(std::vector<TrashedBundleRecord>& records, std::vector<HistoryItem>& history,
                           const FileSystem& fileSystem, Date now);

}  // namespace kestrova

template <>
struct std::hash<kestrova::TrashRecoveryEntry> {
    std::size_t operator()(const kestrova::TrashRecoveryEntry& entry) const noexcept {
        std::size_t seed = std::hash<kestrova::TrashedBundleRecord>{}(entry.record);
        kestrova::hashCombine(seed, std::string(kestrova::rawValue(entry.state)));
        return seed;
    }
};
