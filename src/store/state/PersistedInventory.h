// The one durable document of the application, inventory-state.json: the
// inventory, its history and records, and the pending-transaction journals.
// Optional arrays stay optional so that an older document read and upgraded
// keeps every key it had, present or absent, as it was.
#pragma once

#include "model/FormatCleanupRun.h"
#include "model/History.h"
#include "model/JsonCoding.h"
#include "model/PermanentQuarantineRule.h"
#include "model/Plugin.h"
#include "model/ScanReconciliationSummary.h"
#include "model/TrashedBundleRecord.h"
#include "platform/Date.h"
#include "platform/FileSystem.h"
#include "platform/Result.h"
#include "protocol/PrivilegedRecords.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

inline constexpr std::int64_t currentInventorySchemaVersion = 3;

struct PersistedInventory {
    std::optional<std::int64_t> schemaVersion;  // absent reads as 1
    std::vector<Plugin> plugins;
    std::optional<Date> lastScanDate;
    std::vector<std::string> protectedKeys;
    std::vector<HistoryItem> history;
    std::optional<std::vector<std::string>> inaccessibleLocations;
    std::optional<ScanReconciliationSummary> lastReconciliation;
    std::optional<std::vector<TrashedBundleRecord>> trashedBundles;
    std::optional<std::vector<FormatCleanupRunRecord>> formatCleanupRuns;
    std::optional<std::vector<PermanentQuarantineRule>> permanentQuarantineRules;
    std::optional<PrivilegedQuarantineRequest> pendingPrivilegedQuarantine;
    std::optional<PrivilegedRestoreRequest> pendingPrivilegedRestore;
    std::optional<PrivilegedTrashRequest> pendingPrivilegedTrash;
    std::optional<PrivilegedTrashRestoreRequest> pendingPrivilegedTrashRestore;

    std::int64_t effectiveSchemaVersion() const { return schemaVersion.value_or(1); }

    friend bool operator==(const PersistedInventory&, const PersistedInventory&) = default;
};

template <>
struct JsonCoder<PersistedInventory> {
    static Json encode(const PersistedInventory& state);
    // Strict about what the document requires, lenient about the rest:
    // unknown keys are ignored, missing optional keys read as absent.
    static PersistedInventory decode(const Json& json, const std::string& key);
};

// Why a document did not decode. The schema version is reported when the
// document names one, so that a newer document whose records no longer
// decode is still recognised as newer rather than as damaged.
struct StateDecodingError {
    std::string message;
    std::optional<std::int64_t> schemaVersion;

    friend bool operator==(const StateDecodingError&, const StateDecodingError&) = default;
};

// The value of "schemaVersion": an integer within 64 signed bits.
std::int64_t decodeSchemaVersion(const Json& value);

// Sorted keys at every level, pretty printed.
std::string encodePersistedInventory(const PersistedInventory& state);
// The same text in pieces of a few megabytes, in order, for writing straight
// to a file.
void encodePersistedInventory(const PersistedInventory& state, const std::function<void(std::string_view)>& write);
// Parses and decodes a whole document; the message says what is wrong and where.
Result<PersistedInventory, StateDecodingError> decodePersistedInventory(std::string_view text);
// The same for a file's contents: a mapped file is read in place, and the
// pages already decoded are handed back to the system on the way, so that
// the file and the records built from it are never both whole in memory.
Result<PersistedInventory, StateDecodingError> decodePersistedInventory(const FileBytes& contents);
// The same with nlohmann/json, one record at a time as a tree: slower, but
// the one that puts the refusals into words. decodePersistedInventory falls
// back on it for every document its direct reader does not take.
Result<PersistedInventory, StateDecodingError> decodePersistedInventoryRecordByRecord(std::string_view text);

}  // namespace kestrova
