#include "helperclient/HelperEnvironment.h"

#include "model/PluginLocations.h"
#include "platform/Paths.h"
#include "platform/UnixSocket.h"

#include <unistd.h>

#include <fmt/format.h>
#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace kestrova {
namespace {

std::string ownExecutable() {
    const auto path = processExecutablePath(::getpid());
    return path ? *path : std::string();
}

}  // namespace

Result<HelperDeadlines> helperDeadlinesFromEnvironment() {
    HelperDeadlines deadlines;
    const char* given = std::getenv("KESTROVA_HELPER_TIMEOUT_MS");
    if (!given || !*given) {
        return deadlines;
    }
    char* end = nullptr;
    errno = 0;
    const auto milliseconds = std::strtoll(given, &end, 10);
    if (errno != 0 || *end != '\0' || milliseconds <= 0) {
        return Error{
            fmt::format("KESTROVA_HELPER_TIMEOUT_MS must be a positive number of milliseconds, not “{}”.", given)};
    }
    const std::chrono::milliseconds every(milliseconds);
    deadlines.connect = every;
    deadlines.handshake = every;
    deadlines.transaction = every;
    deadlines.transactionPerItem = std::chrono::milliseconds(0);
    return deadlines;
}

ApplicationBundleInfo runningApplicationBundle() { return locateApplicationBundle(ownExecutable()); }

Result<ServiceRegistrationConfiguration> helperRegistrationConfiguration(const SystemLayout& layout,
                                                                         const ApplicationBundleInfo& bundle,
                                                                         BundleSide side) {
    // An installed front end is for the real system, which its packaged
    // systemd units serve; anything else defaults to a sandboxed session.
    const auto installed = bundle.layout == ApplicationLayout::installed;
    const auto mode = helperModeFromEnvironment(installed ? HelperMode::system : HelperMode::session);
    if (!mode) {
        return mode.error();
    }
    ServiceRegistrationConfiguration configuration;
    configuration.mode = *mode;
    configuration.layout = layout;
    if (const char* helper = std::getenv("KESTROVA_HELPER_EXECUTABLE"); helper && *helper) {
        configuration.helperExecutable = standardizedPath(helper);
    } else {
        configuration.helperExecutable = bundle.helperExecutablePath().value_or("");
    }
    configuration.unitFolder = bundle.systemdUnitFolder().value_or("");
    configuration.side = side;
    configuration.sessionFolder = defaultSessionFolder(layout);
    if (side == BundleSide::user) {
        configuration.sessionFolder += "-user";
    }
    configuration.packagedUnits = installed;
    if (installed) {
        configuration.polkitActionFolder = bundle.polkitActionFolder().value_or("");
        configuration.approvingFrontEnd = appendingPathComponent(*bundle.frontEndFolder(), "kestrova-cli");
    } else if (layout.profile == PlatformProfile::gnuLinux) {
        configuration.polkitActionFolder = layout.system(polkitActionFolderPath);
    }

    auto& clients = configuration.allowedClients;
    if (const auto self = ownExecutable(); !self.empty()) {
        clients.push_back(self);
    }
    if (const auto folder = bundle.frontEndFolder()) {
        static constexpr std::array<std::string_view, 2> frontEnds{"kestrova-cli", "kestrova"};
        for (const auto name : frontEnds) {
            char resolved[PATH_MAX];
            const auto path = appendingPathComponent(*folder, name);
            if (::realpath(path.c_str(), resolved) &&
                std::find(clients.begin(), clients.end(), resolved) == clients.end()) {
                clients.emplace_back(resolved);
            }
        }
    }
    return configuration;
}

namespace {

Result<std::shared_ptr<PluginManagementService>> makeSideService(Executor& executor, const SystemLayout& layout,
                                                                 BundleSide side) {
    auto bundle = runningApplicationBundle();
    const auto configuration = helperRegistrationConfiguration(layout, bundle, side);
    if (!configuration) {
        return configuration.error();
    }
    const auto deadlines = helperDeadlinesFromEnvironment();
    if (!deadlines) {
        return deadlines.error();
    }
    std::shared_ptr<ServiceRegistration> registration = makeServiceRegistration(*configuration);
    HelperConnectionFactory connect = [registration, deadlines = *deadlines] {
        return makeSocketHelperConnection(registration->endpoint(), deadlines);
    };
    return PluginManagementService::create(executor, registration, std::move(connect), std::move(bundle));
}

}  // namespace

Result<std::shared_ptr<PluginManagementService>> makePluginManagementService(Executor& executor,
                                                                             const SystemLayout& layout) {
    auto service = makeSideService(executor, layout, BundleSide::system);
    if (!service || layout.profile != PlatformProfile::gnuLinux) {
        return service;
    }
    auto userSide = makeSideService(executor, layout, BundleSide::user);
    if (!userSide) {
        return userSide.error();
    }
    (*service)->setUserSide(std::move(*userSide),
                            [layout](std::string_view path) { return sideOfPath(path, layout) == BundleSide::user; });
    return service;
}

TransactionLookup makeTransactionLookup(
    const SystemLayout& layout,
    std::function<void(const std::string& transactionID, std::chrono::milliseconds waited)> progress, BundleSide side) {
    const auto configuration = helperRegistrationConfiguration(layout, runningApplicationBundle(), side);
    const auto deadlines = helperDeadlinesFromEnvironment();
    auto waiting = transactionLookupWaitingFromEnvironment();
    std::optional<std::string> problem;
    if (!configuration) {
        problem = configuration.error().message;
    } else if (!deadlines) {
        problem = deadlines.error().message;
    } else if (!waiting) {
        problem = waiting.error().message;
    }
    if (problem) {
        return [problem = *problem](const std::string&) {
            return TransactionLookupAnswer{JournalVerdict::unanswered, std::nullopt, std::nullopt, problem};
        };
    }
    waiting->progress = std::move(progress);
    std::shared_ptr<ServiceRegistration> registration = makeServiceRegistration(*configuration);
    return makeDaemonTransactionLookup(std::move(registration), *deadlines, std::move(*waiting));
}

}  // namespace kestrova
