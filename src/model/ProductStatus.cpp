#include "model/ProductStatus.h"

#include "platform/Text.h"

#include <algorithm>

namespace kestrova {
namespace {

bool isWavesShellName(const Plugin& product) {
    return product.manufacturer == "Waves" && localizedCaseInsensitiveContains(product.name, "shell");
}

}  // namespace

std::vector<PluginBundleRecord> bundleRecords(const Plugin& product) {
    if (product.status == PluginStatus::hostedByShell) {
        return {};
    }
    if (product.bundles && !product.bundles->empty()) {
        auto records = *product.bundles;
        std::stable_sort(records.begin(), records.end(), [](const PluginBundleRecord& a, const PluginBundleRecord& b) {
            return a.format != b.format ? a.format < b.format : a.path < b.path;
        });
        return records;
    }
    if (product.formats.size() != 1) {
        return {};
    }
    PluginBundleRecord record;
    record.format = product.formats.front();
    record.architecture = product.architecture;
    record.size = product.size;
    record.path = product.path;
    record.originalPath = product.originalPath;
    record.quarantinePath = product.quarantinePath;
    record.quarantineOperationID = product.quarantineOperationID;
    record.isProtected = product.isProtected;
    return {record};
}

bool isSharedShell(const Plugin& product) {
    return product.status == PluginStatus::sharedShell || isWavesShellName(product);
}

ProtectionCoverage protectionCoverage(const Plugin& product) {
    if (product.status == PluginStatus::sharedShell || product.status == PluginStatus::hostedByShell ||
        isWavesShellName(product)) {
        return ProtectionCoverage::mandatory;
    }
    if (!product.bundles || product.bundles->empty()) {
        return product.isProtected ? ProtectionCoverage::full : ProtectionCoverage::none;
    }
    const auto protectedCount = std::count_if(product.bundles->begin(), product.bundles->end(),
                                              [](const PluginBundleRecord& bundle) { return bundle.isProtected; });
    if (protectedCount == 0) {
        return ProtectionCoverage::none;
    }
    return static_cast<std::size_t>(protectedCount) == product.bundles->size() ? ProtectionCoverage::full
                                                                               : ProtectionCoverage::partial;
}

PluginStatus baseStatus(const Plugin& product) {
    if (product.status == PluginStatus::hostedByShell) {
        return PluginStatus::hostedByShell;
    }
    if (isSharedShell(product)) {
        return PluginStatus::sharedShell;
    }
    return product.architecture == "Intel" ? PluginStatus::legacy : PluginStatus::ok;
}

PluginStatus derivedStatus(const Plugin& product) {
    const auto records = bundleRecords(product);
    const auto quarantined = std::count_if(records.begin(), records.end(),
                                           [](const PluginBundleRecord& bundle) { return bundle.isQuarantined(); });
    if (!records.empty() && static_cast<std::size_t>(quarantined) == records.size()) {
        return PluginStatus::quarantined;
    }
    if (quarantined > 0) {
        return PluginStatus::partiallyQuarantined;
    }
    if (product.status == PluginStatus::hostedByShell) {
        return PluginStatus::hostedByShell;
    }
    if (isSharedShell(product)) {
        return PluginStatus::sharedShell;
    }
    switch (protectionCoverage(product)) {
        case ProtectionCoverage::full:
        case ProtectionCoverage::mandatory:
            return PluginStatus::protected_;
        case ProtectionCoverage::partial:
            return PluginStatus::partiallyProtected;
        case ProtectionCoverage::none:
            break;
    }
    return baseStatus(product);
}

bool hasActiveFormat(const Plugin& product) {
    const auto records = bundleRecords(product);
    if (records.empty()) {
        return product.status != PluginStatus::quarantined && product.status != PluginStatus::partiallyQuarantined;
    }
    return std::any_of(records.begin(), records.end(),
                       [](const PluginBundleRecord& record) { return !record.isQuarantined(); });
}

}  // namespace kestrova
