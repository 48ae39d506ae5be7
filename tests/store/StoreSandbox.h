// A store over a temporary system root and home (or a layout given by the
// test), with a disk that fails on request and a scanner that returns
// whatever the test put up for the next scan. The run loop stands in for the
// main thread.
#pragma once

#include "StateSamples.h"
#include "platform/Executor.h"
#include "platform/Paths.h"
#include "store/PluginInventoryStore.h"
#include "store/state/PersistedInventoryFile.h"
#include "support/FaultyFileSystem.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrova::testing {

inline bool existsAt(const std::string& path) {
    std::error_code error;
    return std::filesystem::symlink_status(path, error).type() != std::filesystem::file_type::not_found && !error;
}

inline std::string standardFolder(std::string_view format) {
    return format == "AU"     ? "/Library/Audio/Plug-Ins/Components"
           : format == "VST2" ? "/Library/Audio/Plug-Ins/VST"
           : format == "VST3" ? "/Library/Audio/Plug-Ins/VST3"
           : format == "CLAP" ? "/Library/Audio/Plug-Ins/CLAP"
                              : "/Library/Application Support/Avid/Audio/Plug-Ins";
}

struct StoreSandbox {
    StoreSandbox() = default;
    explicit StoreSandbox(SystemLayout given) : layout(std::move(given)) {}

    TemporaryDirectory directory;
    SystemLayout layout{directory.makeDirectory("root"), directory.makeDirectory("home")};
    FaultyFileSystem disk;
    RunLoopExecutor executor;
    // What the next scan returns; read by the scan thread while it runs.
    std::shared_ptr<ScanSummary> nextScan = std::make_shared<ScanSummary>();

    std::unique_ptr<PluginInventoryStore> open(ScanRunner runner = {}) {
        if (!runner) {
            runner = [next = nextScan](const std::vector<std::string>&, const ScanControl&,
                                       const std::function<void(const ScanProgress&)>&) { return *next; };
        }
        return std::make_unique<PluginInventoryStore>(layout, disk, executor, std::move(runner));
    }

    // Starts a scan and runs the main thread until it has completed.
    void scan(PluginInventoryStore& store) {
        store.startScan({layout.systemRoot});
        executor.runUntil([&] { return !store.isScanning(); });
        executor.drain();
    }

    std::string statePath() const { return inventoryStateURL(layout); }
    std::string stateFolder() const { return deletingLastPathComponent(statePath()); }
    void writeState(const PersistedInventory& state) { ASSERT_TRUE(writePersistedInventory(state, layout, disk).ok()); }
    void writeProducts(std::vector<Plugin> plugins, std::vector<PermanentQuarantineRule> rules = {}) {
        auto state = minimalState();
        state.plugins = std::move(plugins);
        state.permanentQuarantineRules = std::move(rules);
        writeState(state);
    }
    std::string stateText() const { return readWholeFile(statePath()); }
    bool hasState() const { return existsAt(statePath()); }
    PersistedInventory savedState() const {
        auto decoded = decodePersistedInventory(stateText());
        EXPECT_TRUE(decoded.ok());
        return decoded.ok() ? *decoded : PersistedInventory{};
    }

    // A path of the system domain under the sandbox root.
    std::string system(std::string_view absolute) const { return layout.system(absolute); }
};

// A product as the scanner returns it: one bundle per format, each at the
// standard folder of its format under the sandbox root.
inline Plugin scannedProduct(const StoreSandbox& sandbox, std::string manufacturer, std::string name,
                             std::vector<std::string> formats, PluginStatus status = PluginStatus::ok) {
    auto product = sampleProduct(std::move(manufacturer), name, formats, status);
    std::vector<PluginBundleRecord> bundles;
    for (const auto& format : formats) {
        bundles.push_back(sampleBundle(
            format, sandbox.system(standardFolder(format)) + "/" + name + "." + std::string(bundleExtension(format))));
    }
    product.path = bundles.front().path;
    product.bundles = std::move(bundles);
    return product;
}

// The bundle moved into quarantine by operation `operationID`.
inline PluginBundleRecord quarantined(const StoreSandbox& sandbox, PluginBundleRecord bundle,
                                      const std::string& operationID) {
    bundle.originalPath = bundle.path;
    bundle.path = sandbox.system("/Library/Application Support/Kestrova/Quarantine") + "/" + operationID + "/" +
                  lastPathComponent(bundle.path);
    bundle.quarantinePath = bundle.path;
    bundle.quarantineOperationID = operationID;
    return bundle;
}

// An open Trash record of Acme's `name`, moved from `originalPath` into the
// layout's Trash folder under the same file name.
inline TrashedBundleRecord trashRecord(const SystemLayout& layout, std::string name, std::string format,
                                       std::string originalPath, double date = 700000000) {
    TrashedBundleRecord record;
    record.id = Uuid::random();
    record.pluginName = std::move(name);
    record.manufacturer = "Acme";
    record.format = std::move(format);
    record.trashPath = layout.trashFolder() + "/" + lastPathComponent(originalPath);
    record.originalPath = std::move(originalPath);
    record.operationDate = Date{date};
    return record;
}

// Whether the store shows this notice: its title and, when given, its
// message (where the words are what is tested) and style. A failure names
// the notice actually shown.
inline ::testing::AssertionResult showsNotice(const PluginInventoryStore& store, std::string_view title,
                                              std::optional<std::string_view> message = {},
                                              std::optional<NoticeStyle> style = {}) {
    const auto& notice = store.notice();
    if (notice && notice->title == title && (!message || notice->message == *message) &&
        (!style || notice->style == *style)) {
        return ::testing::AssertionSuccess();
    }
    if (!notice) {
        return ::testing::AssertionFailure() << "no notice is shown";
    }
    return ::testing::AssertionFailure() << "the notice is “" << notice->title << "”: " << notice->message << " ("
                                         << rawValue(notice->style) << ")";
}

inline const Plugin* findProduct(const std::vector<Plugin>& plugins, std::string_view name) {
    for (const auto& product : plugins) {
        if (product.name == name) {
            return &product;
        }
    }
    return nullptr;
}

}  // namespace kestrova::testing
