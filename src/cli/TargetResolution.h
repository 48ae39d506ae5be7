// Products and format bundles named the way a person types them on the
// command line: the product name (any letter case), optionally its
// manufacturer, and for a bundle the format name and, when one product has
// two bundles of that format, the bundle's path. Anything that names no
// record, or more than one, is an error that says what would tell them apart.
#pragma once

#include "model/Plugin.h"
#include "model/PluginBundleSelection.h"
#include "platform/Result.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kestrova::cli {

struct ProductTarget {
    std::string name;
    std::optional<std::string> manufacturer;
};

struct BundleTarget {
    ProductTarget product;
    std::string format;               // "VST3", "vst3", "AU" …
    std::optional<std::string> path;  // the bundle's current or original path
};

// Only bundles a command can act on (for example, quarantined ones to restore).
using BundleFilter = std::function<bool(const PluginBundleRecord&)>;

struct ResolvedBundle {
    const Plugin* product = nullptr;
    PluginBundleRecord bundle;
    PluginBundleSelection selection;
};

// The inventory products the target names, in inventory order: exact name
// matches when there are any, else matches ignoring letter case.
std::vector<const Plugin*> matchingProducts(const std::vector<Plugin>& plugins, const ProductTarget& target);

// One product, or an error. Several records of the same product (same
// manufacturer and name, found in different folders) count as one; the first
// is returned.
Result<const Plugin*> resolveProduct(const std::vector<Plugin>& plugins, const ProductTarget& target);

// Exactly one bundle, among the bundles `filter` accepts (all when empty).
Result<ResolvedBundle> resolveBundle(const std::vector<Plugin>& plugins, const BundleTarget& target,
                                     const BundleFilter& filter = {});

}  // namespace kestrova::cli
