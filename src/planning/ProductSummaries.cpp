#include "planning/ProductSummaries.h"

#include "model/ProductStatus.h"
#include "planning/ByteCountParsing.h"

#include <algorithm>

namespace kestrova {

InventorySummary summarizeInventory(const std::vector<Plugin>& products, std::string_view machine) {
    InventorySummary summary;
    summary.products = static_cast<int>(products.size());
    for (const auto& product : products) {
        summary.multipleFormats += product.formats.size() >= 2 ? 1 : 0;
        const auto tint = architectureTint(product.architecture, machine);
        summary.nativeOrUniversal += tint == ArchitectureTint::native ? 1 : 0;
        summary.needsReview += tint == ArchitectureTint::review ? 1 : 0;
    }
    return summary;
}

ArchitectureTint architectureTint(std::string_view architecture, std::string_view machine) {
    if (!machine.empty() ? architecture == machine : architecture == "Apple Silicon" || architecture == "Universal") {
        return ArchitectureTint::native;
    }
    if (architecture == "Intel" || architecture == "Unknown") {
        return ArchitectureTint::review;
    }
    return ArchitectureTint::neutral;
}

bool hasQuarantinedFormat(const Plugin& product) {
    if (product.status == PluginStatus::quarantined || product.status == PluginStatus::partiallyQuarantined) {
        return true;
    }
    const auto records = bundleRecords(product);
    return std::any_of(records.begin(), records.end(), [](const auto& record) { return record.isQuarantined(); });
}

QuarantinedPart quarantinedPart(const Plugin& product, const MoveDateLookup& movedAt) {
    QuarantinedPart part;
    for (const auto& record : bundleRecords(product)) {
        if (!record.isQuarantined()) {
            continue;
        }
        part.formats.push_back(record.format);
        part.bytes += parseDisplaySize(record.size).value_or(0);
        if (movedAt) {
            if (const auto date = movedAt(record); date && (!part.movedAt || *date < *part.movedAt)) {
                part.movedAt = date;
            }
        }
    }
    return part;
}

std::vector<PluginBundleRecord> quarantinedRecordsFirst(const Plugin& product) {
    auto records = bundleRecords(product);
    std::stable_partition(records.begin(), records.end(), [](const auto& record) { return record.isQuarantined(); });
    return records;
}

}  // namespace kestrova
