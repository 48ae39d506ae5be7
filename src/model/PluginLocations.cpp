#include "model/PluginLocations.h"

#include "model/Plugin.h"
#include "platform/Paths.h"
#include "platform/Text.h"

namespace kestrova {

std::array<std::string, 6> standardSystemPluginFolders(const SystemLayout& layout) {
    std::array<std::string, 6> folders;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        folders[i] = standardizedPath(layout.system(standardSystemPluginFolderPaths[i]));
    }
    return folders;
}

bool isPluginBundleExtension(std::string_view extension) { return formatForExtension(extension).has_value(); }

SafeLocationChecker::SafeLocationChecker(const SystemLayout& layout, const FileSystem& fileSystem)
    : fileSystem_(fileSystem), folders_(standardSystemPluginFolders(layout)) {}

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
    if (!isPluginBundleExtension(pathExtension(resolved))) {
        return std::nullopt;
    }
    for (const auto& folder : folders_) {
        // The folder itself never qualifies; any depth below it does.
        if (resolved.size() > folder.size() + 1 && resolved.compare(0, folder.size(), folder) == 0 &&
            resolved[folder.size()] == '/') {
            lastCheckedExists_ = status.has_value();
            return resolved;
        }
    }
    return std::nullopt;
}

std::optional<std::string> safePluginLocation(std::string_view path, const SystemLayout& layout,
                                              const FileSystem& fileSystem) {
    return SafeLocationChecker(layout, fileSystem).check(path);
}

}  // namespace kestrova
