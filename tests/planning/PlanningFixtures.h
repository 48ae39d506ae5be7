// Inventories and sandbox trees for planner tests: a system root and a home
// under one temporary folder, and records pointing into them.
#pragma once

#include "../model/RecordBuilders.h"
#include "platform/FileSystem.h"
#include "platform/SystemLayout.h"
#include "support/TemporaryDirectory.h"

#include <atomic>
#include <string>

namespace kestrova::testing {

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
