#include "cli/CliContext.h"

#include "platform/Paths.h"

#include <cstdlib>

namespace kestrova::cli {

SystemLayout CliContext::layout() const {
    auto layout = SystemLayout::fromEnvironment();
    if (!rootOption.empty()) {
        layout.systemRoot = standardizedPath(rootOption);
    }
    if (!homeOption.empty()) {
        layout.home = standardizedPath(homeOption);
        layout.dataHome.clear();
    }
    if (auto profile = parsePlatformProfile(profileOption)) {
        layout.profile = *profile;
    } else {
        const char* root = std::getenv("KESTROVA_ROOT");
        layout.profile = defaultPlatformProfile(!rootOption.empty() || (root && *root));
    }
    return layout;
}

std::optional<std::string> CliContext::auRegistryFile() const {
    if (!auRegistryOption.empty()) {
        return auRegistryOption;
    }
    if (const char* file = std::getenv("KESTROVA_AU_REGISTRY"); file && *file) {
        return std::string(file);
    }
    return std::nullopt;
}

}  // namespace kestrova::cli
