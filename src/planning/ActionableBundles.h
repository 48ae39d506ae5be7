// Which bundles of a product file actions consider. Unlike the display rule,
// a shell-hosted product's recorded bundles count here, so the planners can
// name them as permanently excluded instead of missing.
#pragma once

#include "model/Plugin.h"

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

// Trimmed and upper-cased, as formats are compared and keyed.
std::string normalizedFormat(std::string_view format);

}  // namespace kestrova
