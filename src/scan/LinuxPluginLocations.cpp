#include "scan/LinuxPluginLocations.h"

#include "model/PluginLocations.h"
#include "platform/LinuxLayout.h"
#include "platform/Paths.h"

#include <cstdlib>
#include <set>
#include <utility>

namespace kestrova {

PluginPathVariables pluginPathVariablesFromEnvironment() {
    PluginPathVariables variables;
    for (const auto& entry : linuxlayout::pathVariables) {
        const std::string name(entry.path);
        if (const char* value = std::getenv(name.c_str()); value && *value) {
            variables[name] = value;
        }
    }
    return variables;
}

std::vector<LinuxPluginLocation> linuxPluginLocations(const SystemLayout& layout, const PluginPathVariables& variables,
                                                      const FileSystem& fileSystem) {
    std::vector<LinuxPluginLocation> locations;
    // Keyed by the folder with its links resolved; a link loop resolves to
    // itself and simply does not exist.
    std::set<std::pair<std::string, std::string>> seen;
    const auto add = [&](const std::string& folder, std::string_view format) {
        const auto standardized = standardizedPath(folder);
        const auto resolved = standardizedPath(fileSystem.resolvingSymlinks(standardized));
        if (!seen.emplace(resolved, std::string(format)).second) {
            return;
        }
        locations.push_back(
            {standardized, std::string(format), std::string(bundleExtension(format, PlatformProfile::gnuLinux))});
    };
    for (const auto& entry : linuxlayout::systemPluginFolders) {
        add(layout.system(entry.path), entry.format);
    }
    for (const auto& entry : linuxlayout::userPluginFolders) {
        add(layout.user(entry.path), entry.format);
    }
    for (const auto& entry : linuxlayout::pathVariables) {
        const auto found = variables.find(std::string(entry.path));
        if (found == variables.end()) {
            continue;
        }
        std::string_view list = found->second;
        while (!list.empty()) {
            const auto colon = list.find(':');
            const auto folder = list.substr(0, colon);
            if (isAbsolutePath(folder)) {
                add(std::string(folder), entry.format);
            }
            list = colon == std::string_view::npos ? std::string_view() : list.substr(colon + 1);
        }
    }
    return locations;
}

}  // namespace kestrova
