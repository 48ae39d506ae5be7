#include "platform/PlatformProfile.h"

#include "platform/Text.h"

#include <fmt/format.h>
#include <cstdlib>

namespace kestrova {

std::string_view profileName(PlatformProfile profile) { return profile == PlatformProfile::macOS ? "macos" : "linux"; }

Result<PlatformProfile> parsePlatformProfile(std::string_view text) {
    const auto name = lowercased(trimmedWhitespace(std::string(text)));
    if (name == "macos") {
        return PlatformProfile::macOS;
    }
    if (name == "linux") {
        return PlatformProfile::gnuLinux;
    }
    return Error{fmt::format("Unknown profile “{}”; use “macos” or “linux”.", text)};
}

PlatformProfile defaultPlatformProfile(bool systemRootGiven) {
#ifdef __APPLE__
    static_cast<void>(systemRootGiven);
    return PlatformProfile::macOS;
#else
    return systemRootGiven ? PlatformProfile::macOS : PlatformProfile::gnuLinux;
#endif
}

Result<PlatformProfile> choosePlatformProfile(std::optional<std::string_view> option, bool systemRootGiven) {
    if (option && !option->empty()) {
        return parsePlatformProfile(*option);
    }
    if (const char* named = std::getenv("KESTROVA_PROFILE"); named && *named) {
        return parsePlatformProfile(named);
    }
    return defaultPlatformProfile(systemRootGiven);
}

}  // namespace kestrova
