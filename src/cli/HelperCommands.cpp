// kestrova-cli helper status|enable|repair|disable|test|readiness: the Plugin
// Management screen's actions, printing the service's own texts.
#include "cli/Commands.h"
#include "cli/ScanCommands.h"
#include "helperclient/HelperEnvironment.h"
#include "helperclient/PluginManagementService.h"
#include "model/JsonCoding.h"
#include "platform/Executor.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <ostream>

namespace kestrova::cli {
namespace {

// Runs one action against a freshly created service, letting every helper
// reply arrive before and after it.
void withService(CliContext& context, const std::function<int(PluginManagementService&, RunLoopExecutor&)>& action) {
    // The same real paths the store commands use, so that a relative or
    // symlinked --root reaches the same session daemon.
    const auto layout = resolvedLayout(context, realFileSystem());
    if (!layout) {
        *context.err << layout.error().message << '\n';
        context.exitCode = 1;
        return;
    }
    RunLoopExecutor executor;
    auto service = makePluginManagementService(executor, *layout);
    if (!service) {
        *context.err << service.error().message << '\n';
        context.exitCode = 1;
        return;
    }
    auto& management = **service;
    executor.runUntil([&] { return management.outstandingCalls() == 0; });
    context.exitCode = action(management, executor);
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
        out << "The helper needs an update: run “kestrova-cli helper repair”.\n";
    }
}

// The fields a fleet tool decides on: the status in the screen's words,
// whether the handshake answered, and the service's own error text.
Json statusJson(const PluginManagementService& service) {
    Json json = Json::object();
    json["status"] = title(service.status());
    json["secureHandshake"] = service.helperIsReachable();
    json["reportedHelperBuild"] = service.helperVersion() ? Json(*service.helperVersion()) : Json(nullptr);
    json["lastError"] = service.lastError() ? Json(*service.lastError()) : Json(nullptr);
    json["needsRepairOrUpdate"] = service.needsRepairOrUpdate();
    return json;
}

int statusExit(const PluginManagementService& service) {
    return service.status() == PluginManagementStatus::enabled && service.helperIsReachable() ? 0 : 1;
}

}  // namespace

void addHelperCommands(CLI::App& app, CliContext& context) {
    auto* helper = app.add_subcommand("helper", "Plugin Management: the privileged helper that moves bundles");
    helper->require_subcommand(1);

    auto json = std::make_shared<bool>(false);
    auto* status = helper->add_subcommand("status", "Show the helper's registration and handshake");
    status->add_flag("--json", *json, "Print the status as JSON");
    status->callback([json, &context] {
        withService(context, [json, &context](PluginManagementService& service, RunLoopExecutor&) {
            if (*json) {
                *context.out << statusJson(service).dump(2) << '\n';
                return 0;
            }
            *context.out << service.statusReport() << '\n';
            if (service.lastError()) {
                *context.out << "Last error: " << *service.lastError() << '\n';
            }
            return 0;
        });
    });

    auto* enable = helper->add_subcommand("enable", "Enable Plugin Management (register and start the helper)");
    enable->add_flag("--json", *json, "Print the resulting status as JSON");
    enable->callback([json, &context] {
        withService(context, [json, &context](PluginManagementService& service, RunLoopExecutor& executor) {
            service.enable();
            settle(service, executor);
            if (*json) {
                *context.out << statusJson(service).dump(2) << '\n';
            } else {
                printStatus(service, *context.out);
            }
            return statusExit(service);
        });
    });

    helper->add_subcommand("repair", "Repair / Update Plugin Management (register the helper again)")
        ->callback([&context] {
            withService(context, [&context](PluginManagementService& service, RunLoopExecutor& executor) {
                service.repairOrUpdate();
                settle(service, executor);
                printStatus(service, *context.out);
                return statusExit(service);
            });
        });

    auto* disable = helper->add_subcommand("disable", "Unregister the helper and stop it");
    disable->add_flag("--json", *json, "Print the result as JSON");
    disable->callback([json, &context] {
        const auto layout = resolvedLayout(context, realFileSystem());
        if (!layout) {
            *context.err << layout.error().message << '\n';
            context.exitCode = 1;
            return;
        }
        const auto configuration = helperRegistrationConfiguration(*layout, runningApplicationBundle());
        if (!configuration) {
            *context.err << configuration.error().message << '\n';
            context.exitCode = 1;
            return;
        }
        if (const auto done = makeServiceRegistration(*configuration)->unregisterService(); !done) {
            *context.err << done.error().message << '\n';
            context.exitCode = 1;
            return;
        }
        if (*json) {
            Json document = Json::object();
            document["status"] = title(PluginManagementStatus::notRegistered);
            document["secureHandshake"] = false;
            *context.out << document.dump(2) << '\n';
            return;
        }
        *context.out << "Plugin Management is not enabled.\n";
    });

    helper->add_subcommand("test", "Test Secure Helper (run the handshake)")->callback([&context] {
        withService(context, [&context](PluginManagementService& service, RunLoopExecutor& executor) {
            service.handshake(true);
            settle(service, executor);
            *context.out << service.lastHandshakeNotice().value_or("") << '\n';
            return service.helperIsReachable() ? 0 : 1;
        });
    });

    helper->add_subcommand("readiness", "Show the release-readiness checks")->callback([&context] {
        withService(context, [&context](PluginManagementService& service, RunLoopExecutor&) {
            const auto checks = service.readinessChecks();
            for (const auto& check : checks) {
                *context.out << "- " << check.title << ": " << (check.passed ? "Pass" : "Action Required") << " — "
                             << check.detail << '\n';
            }
            *context.out << PluginManagementService::readinessSummary(checks) << '\n';
            const bool allPassed = std::all_of(checks.begin(), checks.end(), [](const auto& c) { return c.passed; });
            return allPassed ? 0 : 1;
        });
    });
}

}  // namespace kestrova::cli
