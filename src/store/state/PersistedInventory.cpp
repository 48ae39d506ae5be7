#include "store/state/PersistedInventory.h"

#include "protocol/TransactionKinds.h"
#include "store/state/PersistedInventoryReader.h"
#include "store/state/PersistedInventoryStream.h"

#include <fmt/format.h>
#include <algorithm>
#include <limits>

namespace kestrova {
namespace {

// Says which element of which key failed, so a damaged document can be
// found and fixed by hand.
template <typename T>
T decodeElement(const Json& element, const std::string& key, std::size_t index) {
    try {
        return JsonCoder<T>::decode(element, key);
    } catch (const DecodingError& error) {
        throw DecodingError(fmt::format("Item {} of “{}”: {}", index + 1, key, error.what()));
    }
}

template <typename T>
std::vector<T> decodeElements(const Json& array, const std::string& key) {
    if (!array.is_array()) {
        throw DecodingError("The value of “" + key + "” is not an array.");
    }
    std::vector<T> values;
    values.reserve(array.size());
    for (std::size_t index = 0; index < array.size(); ++index) {
        values.push_back(decodeElement<T>(array[index], key, index));
    }
    return values;
}

template <typename T>
std::vector<T> requiredElements(const Json& object, const std::string& key) {
    const auto found = object.find(key);
    if (found == object.end()) {
        throw DecodingError("The key “" + key + "” is missing.");
    }
    return decodeElements<T>(*found, key);
}

template <typename T>
std::optional<std::vector<T>> optionalElements(const Json& object, const std::string& key) {
    const auto found = object.find(key);
    if (found == object.end() || found->is_null()) {
        return std::nullopt;
    }
    return decodeElements<T>(*found, key);
}

template <typename T>
std::optional<T> optionalRecord(const Json& object, const std::string& key) {
    try {
        return optionalField<T>(object, key);
    } catch (const DecodingError& error) {
        throw DecodingError(fmt::format("“{}”: {}", key, error.what()));
    }
}

std::optional<std::int64_t> optionalSchemaVersion(const Json& object) {
    const auto found = object.find("schemaVersion");
    if (found == object.end() || found->is_null()) {
        return std::nullopt;
    }
    return decodeSchemaVersion(*found);
}

// The version, or none when "schemaVersion" itself is refused: a damaged
// document must not pass for a newer one.
std::optional<std::int64_t> readableSchemaVersion(const Json& object) {
    try {
        return optionalSchemaVersion(object);
    } catch (const DecodingError&) {
        return std::nullopt;
    }
}

// Everything but the arrays of records.
void decodeSingleValues(const Json& object, PersistedInventory& state) {
    state.schemaVersion = optionalSchemaVersion(object);
    state.lastScanDate = optionalRecord<Date>(object, "lastScanDate");
    state.lastReconciliation = optionalRecord<ScanReconciliationSummary>(object, "lastReconciliation");
    state.pendingPrivilegedQuarantine = optionalRecord<PrivilegedQuarantineRequest>(
        object, std::string(describe<PrivilegedQuarantineRequest>().journalKey));
    state.pendingPrivilegedRestore =
        optionalRecord<PrivilegedRestoreRequest>(object, std::string(describe<PrivilegedRestoreRequest>().journalKey));
    state.pendingPrivilegedTrash =
        optionalRecord<PrivilegedTrashRequest>(object, std::string(describe<PrivilegedTrashRequest>().journalKey));
    state.pendingPrivilegedTrashRestore = optionalRecord<PrivilegedTrashRestoreRequest>(
        object, std::string(describe<PrivilegedTrashRestoreRequest>().journalKey));
}

// The arrays, each kept as a list (required) or an optional list.
struct ArrayKeys {
    template <typename Visitor>
    static void visit(PersistedInventory& state, Visitor&& visitor) {
        visitor("plugins", state.plugins);
        visitor("protectedKeys", state.protectedKeys);
        visitor("history", state.history);
        visitor("inaccessibleLocations", state.inaccessibleLocations);
        visitor("trashedBundles", state.trashedBundles);
        visitor("formatCleanupRuns", state.formatCleanupRuns);
        visitor("permanentQuarantineRules", state.permanentQuarantineRules);
    }
};

template <typename T>
void decodeArray(const Json& object, const std::string& key, std::vector<T>& values) {
    values = requiredElements<T>(object, key);
}

template <typename T>
void decodeArray(const Json& object, const std::string& key, std::optional<std::vector<T>>& values) {
    values = optionalElements<T>(object, key);
}

// The first element of each streamed array that failed to decode. Kept
// rather than thrown at once, because a later occurrence of the same key
// replaces the array, as it would in a tree.
class ElementFailures {
public:
    void clear(const std::string& key) {
        std::erase_if(failures_, [&](const auto& failure) { return failure.first == key; });
    }
    bool contains(const std::string& key) const {
        return std::any_of(failures_.begin(), failures_.end(), [&](const auto& f) { return f.first == key; });
    }
    void add(const std::string& key, std::string message) { failures_.emplace_back(key, std::move(message)); }
    // Throws the earliest failure of a key whose array still counts.
    void throwFirst(const std::set<std::string>& streamed) const {
        for (const auto& [key, message] : failures_) {
            if (streamed.contains(key)) {
                throw DecodingError(message);
            }
        }
    }

private:
    std::vector<std::pair<std::string, std::string>> failures_;
};

template <typename T>
void decodeInto(std::vector<T>& values, Json&& element, const std::string& key, std::size_t index,
                ElementFailures& failures) {
    if (failures.contains(key)) {
        return;
    }
    try {
        values.push_back(decodeElement<T>(element, key, index));
    } catch (const DecodingError& error) {
        failures.add(key, error.what());
    }
}

// Roughly what one element of the two long arrays takes in the file. Room
// for the count a document of that size could hold is reserved up front:
// growing a vector of a hundred thousand records by doubling moves each of
// them again and touches twice the memory, while reserved room that is never
// filled is only address space.
template <typename T>
constexpr std::size_t typicalEncodedBytes = 0;
template <>
constexpr std::size_t typicalEncodedBytes<HistoryItem> = 256;
template <>
constexpr std::size_t typicalEncodedBytes<Plugin> = 2048;

template <typename T>
void reserveFor(std::vector<T>& values, std::size_t documentBytes) {
    if constexpr (typicalEncodedBytes < T >> 0) {
        values.reserve(documentBytes / typicalEncodedBytes<T>);
    }
}

template <typename T>
stateStream::ElementSink sinkInto(std::vector<T>& values, const std::string& key, ElementFailures& failures,
                                  std::size_t documentBytes) {
    return {[&values, &failures, key, documentBytes] {
                values.clear();
                reserveFor(values, documentBytes);
                failures.clear(key);
            },
            [&values, &failures, key](Json&& element, std::size_t index) {
                decodeInto(values, std::move(element), key, index, failures);
            }};
}

template <typename T>
stateStream::ElementSink sinkInto(std::optional<std::vector<T>>& values, const std::string& key,
                                  ElementFailures& failures, std::size_t) {
    return {[&values, &failures, key] {
                values.emplace();
                failures.clear(key);
            },
            [&values, &failures, key](Json&& element, std::size_t index) {
                decodeInto(*values, std::move(element), key, index, failures);
            }};
}

}  // namespace

Json JsonCoder<PersistedInventory>::encode(const PersistedInventory& state) {
    Json json = Json::object();
    if (state.schemaVersion) {
        json["schemaVersion"] = *state.schemaVersion;
    }
    putField(json, "plugins", state.plugins);
    putField(json, "lastScanDate", state.lastScanDate);
    putField(json, "protectedKeys", state.protectedKeys);
    putField(json, "history", state.history);
    putField(json, "inaccessibleLocations", state.inaccessibleLocations);
    putField(json, "lastReconciliation", state.lastReconciliation);
    putField(json, "trashedBundles", state.trashedBundles);
    putField(json, "formatCleanupRuns", state.formatCleanupRuns);
    putField(json, "permanentQuarantineRules", state.permanentQuarantineRules);
    putField(json, std::string(describe<PrivilegedQuarantineRequest>().journalKey), state.pendingPrivilegedQuarantine);
    putField(json, std::string(describe<PrivilegedRestoreRequest>().journalKey), state.pendingPrivilegedRestore);
    putField(json, std::string(describe<PrivilegedTrashRequest>().journalKey), state.pendingPrivilegedTrash);
    putField(json, std::string(describe<PrivilegedTrashRestoreRequest>().journalKey),
             state.pendingPrivilegedTrashRestore);
    return json;
}

std::int64_t decodeSchemaVersion(const Json& value) {
    if (value.is_number_unsigned() && value.get<std::uint64_t>() > std::numeric_limits<std::int64_t>::max()) {
        throw DecodingError("The value of “schemaVersion” is out of range.");
    }
    if (!value.is_number_integer()) {
        throw DecodingError("The value of “schemaVersion” is not an integer.");
    }
    return value.get<std::int64_t>();
}

PersistedInventory JsonCoder<PersistedInventory>::decode(const Json& json, const std::string&) {
    requireObject(json, "inventory state");
    PersistedInventory state;
    decodeSingleValues(json, state);
    ArrayKeys::visit(state, [&](const std::string& key, auto& values) { decodeArray(json, key, values); });
    return state;
}

Result<PersistedInventory, StateDecodingError> decodePersistedInventoryRecordByRecord(std::string_view text) {
    PersistedInventory state;
    ElementFailures failures;
    std::map<std::string, stateStream::ElementSink, std::less<>> sinks;
    ArrayKeys::visit(state, [&](const std::string& key, auto& values) {
        sinks[key] = sinkInto(values, key, failures, text.size());
    });
    stateStream::ReadDocument document;
    try {
        if (const auto error = stateStream::readDocument(text, sinks, document)) {
            return StateDecodingError{"The inventory state is not valid JSON: " + *error, std::nullopt};
        }
    } catch (const DecodingError& error) {
        return StateDecodingError{error.what(), std::nullopt};
    }
    // Known before anything else fails, so that a newer document whose
    // records no longer decode is recognised as newer.
    const auto version = readableSchemaVersion(document.others);
    try {
        decodeSingleValues(document.others, state);
        failures.throwFirst(document.streamed);
        // An array key that was not streamed either is missing or holds
        // something other than an array; decoding it says which.
        ArrayKeys::visit(state, [&](const std::string& key, auto& values) {
            if (!document.streamed.contains(key)) {
                decodeArray(document.others, key, values);
            }
        });
        return state;
    } catch (const DecodingError& error) {
        return StateDecodingError{error.what(), version};
    } catch (const Json::exception& error) {
        return StateDecodingError{error.what(), version};
    }
}

Result<PersistedInventory, StateDecodingError> decodePersistedInventory(std::string_view text) {
    if (auto state = decodeWellFormedInventory(text)) {
        return std::move(*state);
    }
    // Refused, or unusual: the slower decoder takes what can be taken and
    // says what is wrong with the rest.
    return decodePersistedInventoryRecordByRecord(text);
}

Result<PersistedInventory, StateDecodingError> decodePersistedInventory(const FileBytes& contents) {
    const auto text = contents.view();
    if (auto state = decodeWellFormedInventory(text, contents.readableAfterEnd(),
                                               [&contents](std::size_t offset) { contents.releaseBefore(offset); })) {
        return std::move(*state);
    }
    return decodePersistedInventoryRecordByRecord(text);
}

}  // namespace kestrova
