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

std::optional<std::string> safePluginLocation(std::string_view path, const std::array<std::string, 6>& folders,
                                              const FileSystem& fileSystem) {
    if (!isAbsolutePath(path)) {
        return std::nullopt;
    }
    const auto location = standardizedPath(path);
    // An unreadable attribute is not a link; the resolution below decides.
    if (const auto status = fileSystem.linkStatus(location); status && status->isSymbolicLink) {
        return std::nullopt;
    }
    const auto resolved = standardizedPath(fileSystem.resolvingSymlinks(location));
    if (!isPluginBundleExtension(pathExtension(resolved))) {
        return std::nullopt;
    }
    for (const auto& folder : folders) {
        // The folder itself never qualifies; any depth below it does.
        if (resolved.size() > folder.size() + 1 && resolved.compare(0, folder.size(), folder) == 0 &&
            resolved[folder.size()] == '/') {
            return resolved;
        }
    }
    return std::nullopt;
}

std::optional<std::string> safePluginLocation(std::string_view path, const SystemLayout& layout,
                                              const FileSystem& fileSystem) {
    return safePluginLocation(path, standardSystemPluginFolders(layout), fileSystem);
}

}  // namespace kestrova
