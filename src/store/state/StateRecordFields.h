// The keys of the records that make up most of a state document, each with
// the member it holds, listed in the byte order the file writes them in. The
// direct reader and writer know these records only through these lists, so
// a new field is one line here (besides the record's JsonCoder, which reads
// what the direct reader refuses and says what is wrong with it).
//
// A member of type std::optional<T> is optional (absent or null reads as
// none; none is not written); any other member is required, unless listed
// with `defaultWhenAbsent`, which reads absent or null as the member's
// default and is always written. Records without a list here (the journals,
// cleanup runs, Trash records, rules) are few and small and go through their
// JsonCoder.
#pragma once

#include "store/state/PersistedInventory.h"

#include <type_traits>

namespace kestrova::stateFields {

struct DefaultWhenAbsent {};
inline constexpr DefaultWhenAbsent defaultWhenAbsent{};

template <typename Record>
struct Fields {};

// Whether Record has a list here; `Self` is Record or const Record.
template <typename Record>
concept Listed = requires {
    Fields<std::remove_const_t<Record>>::isListed;
};

template <>
struct Fields<PluginBundleRecord> {
    static constexpr bool isListed = true;
    template <typename Self, typename Visit>
    static void visit(Self& bundle, Visit&& field) {
        field("architecture", bundle.architecture);
        field("format", bundle.format);
        field("isProtected", bundle.isProtected, defaultWhenAbsent);
        field("originalPath", bundle.originalPath);
        field("path", bundle.path);
        field("pluginNames", bundle.pluginNames);
        field("presetRunID", bundle.presetRunID);
        field("quarantineOperationID", bundle.quarantineOperationID);
        field("quarantinePath", bundle.quarantinePath);
        field("size", bundle.size);
        field("version", bundle.version);
    }
};

template <>
struct Fields<Plugin> {
    static constexpr bool isListed = true;
    template <typename Self, typename Visit>
    static void visit(Self& plugin, Visit&& field) {
        field("architecture", plugin.architecture);
        field("bundles", plugin.bundles);
        field("formats", plugin.formats);
        field("id", plugin.id);
        field("isProtected", plugin.isProtected);
        field("manufacturer", plugin.manufacturer);
        field("name", plugin.name);
        field("originalPath", plugin.originalPath);
        field("path", plugin.path);
        field("quarantineOperationID", plugin.quarantineOperationID);
        field("quarantinePath", plugin.quarantinePath);
        field("size", plugin.size);
        field("status", plugin.status);
        field("version", plugin.version);
    }
};

template <>
struct Fields<HistoryItem> {
    static constexpr bool isListed = true;
    template <typename Self, typename Visit>
    static void visit(Self& item, Visit&& field) {
        field("detail", item.detail);
        field("format", item.format);
        field("id", item.id);
        field("kind", item.kind);
        field("plugin", item.plugin);
        field("presetRunID", item.presetRunID);
        field("time", item.time);
        field("transactionID", item.transactionID);
    }
};

template <>
struct Fields<PersistedInventory> {
    static constexpr bool isListed = true;
    template <typename Self, typename Visit>
    static void visit(Self& state, Visit&& field) {
        field("formatCleanupRuns", state.formatCleanupRuns);
        field("history", state.history);
        field("inaccessibleLocations", state.inaccessibleLocations);
        field("lastReconciliation", state.lastReconciliation);
        field("lastScanDate", state.lastScanDate);
        field("pendingPrivilegedQuarantine", state.pendingPrivilegedQuarantine);
        field("pendingPrivilegedRestore", state.pendingPrivilegedRestore);
        field("pendingPrivilegedTrash", state.pendingPrivilegedTrash);
        field("pendingPrivilegedTrashRestore", state.pendingPrivilegedTrashRestore);
        field("permanentQuarantineRules", state.permanentQuarantineRules);
        field("plugins", state.plugins);
        field("protectedKeys", state.protectedKeys);
        field("schemaVersion", state.schemaVersion);
        field("trashedBundles", state.trashedBundles);
    }
};

}  // namespace kestrova::stateFields
