#include "helper/HelperConfiguration.h"

#include "platform/Paths.h"

#include <unistd.h>

#include <fmt/format.h>
#include <array>
#include <climits>
#include <cstdlib>

namespace kestrova {
namespace {

// Symbolic links resolved, since the kernel reports a peer's real executable.
Result<std::string> realPath(const std::string& path, std::string_view what) {
    char buffer[PATH_MAX];
    if (!::realpath(path.c_str(), buffer)) {
        return Error{fmt::format("The {} “{}” does not exist.", what, path)};
    }
    return std::string(buffer);
}

}  // namespace

Result<HelperConfiguration> parseHelperArguments(const std::vector<std::string>& arguments) {
    HelperConfiguration configuration;
    bool session = false;
    bool rootGiven = false;
    std::optional<std::string> profileName;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const auto& option = arguments[index];
        const auto value = [&]() -> std::optional<std::string> {
            if (index + 1 >= arguments.size()) {
                return std::nullopt;
            }
            return arguments[++index];
        };
        if (option == "--session") {
            session = true;
            continue;
        }
        if (option != "--socket" && option != "--root" && option != "--home" && option != "--allow-client" &&
            option != "--profile" && option != "--data-home" && option != "--state-dir" && option != "--role") {
            return Error{fmt::format("Unknown option “{}”.", option)};
        }
        const auto argument = value();
        if (!argument || argument->empty()) {
            return Error{fmt::format("The option “{}” needs a value.", option)};
        }
        if (option == "--socket") {
            configuration.socketPath = *argument;
        } else if (option == "--profile") {
            profileName = *argument;
        } else if (option == "--role") {
            if (*argument != sideName(BundleSide::user) && *argument != sideName(BundleSide::system)) {
                return Error{fmt::format("The role “{}” is neither “system” nor “user”.", *argument)};
            }
            configuration.role = *argument == sideName(BundleSide::user) ? BundleSide::user : BundleSide::system;
        } else if (option == "--root") {
            auto root = realPath(*argument, "system root");
            if (!root) {
                return root.error();
            }
            configuration.systemRoot = *root;
            rootGiven = true;
        } else if (option == "--state-dir") {
            if (!isAbsolutePath(*argument)) {
                return Error{fmt::format("The state folder “{}” is not an absolute path.", *argument)};
            }
            configuration.stateFolder = standardizedPath(*argument);
        } else if (option == "--data-home") {
            // It may not exist yet: the Trash inside is made on first use.
            if (!isAbsolutePath(*argument)) {
                return Error{fmt::format("The data home “{}” is not an absolute path.", *argument)};
            }
            configuration.sessionDataHome = standardizedPath(*argument);
        } else if (option == "--home") {
            auto home = realPath(*argument, "home folder");
            if (!home) {
                return home.error();
            }
            configuration.sessionHome = *home;
        } else {
            auto client = realPath(*argument, "client program");
            if (!client) {
                return client.error();
            }
            configuration.allowedClients.push_back(*client);
        }
    }
    if (!configuration.stateFolder) {
        const char* systemdState = std::getenv("STATE_DIRECTORY");
        if (systemdState && isAbsolutePath(systemdState)) {
            const std::string first(systemdState);
            configuration.stateFolder = standardizedPath(first.substr(0, first.find(':')));
        } else if (configuration.socketPath && isAbsolutePath(*configuration.socketPath)) {
            configuration.stateFolder = deletingLastPathComponent(standardizedPath(*configuration.socketPath));
        } else {
            configuration.stateFolder = appendingPathComponent(configuration.systemRoot, "var/lib/kestrova/helper");
        }
    }
    auto profile = choosePlatformProfile(profileName, rootGiven);
    if (!profile) {
        return profile.error();
    }
    configuration.profile = *profile;
    if (configuration.role == BundleSide::user && (!session || configuration.profile != PlatformProfile::gnuLinux)) {
        return Error{"--role user is only for session mode under the Linux profile."};
    }
    if (session) {
        if (!configuration.sessionHome) {
            return Error{"Session mode needs --home."};
        }
        configuration.allowedUid = ::getuid();
    } else if (configuration.sessionHome || configuration.sessionDataHome) {
        return Error{"--home and --data-home are only for session mode."};
    }
    return configuration;
}

std::vector<std::string> installedFrontEnds(const std::string& daemonExecutable) {
    static constexpr std::array<std::string_view, 2> names{"kestrova-cli", "kestrova"};
    std::vector<std::string> clients;
    const auto folder = deletingLastPathComponent(daemonExecutable);
    for (const auto name : names) {
        if (auto path = realPath(appendingPathComponent(folder, name), "client program")) {
            clients.push_back(*path);
        }
    }
    return clients;
}

}  // namespace kestrova
