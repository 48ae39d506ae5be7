// Plug-in bundles with real content in a sandbox's plug-in folders, the
// products that name them, and helpers to move them as the helper would, for
// the transaction, recovery and cleanup-run tests. A bundle's Info.plist
// holds a marker that tells which copy ended up where.
#pragma once

#include "StoreSandbox.h"
#include "planning/PathRules.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace kestrova::testing {

// A bundle folder whose Info.plist holds `marker` (by default its own path)
// and an executable whose bytes depend on the path, so no two look alike.
inline void makeBundleOnDisk(const std::string& path, const std::string& marker = {}) {
    namespace fs = std::filesystem;
    const auto name = deletingPathExtension(lastPathComponent(path));
    fs::create_directories(fs::path(path) / "Contents" / "MacOS");
    std::ofstream(fs::path(path) / "Contents" / "Info.plist") << (marker.empty() ? path : marker);
    std::string binary;
    for (std::size_t i = 0; i < 4096; ++i) {
        binary.push_back(
            static_cast<char>((i * 31 + path.size() * 7 + static_cast<unsigned char>(path[i % path.size()])) & 0xFF));
    }
    std::ofstream(fs::path(path) / "Contents" / "MacOS" / name, std::ios::binary) << binary;
}

inline std::string bundleMarker(const std::string& path) {
    std::ifstream in(std::filesystem::path(path) / "Contents" / "Info.plist");
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Moves a bundle as the helper would.
inline void moveBundle(const std::string& from, const std::string& to) {
    std::filesystem::create_directories(std::filesystem::path(to).parent_path());
    std::filesystem::rename(from, to);
}
template <typename Item>
void moveAll(const std::vector<Item>& items) {
    for (const auto& item : items) {
        moveBundle(item.sourcePath, item.destinationPath);
    }
}

// Records `bundle` as moved into its side's quarantine by a new operation;
// what is on disk is left to the caller.
inline void recordQuarantined(const SystemLayout& layout, PluginBundleRecord& bundle) {
    const auto operationID = Uuid::random().string();
    bundle.originalPath = bundle.path;
    bundle.quarantinePath = quarantineRoot(layout, sideOfPath(bundle.path, layout)) + "/" + operationID + "/" +
                            lastPathComponent(bundle.path);
    bundle.quarantineOperationID = operationID;
}

// A bundle by format and installed path.
using InstalledBundle = std::pair<std::string, std::string>;

// A product with a bundle at each path, made on disk; recorded in quarantine
// (and moved there) when `quarantined`.
inline Plugin productWith(const std::vector<InstalledBundle>& installed, bool quarantined, const SystemLayout& layout,
                          std::string name = "Echo", std::string manufacturer = "Acme") {
    std::vector<std::string> formats;
    std::vector<PluginBundleRecord> bundles;
    for (const auto& [format, path] : installed) {
        formats.push_back(format);
        makeBundleOnDisk(path);
        bundles.push_back(sampleBundle(format, path));
        if (quarantined) {
            recordQuarantined(layout, bundles.back());
            moveBundle(path, *bundles.back().quarantinePath);
        }
    }
    auto product = sampleProduct(std::move(manufacturer), std::move(name), formats,
                                 quarantined ? PluginStatus::quarantined : PluginStatus::ok);
    product.path = installed.front().second;
    product.bundles = std::move(bundles);
    return product;
}

// One product with one bundle per format, each in the standard folder of its
// format under the layout's system root.
inline Plugin productOnDisk(const SystemLayout& layout, std::string manufacturer, std::string name,
                            const std::vector<std::string>& formats) {
    std::vector<InstalledBundle> installed;
    for (const auto& format : formats) {
        installed.emplace_back(
            format, layout.system(standardFolder(format)) + "/" + name + "." + std::string(bundleExtension(format)));
    }
    return productWith(installed, false, layout, std::move(name), std::move(manufacturer));
}

inline const PluginBundleRecord* findBundle(const std::vector<Plugin>& plugins, std::string_view name,
                                            std::string_view format) {
    for (const auto& product : plugins) {
        if (product.name != name || !product.bundles) {
            continue;
        }
        for (const auto& bundle : *product.bundles) {
            if (bundle.format == format) {
                return &bundle;
            }
        }
    }
    return nullptr;
}

// The selection of a product's bundle of one format in the store's inventory.
inline PluginBundleSelection selectionOf(const PluginInventoryStore& store, std::string_view name,
                                         std::string_view format) {
    const auto* product = findProduct(store.plugins(), name);
    const auto* bundle = findBundle(store.plugins(), name, format);
    if (!product || !bundle) {
        ADD_FAILURE() << "no " << format << " bundle of " << name;
        return {};
    }
    return {product->id, bundle->id()};
}

}  // namespace kestrova::testing
