// Inventories and sandbox trees for planner tests: a system root and a home
// under one temporary folder, and records pointing into them.
#pragma once

#include "model/Plugin.h"
#include "platform/FileSystem.h"
#include "platform/SystemLayout.h"
#include "support/TemporaryDirectory.h"

#include <atomic>
#include <set>
#include <string>
#include <vector>

namespace kestrova::testing {

inline PluginBundleRecord bundleRecord(std::string format, std::string path, std::string size = "1.5 MB") {
    PluginBundleRecord record;
    record.format = std::move(format);
    record.architecture = "Universal";
    record.size = std::move(size);
    record.path = std::move(path);
    return record;
}

inline Plugin product(std::string name, std::string manufacturer, std::vector<PluginBundleRecord> bundles) {
    Plugin plugin;
    plugin.id = Uuid::random();
    plugin.name = std::move(name);
    plugin.manufacturer = std::move(manufacturer);
    plugin.version = "1.0";
    for (const auto& bundle : bundles) {
        plugin.formats.push_back(bundle.format);
    }
    plugin.architecture = "Universal";
    plugin.size = "3 MB";
    plugin.path = bundles.empty() ? std::string() : bundles.front().path;
    plugin.bundles = std::move(bundles);
    return plugin;
}

// Marks a bundle as quarantined under `root` with a fresh operation ID and
// returns the quarantine location.
inline std::string quarantine(PluginBundleRecord& record, const std::string& root) {
    const auto operationID = Uuid::random().string();
    const auto name = record.path.substr(record.path.rfind('/') + 1);
    record.originalPath = record.path;
    record.quarantineOperationID = operationID;
    record.quarantinePath = root + "/" + operationID + "/" + name;
    return *record.quarantinePath;
}

class SandboxTree {
public:
    TemporaryDirectory tree;
    SystemLayout layout{tree / "root", tree / "home"};

    std::string system(std::string_view path) const { return layout.system(path); }
    std::string vst3(std::string_view name) const {
        return system("/Library/Audio/Plug-Ins/VST3/" + std::string(name) + ".vst3");
    }
    std::string component(std::string_view name) const {
        return system("/Library/Audio/Plug-Ins/Components/" + std::string(name) + ".component");
    }
    // A bundle folder with an information file inside, at an absolute path of the tree.
    std::string install(const std::string& path) const {
        tree.writeFile(relative(path) + "/Contents/Info.plist", "<plist/>");
        return path;
    }
    void makeFolder(const std::string& path) const { tree.makeDirectory(relative(path)); }
    void link(const std::string& target, const std::string& path) const { tree.makeSymlink(target, relative(path)); }
    void writeFile(const std::string& path) const { tree.writeFile(relative(path), "x"); }

private:
    std::string relative(const std::string& path) const { return path.substr(tree.path().size()); }
};

// The real disk, counting every look at it and reporting every path below
// `occupiedBelow` as taken.
class WatchedFileSystem : public FileSystem {
public:
    std::optional<std::string> occupiedBelow;
    mutable std::atomic<int> reads{0};

    std::optional<FileStatus> linkStatus(const std::string& path) const override {
        ++reads;
        return taken(path) ? FileStatus{true, false, false, 0, 0} : FileSystem::linkStatus(path);
    }
    std::optional<FileStatus> status(const std::string& path) const override {
        ++reads;
        return taken(path) ? FileStatus{true, false, false, 0, 0} : FileSystem::status(path);
    }
    std::string resolvingSymlinks(const std::string& path) const override {
        ++reads;
        return FileSystem::resolvingSymlinks(path);
    }

private:
    bool taken(const std::string& path) const { return occupiedBelow && path.starts_with(*occupiedBelow + "/"); }
};

}  // namespace kestrova::testing
