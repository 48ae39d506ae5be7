#include "store/PersistedInventory.h"

#include <fmt/format.h>
#include <limits>

namespace kestrova {
namespace {

// Says which element of which key failed, so a damaged document can be
// found and fixed by hand.
template <typename T>
std::vector<T> decodeElements(const Json& array, const std::string& key) {
    if (!array.is_array()) {
        throw DecodingError("The value of “" + key + "” is not an array.");
    }
    std::vector<T> values;
    values.reserve(array.size());
    for (std::size_t index = 0; index < array.size(); ++index) {
        try {
            values.push_back(JsonCoder<T>::decode(array[index], key));
        } catch (const DecodingError& error) {
            throw DecodingError(fmt::format("Item {} of “{}”: {}", index + 1, key, error.what()));
        }
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

std::optional<std::int64_t> decodeSchemaVersion(const Json& object) {
    const auto found = object.find("schemaVersion");
    if (found == object.end() || found->is_null()) {
        return std::nullopt;
    }
    if (found->is_number_unsigned() && found->get<std::uint64_t>() > std::numeric_limits<std::int64_t>::max()) {
        throw DecodingError("The value of “schemaVersion” is out of range.");
    }
    if (!found->is_number_integer()) {
        throw DecodingError("The value of “schemaVersion” is not an integer.");
    }
    return found->get<std::int64_t>();
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
    putField(json, "pendingPrivilegedQuarantine", state.pendingPrivilegedQuarantine);
    putField(json, "pendingPrivilegedRestore", state.pendingPrivilegedRestore);
    putField(json, "pendingPrivilegedTrash", state.pendingPrivilegedTrash);
    putField(json, "pendingPrivilegedTrashRestore", state.pendingPrivilegedTrashRestore);
    return json;
}

PersistedInventory JsonCoder<PersistedInventory>::decode(const Json& json, const std::string&) {
    requireObject(json, "inventory state");
    PersistedInventory state;
    state.schemaVersion = decodeSchemaVersion(json);
    state.plugins = requiredElements<Plugin>(json, "plugins");
    state.lastScanDate = optionalRecord<Date>(json, "lastScanDate");
    state.protectedKeys = requiredElements<std::string>(json, "protectedKeys");
    state.history = requiredElements<HistoryItem>(json, "history");
    state.inaccessibleLocations = optionalElements<std::string>(json, "inaccessibleLocations");
    state.lastReconciliation = optionalRecord<ScanReconciliationSummary>(json, "lastReconciliation");
    state.trashedBundles = optionalElements<TrashedBundleRecord>(json, "trashedBundles");
    state.formatCleanupRuns = optionalElements<FormatCleanupRunRecord>(json, "formatCleanupRuns");
    state.permanentQuarantineRules = optionalElements<PermanentQuarantineRule>(json, "permanentQuarantineRules");
    state.pendingPrivilegedQuarantine =
        optionalRecord<PrivilegedQuarantineRequest>(json, "pendingPrivilegedQuarantine");
    state.pendingPrivilegedRestore = optionalRecord<PrivilegedRestoreRequest>(json, "pendingPrivilegedRestore");
    state.pendingPrivilegedTrash = optionalRecord<PrivilegedTrashRequest>(json, "pendingPrivilegedTrash");
    state.pendingPrivilegedTrashRestore =
        optionalRecord<PrivilegedTrashRestoreRequest>(json, "pendingPrivilegedTrashRestore");
    return state;
}

std::string encodePersistedInventory(const PersistedInventory& state) {
    // nlohmann's object keeps its keys sorted at every level. Strings that are
    // not valid UTF-8 (a file name from a foreign disk) are written with
    // replacement characters rather than failing the whole save.
    return JsonCoder<PersistedInventory>::encode(state).dump(2, ' ', false, Json::error_handler_t::replace);
}

Result<PersistedInventory, StateDecodingError> decodePersistedInventory(std::string_view text) {
    Json document;
    try {
        document = Json::parse(text);
    } catch (const Json::parse_error& error) {
        // "[json.exception.parse_error.101] parse error at line 2, column 3: ..."
        std::string message = error.what();
        if (const auto end = message.find("] "); message.starts_with("[json.exception") && end != std::string::npos) {
            message.erase(0, end + 2);
        }
        return StateDecodingError{"The inventory state is not valid JSON: " + message, std::nullopt};
    }
    std::optional<std::int64_t> version;
    try {
        if (document.is_object()) {
            version = decodeSchemaVersion(document);
        }
    } catch (const DecodingError& error) {
        return StateDecodingError{error.what(), std::nullopt};
    }
    try {
        return JsonCoder<PersistedInventory>::decode(document, "");
    } catch (const DecodingError& error) {
        return StateDecodingError{error.what(), version};
    } catch (const Json::exception& error) {
        return StateDecodingError{error.what(), version};
    }
}

}  // namespace kestrova
