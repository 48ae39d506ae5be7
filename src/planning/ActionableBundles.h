// Which bundles of a product file actions consider. Unlike the display rule,
// a shell-hosted product's recorded bundles count here, so the planners can
// name them as permanently excluded instead of missing.
#pragma once

#include "model/Plugin.h"
#include "model/PluginBundleSelection.h"

#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

// Shared shells and the products that live inside them are never moved.
bool isShellProduct(const Plugin& product);

// The recorded bundles when there are any; else, for an older record with
// exactly one format that is not shell-hosted, one record built from the
// product's own fields; else none.
std::vector<PluginBundleRecord> actionableBundleRecords(const Plugin& product);

// The products' actionable bundles that are still installed (what a
// quarantine of whole products moves), or that are quarantined (what a
// restore or a move to the Trash of whole products takes), product by
// product in the order given.
std::vector<PluginBundleSelection> activeBundleSelections(const std::vector<Plugin>& products);
std::vector<PluginBundleSelection> quarantinedBundleSelections(const std::vector<Plugin>& products);

// Trimmed and upper-cased, as formats are compared and keyed.
std::string normalizedFormat(std::string_view format);

}  // namespace kestrova
