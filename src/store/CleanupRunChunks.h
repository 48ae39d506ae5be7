// How a long list of bundle selections is cut into helper transactions: in
// order, into consecutive pieces of at most one transaction's size.
#pragma once

#include "model/PluginBundleSelection.h"
#include "planning/BundleActionPlan.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace kestrova {

// The last piece holds the rest; an empty list gives no pieces.
std::vector<std::vector<PluginBundleSelection>> chunkedSelections(const std::vector<PluginBundleSelection>& selections,
                                                                  std::size_t chunkSize = maximumBundlesPerTransaction);

// The same cut for any list (permanent-quarantine matches go in batches too).
template <typename T>
std::vector<std::vector<T>> chunked(const std::vector<T>& items, std::size_t chunkSize) {
    std::vector<std::vector<T>> pieces;
    if (chunkSize == 0) {
        return pieces;
    }
    for (std::size_t start = 0; start < items.size(); start += chunkSize) {
        const auto end = std::min(items.size(), start + chunkSize);
        pieces.emplace_back(items.begin() + static_cast<std::ptrdiff_t>(start),
                            items.begin() + static_cast<std::ptrdiff_t>(end));
    }
    return pieces;
}

}  // namespace kestrova
