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

namespace {

std::vector<PluginBundleSelection> selectionsWhere(const std::vector<Plugin>& products, bool quarantined) {
    std::vector<PluginBundleSelection> selections;
    for (const auto& product : products) {
        for (const auto& record : actionableBundleRecords(product)) {
            if (record.isQuarantined() == quarantined) {
                selections.push_back({product.id, record.id()});
            }
        }
    }
    return selections;
}

}  // namespace

std::vector<PluginBundleSelection> activeBundleSelections(const std::vector<Plugin>& products) {
    return selectionsWhere(products, false);
}

std::vector<PluginBundleSelection> quarantinedBundleSelections(const std::vector<Plugin>& products) {
    return selectionsWhere(products, true);
}

std::string normalizedFormat(std::string_view format) { return unicodeUppercased(trimmedWhitespace(format)); }

}  // namespace kestrova
