// Where a plug-in bundle may be moved from or back to: only below the
// profile's system plug-in folders (and, on Linux, the user's own plug-in
// folders in the home), never through a symbolic link. macOS bundles in a
// home folder are never moved. Every file action and every Trash restore
// relies on it.
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

// Linux: the user's plug-in folders below the home, standardized; none for
// macOS.
std::vector<std::string> userPluginFolders(const SystemLayout& layout);

// Linux: the quarantine of the user side, inside the data home
// ($XDG_DATA_HOME/Kestrova/Quarantine).
std::string userQuarantineRoot(const SystemLayout& layout);

// The side a path of a move belongs to: the user's (Linux only) when it lies
// in the user's plug-in folders or quarantine, else the system's. The Trash
// is shared by both sides, so only the other end of a move decides.
BundleSide sideOfPath(std::string_view path, const SystemLayout& layout);

// Whether `path` (standardized, links resolved) lies strictly below one of
// `folders`.
bool isStrictlyBelowAny(std::string_view path, const std::vector<std::string>& folders);

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
// below one of the system folders, or on Linux below one of the user's.
// Yields the resolved path.
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
    // The side of the folder the last path that passed the check is in.
    BundleSide lastCheckedSide() const { return lastCheckedSide_; }
    const FileSystem& fileSystem() const { return fileSystem_; }
    PlatformProfile profile() const { return profile_; }

private:
    const FileSystem& fileSystem_;
    PlatformProfile profile_;
    std::vector<std::string> folders_;
    std::vector<std::string> userFolders_;
    std::unordered_map<std::string, std::string> resolvedParents_;
    bool lastCheckedExists_ = false;
    BundleSide lastCheckedSide_ = BundleSide::system;
};

}  // namespace kestrova
