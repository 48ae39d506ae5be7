// Names one format bundle of one product: the product's id and the bundle key.
#pragma once

#include "model/Hashing.h"
#include "model/JsonCoding.h"
#include "platform/Uuid.h"

#include <string>

namespace kestrova {

struct PluginBundleSelection {
    Uuid pluginID;
    std::string bundleID;

    friend bool operator==(const PluginBundleSelection&, const PluginBundleSelection&) = default;
};

// The order of stored run selections: the text of pluginID, then bundleID,
// both in plain string order.
bool storedSelectionOrder(const PluginBundleSelection& a, const PluginBundleSelection& b);

template <>
struct JsonCoder<PluginBundleSelection> {
    static Json encode(const PluginBundleSelection& selection);
    static PluginBundleSelection decode(const Json& json, const std::string& key);
};

}  // namespace kestrova

template <>
struct std::hash<kestrova::PluginBundleSelection> {
    std::size_t operator()(const kestrova::PluginBundleSelection& selection) const noexcept {
        std::size_t seed = 0;
        kestrova::hashCombine(seed, selection.pluginID);
        kestrova::hashCombine(seed, selection.bundleID);
        return seed;
    }
};
