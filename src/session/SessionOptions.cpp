#include "session/SessionOptions.h"

#include "platform/Paths.h"
#include "platform/PlatformProfile.h"

#include <cstdlib>
#include <optional>
#include <string_view>

namespace kestrova::session {

Result<SystemLayout> namedLayout(const SessionOptions& options) {
    auto layout = SystemLayout::fromEnvironment();
    if (!options.root.empty()) {
        layout.systemRoot = options.root;
    }
    if (!options.home.empty()) {
        layout.home = options.home;
        // The data home belongs to the environment's home, not this one.
        layout.dataHome.clear();
    }
    const char* rootVariable = std::getenv("KESTROVA_ROOT");
    auto profile =
        choosePlatformProfile(options.profile.empty() ? std::nullopt : std::optional<std::string_view>(options.profile),
                              !options.root.empty() || (rootVariable && *rootVariable));
    if (!profile) {
        return profile.error();
    }
    layout.profile = *profile;
    return layout;
}

Result<SystemLayout> resolvedLayout(const SessionOptions& options, const FileSystem& fileSystem) {
    auto layout = namedLayout(options);
    if (!layout) {
        return layout;
    }
    auto root = existingFolder(layout->systemRoot, "system root", fileSystem);
    if (!root) {
        return root.error();
    }
    auto home = existingFolder(layout->home, "home folder", fileSystem);
    if (!home) {
        return home.error();
    }
    layout->systemRoot = std::move(*root);
    layout->home = std::move(*home);
    return layout;
}

Result<AudioUnitRegistry> configuredRegistry(const SessionOptions& options, const FileSystem& fileSystem) {
    std::string file = options.auRegistry;
    if (const char* variable = std::getenv("KESTROVA_AU_REGISTRY"); file.empty() && variable) {
        file = variable;
    }
    if (file.empty()) {
        return AudioUnitRegistry();
    }
    return AudioUnitRegistry::load(fileSystem, absolutePathFromWorkingFolder(file));
}

}  // namespace kestrova::session
