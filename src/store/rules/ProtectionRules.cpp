#include "store/rules/ProtectionRules.h"

#include "model/ProductStatus.h"

#include <algorithm>

namespace kestrova {

bool hasMandatoryProtection(const Plugin& product) {
    return protectionCoverage(product) == ProtectionCoverage::mandatory;
}

bool materializeBundles(Plugin& product) {
    if (product.bundles) {
        return false;
    }
    auto records = bundleRecords(product);
    if (records.empty()) {
        return false;
    }
    product.bundles = std::move(records);
    return true;
}

BundleProtectionChange applyBundleProtection(Plugin& product, const PluginBundleSelection& selection,
                                             bool isProtected) {
    using Outcome = BundleProtectionChange::Outcome;
    if (product.id != selection.pluginID) {
        return {};
    }
    if (hasMandatoryProtection(product)) {
        return {Outcome::refused, std::nullopt, true};
    }
    if (!product.bundles) {
        return {};
    }
    auto& bundles = *product.bundles;
    const auto bundle = std::find_if(bundles.begin(), bundles.end(), [&](const PluginBundleRecord& record) {
        return record.id() == selection.bundleID;
    });
    if (bundle == bundles.end()) {
        return {};
    }
    if (bundle->isProtected == isProtected) {
        return {Outcome::unchanged, bundle->format, false};
    }
    bundle->isProtected = isProtected;
    product.isProtected = std::any_of(bundles.begin(), bundles.end(),
                                      [](const PluginBundleRecord& record) { return record.isProtected; });
    return {Outcome::changed, bundle->format, false};
}

}  // namespace kestrova
