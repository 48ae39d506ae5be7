// Where a plug-in bundle may be moved from or back to: only below the
// profile's system plug-in folders, never through a symbolic link, never in a
// home folder. Every privileged file action and every Trash restore relies on it.
#pragma once

#include "platform/FileSystem.h"
#include "platform/SystemLayout.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

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

// The profile's system plug-in folders under the layout's system root,
// standardized: the six above for macOS.
std::vector<std::string> standardSystemPluginFolders(const SystemLayout& layout);

// Whether an extension (any case) is one of the five plug-in bundle extensions.
bool isPluginBundleExtension(std::string_view extension);
// The same for a profile: on Linux VST2 plug-ins are ".so" files and LV2
// bundles end in ".lv2"; AU and AAX do not exist there.
bool isPluginBundleExtension(std::string_view extension, PlatformProfile profile);
// A format's bundle extension under a profile ("VST2" is "so" on Linux);
// empty for a format the profile does not have.
std::string_view bundleExtension(std::string_view format, PlatformProfile profile);

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
    PlatformProfile profile() const { return profile_; }

private:
    const FileSystem& fileSystem_;
    PlatformProfile profile_;
    std::vector<std::string> folders_;
    std::unordered_map<std::string, std::string> resolvedParents_;
    bool lastCheckedExists_ = false;
};

}  // namespace kestrova
