#include "model/ProductGrouping.h"

#include "platform/ByteCount.h"
#include "platform/Text.h"

#include <algorithm>
#include <limits>
#include <map>
#include <set>

namespace kestrova {
namespace {

// Sizes add up without wrapping: an absurd total sticks at the largest value.
std::int64_t addSizes(std::int64_t total, std::int64_t size) {
    std::int64_t sum = 0;
    if (__builtin_add_overflow(total, std::max<std::int64_t>(size, 0), &sum)) {
        return std::numeric_limits<std::int64_t>::max();
    }
    return sum;
}

std::string formattedSize(const ByteCountFormatter& formatter, std::int64_t bytes) {
    return formatter(static_cast<std::uint64_t>(std::max<std::int64_t>(bytes, 0)));
}

bool isWavesShell(std::string_view manufacturer, std::string_view name) {
    return manufacturer == "Waves" && localizedCaseInsensitiveContains(name, "shell");
}

}  // namespace

std::string architectureSummary(std::span<const std::string> values) {
    const std::set<std::string, std::less<>> distinct(values.begin(), values.end());
    if (distinct.empty()) {
        return std::string(architectures::unknown);
    }
    if (distinct.size() == 1) {
        return *distinct.begin();
    }
    if (distinct.contains(architectures::universal) ||
        (distinct.contains(architectures::appleSilicon) && distinct.contains(architectures::intel))) {
        return std::string(architectures::mixed);
    }
    std::string joined;
    for (const auto& value : distinct) {
        if (!joined.empty()) {
            joined += ", ";
        }
        joined += value;
    }
    return joined;
}

std::string groupingKey(const DiscoveredBundle& bundle) {
    return unicodeLowercased(bundle.manufacturer) + "|" + unicodeLowercased(bundle.name);
}

namespace {

// makeProduct over the group's bundles where they lie: the groups of a scan
// are mostly single bundles, and copying each bundle three times cost more
// than making its product.
std::optional<Plugin> makeProductOf(std::span<const DiscoveredBundle* const> group,
                                    const ByteCountFormatter& formatter) {
    if (group.empty()) {
        return std::nullopt;
    }
    std::vector<const DiscoveredBundle*> byFormat(group.begin(), group.end());
    // Stable, so a system-folder bundle stays ahead of a home-folder bundle of
    // the same format.
    std::stable_sort(byFormat.begin(), byFormat.end(),
                     [](const DiscoveredBundle* a, const DiscoveredBundle* b) { return a->format < b->format; });
    const auto& representative = *byFormat.front();

    std::set<std::string> distinctFormats;
    std::vector<std::string> bundleArchitectures;
    bundleArchitectures.reserve(group.size());
    std::int64_t totalSize = 0;
    for (const auto* bundle : group) {
        distinctFormats.insert(bundle->format);
        bundleArchitectures.push_back(bundle->architecture);
        totalSize = addSizes(totalSize, bundle->byteSize);
    }

    Plugin product;
    product.id = Uuid::random();
    product.name = representative.name;
    product.manufacturer = representative.manufacturer;
    product.version = representative.version;
    product.path = representative.path;
    product.formats.assign(distinctFormats.begin(), distinctFormats.end());
    product.architecture = architectureSummary(bundleArchitectures);

    const bool sharedShell = isWavesShell(representative.manufacturer, representative.name) ||
                             std::any_of(group.begin(), group.end(),
                                         [](const DiscoveredBundle* bundle) { return bundle->isSharedComponent; });
    const std::set<std::string> distinctArchitectures(bundleArchitectures.begin(), bundleArchitectures.end());
    if (sharedShell) {
        product.status = PluginStatus::sharedShell;
    } else if (distinctArchitectures.size() == 1 && *distinctArchitectures.begin() == architectures::intel) {
        product.status = PluginStatus::legacy;
    } else {
        product.status = PluginStatus::ok;
    }
    product.isProtected = sharedShell;

    auto byFormatAndPath = byFormat;
    std::stable_sort(byFormatAndPath.begin(), byFormatAndPath.end(),
                     [](const DiscoveredBundle* a, const DiscoveredBundle* b) {
                         return a->format != b->format ? a->format < b->format : a->path < b->path;
                     });
    std::vector<PluginBundleRecord> records;
    records.reserve(byFormatAndPath.size());
    for (const auto* bundle : byFormatAndPath) {
        PluginBundleRecord record;
        record.format = bundle->format;
        record.architecture = bundle->architecture;
        record.size = formattedSize(formatter, bundle->byteSize);
        record.path = bundle->path;
        if (!bundle->pluginNames.empty()) {
            record.pluginNames = bundle->pluginNames;
        }
        if (bundle->version != representative.version) {
            record.version = bundle->version;
        }
        records.push_back(std::move(record));
    }
    product.bundles = std::move(records);
    product.size = formattedSize(formatter, totalSize);
    return product;
}

}  // namespace

std::vector<Plugin> groupIntoProducts(std::span<const DiscoveredBundle> bundles) {
    // Groups in order of first appearance; each keeps its discovery order.
    std::map<std::string, std::size_t> groupIndex;
    std::vector<std::vector<const DiscoveredBundle*>> groups;
    for (const auto& bundle : bundles) {
        const auto [entry, inserted] = groupIndex.try_emplace(groupingKey(bundle), groups.size());
        if (inserted) {
            groups.emplace_back();
        }
        groups[entry->second].push_back(&bundle);
    }
    const ByteCountFormatter formatter = formatFileByteCount;
    std::vector<Plugin> products;
    products.reserve(groups.size());
    for (const auto& group : groups) {
        if (auto product = makeProductOf(group, formatter)) {
            products.push_back(std::move(*product));
        }
    }
    stableSortProducts(products, [](const Plugin& a, const Plugin& b) {
        if (a.manufacturer != b.manufacturer) {
            return a.manufacturer < b.manufacturer;
        }
        return a.name < b.name;
    });
    return products;
}

std::optional<Plugin> makeProduct(std::span<const DiscoveredBundle> group, const ByteCountFormatter& formatter) {
    std::vector<const DiscoveredBundle*> bundles;
    bundles.reserve(group.size());
    for (const auto& bundle : group) {
        bundles.push_back(&bundle);
    }
    return makeProductOf(bundles, formatter);
}

}  // namespace kestrova
