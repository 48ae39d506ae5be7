#include "model/PluginLocations.h"

#include "model/Plugin.h"
#include "platform/LinuxLayout.h"
#include "platform/Paths.h"
#include "platform/Text.h"

#include <algorithm>

namespace kestrova {

std::vector<std::string> standardSystemPluginFolders(const SystemLayout& layout) {
    std::vector<std::string> folders;
    if (layout.profile == PlatformProfile::gnuLinux) {
        for (const auto& folder : linuxlayout::systemPluginFolders) {
            folders.push_back(standardizedPath(layout.system(folder.path)));
        }
        return folders;
    }
    for (const auto path : standardSystemPluginFolderPaths) {
        folders.push_back(standardizedPath(layout.system(path)));
    }
    return folders;
}

std::vector<std::string> userPluginFolders(const SystemLayout& layout) {
    std::vector<std::string> folders;
    if (layout.profile == PlatformProfile::gnuLinux) {
        for (const auto& folder : linuxlayout::userPluginFolders) {
            folders.push_back(layout.user(folder.path));
        }
    }
    return folders;
}

bool isStrictlyBelowAny(std::string_view path, const std::vector<std::string>& folders) {
    // The folder itself never qualifies; any depth below it does.
    return std::any_of(folders.begin(), folders.end(), [&](const std::string& folder) {
        return path.size() > folder.size() + 1 && path.compare(0, folder.size(), folder) == 0 &&
               path[folder.size()] == '/';
    });
}

std::string userQuarantineRoot(const SystemLayout& layout) {
    return standardizedPath(appendingPathComponent(layout.applicationSupport(), linuxlayout::userQuarantineRootPath));
}

BundleSide sideOfPath(std::string_view path, const SystemLayout& layout) {
    if (layout.profile != PlatformProfile::gnuLinux) {
        return BundleSide::system;
    }
    auto userFolders = userPluginFolders(layout);
    userFolders.push_back(userQuarantineRoot(layout));
    return isStrictlyBelowAny(standardizedPath(path), userFolders) ? BundleSide::user : BundleSide::system;
}

bool isPluginBundleExtension(std::string_view extension) { return formatForExtension(extension).has_value(); }

bool isPluginBundleExtension(std::string_view extension, PlatformProfile profile) {
    if (profile == PlatformProfile::macOS) {
        return isPluginBundleExtension(extension);
    }
    const auto lower = lowercased(extension);
    return std::any_of(formats::all.begin(), formats::all.end(), [&](std::string_view format) {
        return !lower.empty() && bundleExtension(format, profile) == lower;
    });
}

std::string_view bundleExtension(std::string_view format, PlatformProfile profile) {
    if (profile == PlatformProfile::macOS) {
        return bundleExtension(format);
    }
    if (format == formats::vst2) {
        return "so";
    }
    if (format == formats::lv2) {
        return "lv2";
    }
    if (format == formats::vst3 || format == formats::clap) {
        return bundleExtension(format);
    }
    return {};
}

SafeLocationChecker::SafeLocationChecker(const SystemLayout& layout, const FileSystem& fileSystem)
    : fileSystem_(fileSystem),
      profile_(layout.profile),
      folders_(standardSystemPluginFolders(layout)),
      userFolders_(userPluginFolders(layout)) {}

std::optional<std::string> SafeLocationChecker::check(std::string_view path) {
    lastCheckedExists_ = false;
    if (!isAbsolutePath(path)) {
        return std::nullopt;
    }
    const auto location = standardizedPath(path);
    // An unreadable attribute is not a link; the resolution below decides.
    const auto status = fileSystem_.linkStatus(location);
    if (status && status->isSymbolicLink) {
        return std::nullopt;
    }
    // The last component is no link, so resolving the path is resolving its
    // parent and appending the name.
    const auto parent = deletingLastPathComponent(location);
    auto cached = resolvedParents_.find(parent);
    if (cached == resolvedParents_.end()) {
        cached = resolvedParents_.emplace(parent, standardizedPath(fileSystem_.resolvingSymlinks(parent))).first;
    }
    const auto resolved = standardizedPath(appendingPathComponent(cached->second, lastPathComponent(location)));
    if (!isPluginBundleExtension(pathExtension(resolved), profile_)) {
        return std::nullopt;
    }
    if (isStrictlyBelowAny(resolved, folders_)) {
        lastCheckedSide_ = BundleSide::system;
    } else if (isStrictlyBelowAny(resolved, userFolders_)) {
        lastCheckedSide_ = BundleSide::user;
    } else {
        return std::nullopt;
    }
    lastCheckedExists_ = status.has_value();
    return resolved;
}

std::optional<std::string> safePluginLocation(std::string_view path, const SystemLayout& layout,
                                              const FileSystem& fileSystem) {
    return SafeLocationChecker(layout, fileSystem).check(path);
}

}  // namespace kestrova
