#include "scan/RegistryProducts.h"

#include "model/ProductGrouping.h"
#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <map>
#include <set>

namespace kestrova {
namespace {

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && lowercased(text.substr(0, prefix.size())) == lowercased(prefix);
}

}  // namespace

std::string registryDisplayName(std::string_view name) {
    auto cleaned = trimmedWhitespace(name);
    for (const std::string_view prefix : {"Waves: ", "Waves - ", "Waves "}) {
        if (startsWithIgnoringCase(cleaned, prefix)) {
            return trimmedWhitespace(std::string_view(cleaned).substr(prefix.size()));
        }
    }
    return cleaned;
}

std::vector<Plugin> registryProducts(const std::vector<AudioUnitComponent>& components) {
    std::vector<Plugin> products;
    std::map<std::string, std::size_t> indexByKey;
    for (const auto& component : components) {
        if (unicodeLowercased(component.manufacturerName + " " + component.name).find("waves") == std::string::npos) {
            continue;
        }
        const auto name = registryDisplayName(component.name);
        if (name.empty() || localizedCaseInsensitiveContains(name, "WaveShell")) {
            continue;
        }
        Plugin product;
        product.id = Uuid::random();
        product.name = name;
        product.manufacturer = "Waves";
        product.version = component.versionString.empty() ? std::string(unavailableVersion) : component.versionString;
        product.formats = {"AU"};
        product.architecture = architectures::viaWaveShell;
        product.size = "Shared";
        product.path = "macOS Audio Unit Registry";
        product.status = PluginStatus::hostedByShell;
        product.isProtected = true;
        product.bundles = std::vector<PluginBundleRecord>{};
        const auto key = unicodeLowercased("Waves|" + name);
        if (const auto found = indexByKey.find(key); found != indexByKey.end()) {
            products[found->second] = std::move(product);
        } else {
            indexByKey.emplace(key, products.size());
            products.push_back(std::move(product));
        }
    }
    return products;
}

std::vector<Plugin> productsOfScan(std::vector<Plugin> scanned, const std::vector<Plugin>& registry) {
    // A product found on disk always wins over its registry twin. Without a
    // registry (always, on Linux) the keys are not worth making.
    std::set<std::string> keys;
    if (!registry.empty()) {
        for (const auto& product : scanned) {
            keys.insert(productKey(product));
        }
    }
    for (const auto& product : registry) {
        if (!keys.contains(productKey(product))) {
            scanned.push_back(product);
        }
    }
    // Manufacturers first, then names. Manufacturers that differ only in case
    // fall through to the names, which keeps the order a strict weak one.
    stableSortProducts(scanned, [](const Plugin& a, const Plugin& b) {
        if (a.manufacturer != b.manufacturer) {
            if (const auto order = localizedCaseInsensitiveCompare(a.manufacturer, b.manufacturer); order != 0) {
                return order < 0;
            }
        }
        return localizedCaseInsensitiveCompare(a.name, b.name) < 0;
    });
    return scanned;
}

}  // namespace kestrova
