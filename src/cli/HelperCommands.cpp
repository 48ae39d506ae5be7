// kestrova-cli helper status|enable|repair|disable|test|readiness: the Plugin
// Management screen's actions, printing the service's own texts.
#include "cli/Commands.h"
#include "helperclient/HelperEnvironment.h"
#include "helperclient/PluginManagementService.h"
#include "model/JsonCoding.h"
#include "platform/Executor.h"
#include "protocol/HelperProtocol.h"
#include "session/SessionOptions.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <ostream>

namespace kestrova::cli {
namespace {

// Runs one action against a freshly created service, letting every helper
// reply arrive before and after it.
void withService(CliContext& context,
                 const std::function<ExitCode(PluginManagementService&, RunLoopExecutor&)>& action) {
    // The same real paths the store commands use, so that a relative or
    // symlinked --root reaches the same session daemon.
    const auto layout = session::resolvedLayout(context.sessionOptions(), realFileSystem());
    if (!layout) {
        context.fail(layout.error().message, ExitCode::usage);
        return;
    }
    RunLoopExecutor executor;
    auto service = makePluginManagementService(executor, *layout);
    if (!service) {
        context.fail(service.error().message, ExitCode::usage);
        return;
    }
    auto& management = **service;
    executor.runUntil([&] { return management.outstandingCalls() == 0; });
    context.setExitCode(action(management, executor));
}

void settle(PluginManagementService& service, RunLoopExecutor& executor) {
    executor.runUntil([&] { return service.outstandingCalls() == 0; });
}

void printStatus(const PluginManagementService& service, std::ostream& out) {
    out << "Helper status: " << title(service.status()) << '\n';
    out << "Secure handshake: " << (service.helperIsReachable() ? "Connected" : "Not Connected") << '\n';
    out << "Reported helper build: " << service.helperVersion().value_or("No response") << '\n';
    if (service.lastError()) {
        out << "Last error: " << *service.lastError() << '\n';
    }
    if (service.needsRepairOrUpdate()) {
        out << (service.lastCallTimedOut() ? "The helper does not answer: run “kestrova-cli helper repair”.\n"
                                           : "The helper needs an update: run “kestrova-cli helper repair”.\n");
    }
}

// Linux: the helper of the user's own plug-in folders, after the system
// side's report, which keeps its shape.
void printUserSide(const PluginManagementService& service, std::ostream& out) {
    const auto& user = service.userSide();
    if (!user) {
        return;
    }
    out << "\nUser-folder helper (runs as you, started on demand)\n";
    out << "Helper status: " << title(user->status()) << '\n';
    out << "Secure handshake: " << (user->helperIsReachable() ? "Connected" : "Not Connected") << '\n';
    out << "Reported helper build: " << user->helperVersion().value_or("No response") << '\n';
    if (user->lastError()) {
        out << "Last error: " << *user->lastError() << '\n';
    }
}

Json userSideJson(const PluginManagementService& user) {
    Json json = Json::object();
    json["status"] = title(user.status());
    json["secureHandshake"] = user.helperIsReachable();
    json["reportedHelperBuild"] = user.helperVersion() ? Json(*user.helperVersion()) : Json(nullptr);
    json["lastError"] = user.lastError() ? Json(*user.lastError()) : Json(nullptr);
    return json;
}

ExitCode statusExit(const PluginManagementService& service) {
    return service.status() == PluginManagementStatus::enabled && service.helperIsReachable() ? ExitCode::done
                                                                                              : ExitCode::failed;
}

Json checksJson(const std::vector<DirectDistributionReadinessCheck>& checks) {
    Json list = Json::array();
    for (const auto& check : checks) {
        list.push_back({{"id", check.id}, {"title", check.title}, {"detail", check.detail}, {"passed", check.passed}});
    }
    return list;
}

Json statusJson(const PluginManagementService& service) {
    const auto checks = service.readinessChecks();
    Json json = Json::object();
    json["status"] = title(service.status());
    json["secureHandshake"] = service.helperIsReachable();
    json["expectedHelperBuild"] = helperprotocol::expectedHelperBuild;
    json["reportedHelperBuild"] = service.helperVersion() ? Json(*service.helperVersion()) : Json(nullptr);
    json["lastError"] = service.lastError() ? Json(*service.lastError()) : Json(nullptr);
    json["timedOut"] = service.lastCallTimedOut();
    json["needsRepairOrUpdate"] = service.needsRepairOrUpdate();
    json["readinessChecks"] = checksJson(checks);
    if (const auto& user = service.userSide()) {
        json["userSide"] = userSideJson(*user);
    }
    return json;
}

}  // namespace

void addHelperCommands(CLI::App& app, CliContext& context) {
    auto* helper = app.add_subcommand("helper", "Plugin Management: the privileged helper that moves bundles");
    helper->require_subcommand(1);

    auto* status = helper->add_subcommand("status", "Show the helper's registration and handshake");
    addJsonFlag(*status, context, "Print the status, the last error and the readiness checks as JSON");
    status->callback([&context] {
        withService(context, [&context](PluginManagementService& service, RunLoopExecutor&) {
            if (context.json) {
                context.printJson(statusJson(service));
                return ExitCode::done;
            }
            *context.out << service.statusReport() << '\n';
            if (service.lastError()) {
                *context.out << "Last error: " << *service.lastError() << '\n';
            }
            if (service.lastCallTimedOut()) {
                *context.out << "The helper does not answer in time: “kestrova-cli helper repair” restarts it.\n";
            }
            printUserSide(service, *context.out);
            return ExitCode::done;
        });
    });

    auto* enable = helper->add_subcommand("enable", "Enable Plugin Management (register and start the helper)");
    addJsonFlag(*enable, context, "Print the resulting status as JSON");
    enable->callback([&context] {
        withService(context, [&context](PluginManagementService& service, RunLoopExecutor& executor) {
            service.enable();
            settle(service, executor);
            if (context.json) {
                context.printJson(statusJson(service));
            } else {
                printStatus(service, *context.out);
                printUserSide(service, *context.out);
            }
            return statusExit(service);
        });
    });

    helper->add_subcommand("repair", "Repair / Update Plugin Management (register the helper again)")
        ->callback([&context] {
            withService(context, [&context](PluginManagementService& service, RunLoopExecutor& executor) {
                service.repairOrUpdate();
                if (const auto& user = service.userSide()) {
                    user->repairOrUpdate();
                }
                settle(service, executor);
                printStatus(service, *context.out);
                printUserSide(service, *context.out);
                return statusExit(service);
            });
        });

    auto* disable = helper->add_subcommand("disable", "Unregister the helper and stop it");
    addJsonFlag(*disable, context, "Print the result as JSON");
    disable->callback([&context] {
        const auto layout = session::resolvedLayout(context.sessionOptions(), realFileSystem());
        if (!layout) {
            context.fail(layout.error().message, ExitCode::usage);
            return;
        }
        const auto configuration = helperRegistrationConfiguration(*layout, runningApplicationBundle());
        if (!configuration) {
            context.fail(configuration.error().message, ExitCode::usage);
            return;
        }
        if (const auto done = makeServiceRegistration(*configuration)->unregisterService(); !done) {
            context.fail(done.error().message, ExitCode::failed);
            return;
        }
        // The user side's helper needs no registration; disabling stops it
        // until something asks for it again.
        if (layout->profile == PlatformProfile::gnuLinux) {
            if (const auto user =
                    helperRegistrationConfiguration(*layout, runningApplicationBundle(), BundleSide::user)) {
                (void)makeServiceRegistration(*user)->unregisterService();
            }
        }
        if (context.json) {
            Json document = Json::object();
            document["status"] = title(PluginManagementStatus::notRegistered);
            document["secureHandshake"] = false;
            context.printJson(document);
            return;
        }
        *context.out << "Plugin Management is not enabled.\n";
    });

    helper->add_subcommand("test", "Test Secure Helper (run the handshake)")->callback([&context] {
        withService(context, [&context](PluginManagementService& service, RunLoopExecutor& executor) {
            service.handshake(true);
            settle(service, executor);
            *context.out << service.lastHandshakeNotice().value_or("") << '\n';
            return service.helperIsReachable() ? ExitCode::done : ExitCode::failed;
        });
    });

    auto* readiness = helper->add_subcommand("readiness", "Show the release-readiness checks");
    addJsonFlag(*readiness, context, "Print the checks and their summary as JSON");
    readiness->callback([&context] {
        withService(context, [&context](PluginManagementService& service, RunLoopExecutor&) {
            const auto checks = service.readinessChecks();
            const bool allPassed = std::all_of(checks.begin(), checks.end(), [](const auto& c) { return c.passed; });
            if (context.json) {
                context.printJson(
                    {{"checks", checksJson(checks)}, {"summary", PluginManagementService::readinessSummary(checks)}});
                return allPassed ? ExitCode::done : ExitCode::failed;
            }
            for (const auto& check : checks) {
                *context.out << "- " << check.title << ": " << (check.passed ? "Pass" : "Action Required") << " — "
                             << check.detail << '\n';
            }
            *context.out << PluginManagementService::readinessSummary(checks) << '\n';
            return allPassed ? ExitCode::done : ExitCode::failed;
        });
    });
}

}  // namespace kestrova::cli
