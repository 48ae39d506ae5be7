// Where a plug-in bundle may be moved from or back to: only below the six
// system plug-in folders, never through a symbolic link, never in a home
// folder. Every privileged file action and every Trash restore relies on it.
#pragma once

#include "platform/FileSystem.h"
#include "platform/SystemLayout.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kestrova {

// The system-domain plug-in folders, in their fixed order, as absolute paths
// of the macOS layout; look them up with SystemLayout::system.
inline constexpr std::array<std::string_view, 6> standardSystemPluginFolderPaths{
    "/Library/Audio/Plug-Ins/Components",
    "/Library/Audio/Plug-Ins/VST",
    "/Library/Audio/Plug-Ins/VST3",
    "/Library/Audio/Plug-Ins/CLAP",
    "/Library/Application Support/Avid/Audio/Plug-Ins",
    "/Library/Application Support/Digidesign/Plug-Ins",
};

// The six folders under the layout's system root, standardized.
std::array<std::string, 6> standardSystemPluginFolders(const SystemLayout& layout);

// Whether an extension (any case) is one of the five plug-in bundle extensions.
bool isPluginBundleExtension(std::string_view extension);

// The safe plug-in location check: an absolute path that is not itself a
// symbolic link, whose link-resolved form carries a plug-in extension and lies
// below one of the six folders. Yields the resolved path.
std::optional<std::string> safePluginLocation(std::string_view path, const SystemLayout& layout,
                                              const FileSystem& fileSystem);

// The same check for many paths at once: the folders are computed once and
// the resolved form of each parent folder is remembered, so a bundle costs a
// few attribute reads instead of one per path component. Meant to live for
// one plan or preview; a folder re-linked meanwhile is not noticed.
class SafeLocationChecker {
public:
    SafeLocationChecker(const SystemLayout& layout, const FileSystem& fileSystem);

    std::optional<std::string> check(std::string_view path);
    // Whether something stood at the last path that passed the check: the
    // attribute read that ruled out a link already answers it.
    bool lastCheckedExists() const { return lastCheckedExists_; }
    const FileSystem& fileSystem() const { return fileSystem_; }

private:
    const FileSystem& fileSystem_;
    std::array<std::string, 6> folders_;
    std::unordered_map<std::string, std::string> resolvedParents_;
    bool lastCheckedExists_ = false;
};

}  // namespace kestrova
