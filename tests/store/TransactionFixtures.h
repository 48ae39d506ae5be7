// Plug-in bundles with real content in a sandbox's system folders, the
// products that name them, and a store opened over that state, for the
// transaction and recovery tests. A bundle's content is compared byte for
// byte before and after a trip.
#pragma once

#include "StateSamples.h"
#include "planning/PathRules.h"
#include "platform/Executor.h"
#include "platform/Paths.h"
#include "store/PersistedInventoryFile.h"
#include "store/PluginInventoryStore.h"
#include "support/FaultyFileSystem.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kestrova::testing {

inline std::string standardFolder(std::string_view format) {
    return format == "AU"     ? "/Library/Audio/Plug-Ins/Components"
           : format == "VST2" ? "/Library/Audio/Plug-Ins/VST"
           : format == "VST3" ? "/Library/Audio/Plug-Ins/VST3"
           : format == "CLAP" ? "/Library/Audio/Plug-Ins/CLAP"
                              : "/Library/Application Support/Avid/Audio/Plug-Ins";
}

// Every file below a bundle, by relative path, with its bytes.
using BundleContents = std::map<std::string, std::string>;

inline BundleContents bundleContents(const std::string& bundle) {
    namespace fs = std::filesystem;
    BundleContents contents;
    std::error_code error;
    for (fs::recursive_directory_iterator it(bundle, error), end; !error && it != end; it.increment(error)) {
        if (it->is_regular_file()) {
            std::ifstream in(it->path(), std::ios::binary);
            contents[fs::relative(it->path(), bundle).string()] = std::string(std::istreambuf_iterator<char>(in), {});
        }
    }
    return contents;
}

// A bundle folder with an Info.plist and an executable whose bytes depend on
// its path, so two bundles never look alike.
inline void makeBundleOnDisk(const std::string& path) {
    namespace fs = std::filesystem;
    const auto name = deletingPathExtension(lastPathComponent(path));
    fs::create_directories(fs::path(path) / "Contents" / "MacOS");
    std::ofstream(fs::path(path) / "Contents" / "Info.plist")
        << "<plist><dict><key>CFBundleName</key><string>" << name << "</string></dict></plist>\n";
    std::string binary;
    for (std::size_t i = 0; i < 4096; ++i) {
        binary.push_back(
            static_cast<char>((i * 31 + path.size() * 7 + static_cast<unsigned char>(path[i % path.size()])) & 0xFF));
    }
    std::ofstream(fs::path(path) / "Contents" / "MacOS" / name, std::ios::binary) << binary;
}

inline bool existsAt(const std::string& path) {
    std::error_code error;
    return std::filesystem::symlink_status(path, error).type() != std::filesystem::file_type::not_found && !error;
}

// One product with one bundle per format, each made on disk in the standard
// folder of its format under the layout's system root.
inline Plugin productOnDisk(const SystemLayout& layout, std::string manufacturer, std::string name,
                            std::vector<std::string> formats) {
    auto product = sampleProduct(std::move(manufacturer), name, formats);
    std::vector<PluginBundleRecord> bundles;
    for (const auto& format : formats) {
        const auto path =
            layout.system(standardFolder(format)) + "/" + name + "." + std::string(bundleExtension(format));
        makeBundleOnDisk(path);
        bundles.push_back(sampleBundle(format, path));
    }
    product.path = bundles.front().path;
    product.bundles = std::move(bundles);
    return product;
}

// Records `bundle` as moved into quarantine by `operationID`, under the
// layout's quarantine root; what is on disk is left to the caller.
inline void recordQuarantined(const SystemLayout& layout, PluginBundleRecord& bundle, const std::string& operationID) {
    bundle.originalPath = bundle.path;
    bundle.quarantinePath = quarantineRoot(layout) + "/" + operationID + "/" + lastPathComponent(bundle.path);
    bundle.quarantineOperationID = operationID;
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
    for (const auto& product : store.plugins()) {
        if (product.name != name || !product.bundles) {
            continue;
        }
        for (const auto& bundle : *product.bundles) {
            if (bundle.format == format) {
                return {product.id, bundle.id()};
            }
        }
    }
    ADD_FAILURE() << "no " << format << " bundle of " << name;
    return {};
}

// A store over a state written beforehand, on a disk that fails on request.
struct TransactionStoreSandbox {
    explicit TransactionStoreSandbox(SystemLayout layout_) : layout(std::move(layout_)) {}

    SystemLayout layout;
    FaultyFileSystem disk;
    RunLoopExecutor executor;

    void writeState(const PersistedInventory& state) { ASSERT_TRUE(writePersistedInventory(state, layout, disk).ok()); }
    void writeProducts(std::vector<Plugin> plugins) {
        auto state = minimalState();
        state.plugins = std::move(plugins);
        writeState(state);
    }
    PersistedInventory savedState() const {
        auto loaded = readPersistedInventory(inventoryStateURL(layout), disk);
        EXPECT_TRUE(loaded.ok());
        return loaded.ok() ? loaded->state : PersistedInventory{};
    }
    std::unique_ptr<PluginInventoryStore> open() {
        return std::make_unique<PluginInventoryStore>(layout, disk, executor, [](auto&&...) { return ScanSummary{}; });
    }
    std::string stateFolder() const { return deletingLastPathComponent(inventoryStateURL(layout)); }
};

}  // namespace kestrova::testing
