#include "store/rules/ScanMerge.h"

#include "model/ProductStatus.h"
#include "platform/Paths.h"
#include "platform/Text.h"

#include <fmt/format.h>

#include <algorithm>
#include <numeric>
#include <unordered_map>
#include <unordered_set>

namespace kestrova {
namespace {

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

void lowercaseAsciiInPlace(std::string& text) {
    for (auto& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
}

// Stored and scanned paths are nearly always standardized already; only the
// others go through the general routine.
bool isStandardized(std::string_view path) {
    if (path.size() > 1 && path.back() == '/') {
        return false;
    }
    std::size_t start = 0;
    while (start <= path.size()) {
        auto end = path.find('/', start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        const auto part = path.substr(start, end - start);
        if ((part.empty() && start != 0 && end != path.size()) || part == "." || part == "..") {
            return false;
        }
        start = end + 1;
    }
    return true;
}

std::string standardized(std::string_view path) {
    return isStandardized(path) ? std::string(path) : standardizedPath(path);
}

// scanPathKey into a buffer that keeps its capacity from one bundle to the
// next, so looking up thousands of paths allocates nothing.
void assignScanPathKey(std::string& key, std::string_view path) {
    if (isStandardized(path)) {
        key.assign(path);
    } else {
        key = standardizedPath(path);
    }
    // The root locale's case mapping is plain ASCII case mapping for ASCII.
    if (isAscii(key)) {
        lowercaseAsciiInPlace(key);
    } else {
        key = unicodeLowercased(key);
    }
}

// productKey and PluginBundleRecord::id, computed for every bundle of a
// rescan twice, without ICU for ASCII text.
std::string fastProductKey(const Plugin& product) {
    if (isAscii(product.manufacturer) && isAscii(product.name)) {
        std::string key;
        key.reserve(product.manufacturer.size() + 1 + product.name.size());
        key += product.manufacturer;
        key += '|';
        key += product.name;
        lowercaseAsciiInPlace(key);
        return key;
    }
    return productKey(product);
}

std::string fastBundleKey(const PluginBundleRecord& record, const std::string* lowercasedLocation = nullptr) {
    const auto& location = record.originalPath ? *record.originalPath : record.path;
    if (!isAscii(record.format) || !isAscii(location)) {
        return record.id();
    }
    auto key = uppercased(trimmedWhitespace(record.format));
    key += '|';
    if (lowercasedLocation) {
        key += *lowercasedLocation;
    } else {
        auto path = standardized(location);
        lowercaseAsciiInPlace(path);
        key += path;
    }
    return key;
}

// The effective bundle records of bundleRecords, unsorted and uncopied where
// the product has its own list.
template <typename Visit>
void forEachBundleRecord(const Plugin& product, Visit&& visit) {
    if (product.status == PluginStatus::hostedByShell) {
        return;
    }
    if (product.bundles && !product.bundles->empty()) {
        for (const auto& record : *product.bundles) {
            visit(record);
        }
        return;
    }
    for (const auto& record : bundleRecords(product)) {
        visit(record);
    }
}

bool sameLocationIgnoringCase(std::string_view a, std::string_view b) {
    if (isAscii(a) && isAscii(b)) {
        return a.size() == b.size() && lowercased(a) == lowercased(b);
    }
    return foldCase(a) == foldCase(b);
}

std::vector<std::string> sortedDistinctFormats(const std::vector<PluginBundleRecord>& records) {
    std::vector<std::string> formats;
    formats.reserve(records.size());
    for (const auto& record : records) {
        formats.push_back(record.format);
    }
    std::sort(formats.begin(), formats.end());
    formats.erase(std::unique(formats.begin(), formats.end()), formats.end());
    return formats;
}

// Puts a quarantined record back into the product scanned under its key: a
// scanned bundle at its original location, or with its key, gives way to it.
void mergeQuarantinedRecord(Plugin& product, const PluginBundleRecord& quarantined) {
    auto records = bundleRecords(product);
    const auto& origin = quarantined.originalPath ? *quarantined.originalPath : quarantined.path;
    const auto key = fastBundleKey(quarantined);
    std::erase_if(records, [&](const PluginBundleRecord& record) {
        return sameLocationIgnoringCase(record.path, origin) || fastBundleKey(record) == key;
    });
    records.push_back(quarantined);
    product.formats = sortedDistinctFormats(records);
    product.bundles = std::move(records);
    product.status = derivedStatus(product);
}

}  // namespace

std::string scanPathKey(std::string_view path) {
    std::string key;
    assignScanPathKey(key, path);
    return key;
}

ScanBaseline scanBaseline(const std::vector<Plugin>& plugins, bool hadPreviousScan) {
    ScanBaseline baseline;
    baseline.hadPreviousScan = hadPreviousScan;
    std::size_t bundleCount = 0;
    for (const auto& product : plugins) {
        bundleCount += bundleRecordCount(product);
    }
    baseline.previousActivePaths.reserve(bundleCount);
    for (const auto& product : plugins) {
        forEachBundleRecord(product, [&](const PluginBundleRecord& record) {
            auto path = scanPathKey(record.path);
            if (record.isProtected) {
                // Without an original path the bundle key ends in the same text.
                baseline.previousProtectedBundleKeys.insert(
                    fastBundleKey(record, record.originalPath || !isAscii(path) ? nullptr : &path));
            }
            if (!record.isQuarantined()) {
                baseline.previousActivePaths.try_emplace(std::move(path), baseline.previousActivePaths.size());
            }
        });
    }
    return baseline;
}

std::size_t bundleRecordCount(const Plugin& product) {
    if (product.status == PluginStatus::hostedByShell) {
        return 0;
    }
    if (product.bundles && !product.bundles->empty()) {
        return product.bundles->size();
    }
    return product.formats.size() == 1 ? 1 : 0;
}

std::vector<Plugin> carryOverQuarantinedBundles(const std::vector<Plugin>& previous, std::vector<Plugin> scanned) {
    // The first product of each key, so every lookup is constant time even
    // with thousands of products.
    std::unordered_map<std::string, std::size_t> firstByKey;
    firstByKey.reserve(scanned.size());
    for (std::size_t index = 0; index < scanned.size(); ++index) {
        firstByKey.emplace(fastProductKey(scanned[index]), index);
    }
    for (const auto& old : previous) {
        bool holdsQuarantined = false;
        forEachBundleRecord(old, [&](const PluginBundleRecord& record) {
            holdsQuarantined = holdsQuarantined || record.isQuarantined();
        });
        if (!holdsQuarantined) {
            continue;
        }
        std::optional<std::string> key;
        for (const auto& record : bundleRecords(old)) {
            if (!record.isQuarantined()) {
                continue;
            }
            if (!key) {
                key = fastProductKey(old);
            }
            if (const auto found = firstByKey.find(*key); found != firstByKey.end()) {
                mergeQuarantinedRecord(scanned[found->second], record);
                continue;
            }
            auto kept = old;
            kept.bundles = std::vector<PluginBundleRecord>{record};
            kept.status = PluginStatus::quarantined;
            firstByKey.emplace(*key, scanned.size());
            scanned.push_back(std::move(kept));
        }
    }
    // Sorting positions and moving each product once keeps thousands of
    // large records from being shuffled through a merge sort's buffer.
    const auto before = [&](std::size_t a, std::size_t b) {
        const auto& first = scanned[a];
        const auto& second = scanned[b];
        return first.manufacturer != second.manufacturer ? first.manufacturer < second.manufacturer
                                                         : first.name < second.name;
    };
    std::vector<std::size_t> order(scanned.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    if (std::is_sorted(order.begin(), order.end(), before)) {
        return scanned;
    }
    std::stable_sort(order.begin(), order.end(), before);
    std::vector<Plugin> sorted;
    sorted.reserve(scanned.size());
    for (const auto index : order) {
        sorted.push_back(std::move(scanned[index]));
    }
    return sorted;
}

void applyScanProtection(std::vector<Plugin>& products, std::set<std::string>& protectedKeys,
                         const ScanBaseline& baseline) {
    for (auto& product : products) {
        const auto key = fastProductKey(product);
        const bool mandatory = protectionCoverage(product) == ProtectionCoverage::mandatory;
        if (mandatory) {
            protectedKeys.insert(key);
        }
        const bool productProtected = mandatory || protectedKeys.contains(key);
        if (product.bundles) {
            for (auto& bundle : *product.bundles) {
                if (productProtected) {
                    bundle.isProtected = true;
                } else {
                    bundle.isProtected = !baseline.previousProtectedBundleKeys.empty() &&
                                         baseline.previousProtectedBundleKeys.contains(fastBundleKey(bundle));
                }
            }
        }
        if (mandatory) {
            product.isProtected = true;
        } else if (!product.bundles) {
            product.isProtected = protectedKeys.contains(key);
        } else {
            product.isProtected = std::any_of(product.bundles->begin(), product.bundles->end(),
                                              [](const PluginBundleRecord& bundle) { return bundle.isProtected; });
        }
        product.status = derivedStatus(product);
    }
}

ScanMergeResult mergeScan(const std::vector<Plugin>& previous, std::vector<Plugin> scanned,
                          bool hadInaccessibleLocations, const ScanBaseline& baseline,
                          const std::set<std::string>& protectedKeys,
                          const std::vector<TrashedBundleRecord>& trashedBundles) {
    ScanMergeResult result;

    // A path found again is marked by its position in the baseline, so only
    // the paths that are new since the last scan need a set of their own.
    const auto& previousPaths = baseline.previousActivePaths;
    std::vector<bool> foundAgain(previousPaths.size());
    std::unordered_set<std::string> newPaths;
    std::string key;
    for (const auto& product : scanned) {
        forEachBundleRecord(product, [&](const PluginBundleRecord& record) {
            assignScanPathKey(key, record.path);
            if (const auto found = previousPaths.find(key); found != previousPaths.end()) {
                foundAgain[found->second] = true;
            } else if (!newPaths.contains(key)) {
                newPaths.insert(key);
            }
        });
    }
    const auto isCurrent = [&](const std::string& path) {
        const auto found = previousPaths.find(path);
        return found != previousPaths.end() ? foundAgain[found->second] : newPaths.contains(path);
    };

    std::unordered_set<std::string> restoredPaths;
    for (std::size_t index = 0; index < trashedBundles.size(); ++index) {
        const auto& record = trashedBundles[index];
        if (!record.isOpen()) {
            continue;
        }
        auto original = scanPathKey(record.originalPath);
        if (isCurrent(original)) {
            result.manuallyRestoredRecords.push_back(index);
            restoredPaths.insert(std::move(original));
        }
    }

    auto& counts = result.reconciliation;
    counts.missingCheckWasLimited = hadInaccessibleLocations;
    counts.manuallyRestoredBundles = static_cast<int>(result.manuallyRestoredRecords.size());
    if (baseline.hadPreviousScan) {
        counts.addedBundles = static_cast<int>(std::count_if(
            newPaths.begin(), newPaths.end(), [&](const auto& path) { return !restoredPaths.contains(path); }));
        if (!hadInaccessibleLocations) {
            counts.missingBundles = static_cast<int>(std::count(foundAgain.begin(), foundAgain.end(), false));
        }
    }

    result.plugins = carryOverQuarantinedBundles(previous, std::move(scanned));
    result.protectedKeys = protectedKeys;
    applyScanProtection(result.plugins, result.protectedKeys, baseline);
    for (const auto& product : result.plugins) {
        result.bundleCount += bundleRecordCount(product);
    }
    return result;
}

std::string reconciliationSummaryText(int added, int missing, int manuallyRestored, bool limited) {
    if (limited) {
        return fmt::format(
            "Rescan: {} added, missing-bundle check deferred because some folders were unreadable, {} manually "
            "restored.",
            added, manuallyRestored);
    }
    return fmt::format("Rescan: {} added, {} missing, {} manually restored.", added, missing, manuallyRestored);
}

}  // namespace kestrova
