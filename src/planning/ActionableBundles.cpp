#include "planning/ActionableBundles.h"

#include "model/ProductStatus.h"
#include "platform/Text.h"

namespace kestrova {

bool isShellProduct(const Plugin& product) {
    return product.status == PluginStatus::hostedByShell || isSharedShell(product);
}

std::vector<PluginBundleRecord> actionableBundleRecords(const Plugin& product) {
    if (product.bundles && !product.bundles->empty()) {
        return *product.bundles;
    }
    if (product.status == PluginStatus::hostedByShell) {
        return {};
    }
    // The one synthesized record of an older single-format product.
    return bundleRecords(product);
}

std::string normalizedFormat(std::string_view format) { return unicodeUppercased(trimmedWhitespace(format)); }

}  // namespace kestrova
