// THE PREVIOUS STATE-FILE WRITER, KEPT ONLY FOR THE BYTE COMPARISON WITH THE
// DIRECT WRITER (StateWriterComparisonTests). Nothing else may use it; it
// goes when that comparison goes.
//
// It printed the document record by record, each record first built as a
// nlohmann tree by its JsonCoder and then printed by appendPrettyJson, with
// the top-level keys sorted by hand.
#pragma once

#include "store/state/PersistedInventory.h"
#include "store/state/PrettyJson.h"

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kestrova::testing {

inline std::string oldWriterText(const PersistedInventory& state) {
    std::string out;
    bool first = true;
    const auto keyPrefix = [&](std::string_view key) {
        out += first ? "{\n  \"" : ",\n  \"";
        first = false;
        out += key;
        out += "\": ";
    };
    using Entry = std::pair<std::string, std::function<void()>>;
    std::vector<Entry> entries;
    // Everything but the lists of records, as the tree encoder puts it.
    PersistedInventory singles = state;
    singles.plugins.clear();
    singles.protectedKeys.clear();
    singles.history.clear();
    singles.inaccessibleLocations.reset();
    singles.trashedBundles.reset();
    singles.formatCleanupRuns.reset();
    singles.permanentQuarantineRules.reset();
    auto single = JsonCoder<PersistedInventory>::encode(singles);
    for (const auto* key : {"plugins", "protectedKeys", "history"}) {
        single.erase(key);
    }
    for (auto item = single.begin(); item != single.end(); ++item) {
        const Json* value = &item.value();
        entries.emplace_back(item.key(), [&, key = item.key(), value] {
            keyPrefix(key);
            appendPrettyJson(out, *value, 2);
        });
    }
    const auto addArray = [&](const std::string& key, const auto& values) {
        entries.emplace_back(key, [&, key] {
            using Element = typename std::decay_t<decltype(values)>::value_type;
            keyPrefix(key);
            if (values.empty()) {
                out += "[]";
                return;
            }
            out += "[\n";
            for (std::size_t i = 0; i < values.size(); ++i) {
                out += i == 0 ? "    " : ",\n    ";
                appendPrettyJson(out, JsonCoder<Element>::encode(values[i]), 4);
            }
            out += "\n  ]";
        });
    };
    const auto addOptionalArray = [&](const std::string& key, const auto& values) {
        if (values) {
            addArray(key, *values);
        }
    };
    addArray("plugins", state.plugins);
    addArray("protectedKeys", state.protectedKeys);
    addArray("history", state.history);
    addOptionalArray("inaccessibleLocations", state.inaccessibleLocations);
    addOptionalArray("trashedBundles", state.trashedBundles);
    addOptionalArray("formatCleanupRuns", state.formatCleanupRuns);
    addOptionalArray("permanentQuarantineRules", state.permanentQuarantineRules);
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.first < b.first; });
    for (const auto& [key, writeEntry] : entries) {
        writeEntry();
    }
    out += first ? "{}" : "\n}";
    return out;
}

}  // namespace kestrova::testing
