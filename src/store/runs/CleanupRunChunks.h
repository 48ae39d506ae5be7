// How a long list of bundle selections is cut into helper transactions: in
// order, into consecutive pieces of at most one transaction's size.
#pragma once

#include "model/PluginBundleSelection.h"
#include "planning/BundleActionPlan.h"

#include <cstddef>
#include <vector>

namespace kestrova {

// The last piece holds the rest; an empty list gives no pieces.
std::vector<std::vector<PluginBundleSelection>> chunkedSelections(const std::vector<PluginBundleSelection>& selections,
                                                                  std::size_t chunkSize = maximumBundlesPerTransaction);

}  // namespace kestrova
