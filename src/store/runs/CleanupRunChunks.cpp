#include "store/runs/CleanupRunChunks.h"

#include <algorithm>

namespace kestrova {

std::vector<std::vector<PluginBundleSelection>> chunkedSelections(const std::vector<PluginBundleSelection>& selections,
                                                                  std::size_t chunkSize) {
    std::vector<std::vector<PluginBundleSelection>> chunks;
    if (chunkSize == 0) {
        return chunks;
    }
    for (std::size_t start = 0; start < selections.size(); start += chunkSize) {
        const auto end = std::min(selections.size(), start + chunkSize);
        chunks.emplace_back(selections.begin() + static_cast<std::ptrdiff_t>(start),
                            selections.begin() + static_cast<std::ptrdiff_t>(end));
    }
    return chunks;
}

}  // namespace kestrova
