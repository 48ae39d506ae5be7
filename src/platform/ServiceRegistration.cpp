#include "platform/ServiceRegistration.h"

#include "platform/Paths.h"
#include "platform/Text.h"

#include <unistd.h>

#include <fmt/format.h>
#include <cstdlib>
#include <functional>

namespace kestrova {

Result<HelperMode> helperModeFromEnvironment(HelperMode whenUnset) {
    const char* value = std::getenv("KESTROVA_HELPER_MODE");
    if (!value || !*value) {
        return whenUnset;
    }
    if (std::string_view(value) == "session") {
        return HelperMode::session;
    }
    if (std::string_view(value) == "system") {
        return HelperMode::system;
    }
    return Error{fmt::format("KESTROVA_HELPER_MODE is “{}”; use “system” or “session”.", value)};
}

std::string defaultSessionFolder(const SystemLayout& layout) {
    if (const char* folder = std::getenv("KESTROVA_HELPER_SESSION_DIR"); folder && *folder) {
        return standardizedPath(folder);
    }
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string base = runtime && *runtime && isAbsolutePath(runtime) ? standardizedPath(runtime) : "/tmp";
    // Short, so the socket path stays within the 108 bytes a socket name allows.
    // A daemon serves one layout: a session of the other profile, or of
    // another data home, gets its own folder.
    auto key = layout.systemRoot + '\n' + layout.home;
    if (layout.profile != PlatformProfile::macOS) {
        key += '\n' + std::string(profileName(layout.profile)) + '\n' + layout.dataHome;
    }
    const auto sandbox = std::hash<std::string>{}(key);
    return appendingPathComponent(base, fmt::format("kestrova-helper-{}-{:08x}", ::getuid(), sandbox & 0xFFFFFFFFu));
}

std::unique_ptr<ServiceRegistration> makeServiceRegistration(const ServiceRegistrationConfiguration& configuration) {
    // The user side's helper runs as the user, so it is never a system unit.
    if (configuration.mode == HelperMode::system && configuration.side == BundleSide::system) {
        return makeSystemdServiceRegistration(configuration);
    }
    return makeSessionServiceRegistration(configuration);
}

ServiceRegistrationState systemdStateFromIsEnabled(std::string_view output, bool unitFilesShipped) {
    if (!unitFilesShipped) {
        return ServiceRegistrationState::notFound;
    }
    const auto state = trimmedWhitespace(output);
    if (state == "enabled" || state == "enabled-runtime" || state == "static" || state == "indirect" ||
        state == "generated" || state == "alias") {
        return ServiceRegistrationState::enabled;
    }
    // An administrator's mask is the one thing that keeps a registered
    // daemon from running until someone lifts it.
    if (state == "masked" || state == "masked-runtime") {
        return ServiceRegistrationState::requiresApproval;
    }
    if (state == "disabled" || state == "linked" || state == "linked-runtime" || state == "not-found" ||
        state.empty() || state.find("No such file") != std::string::npos) {
        return ServiceRegistrationState::notRegistered;
    }
    return ServiceRegistrationState::unknown;
}

}  // namespace kestrova
