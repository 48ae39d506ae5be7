#include "store/CleanupRunChunks.h"

namespace kestrova {

std::vector<std::vector<PluginBundleSelection>> chunkedSelections(const std::vector<PluginBundleSelection>& selections,
                                                                  std::size_t chunkSize) {
    return chunked(selections, chunkSize);
}

}  // namespace kestrova
