// export inventory|history|report --output FILE: the three exports of the
// Inventory, History and About screens, written atomically where asked.
#include "cli/Commands.h"
#include "cli/StoreSession.h"
#include "helperclient/HelperEnvironment.h"
#include "platform/Executor.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "store/reports/StoreExports.h"

#include <memory>
#include <ostream>

namespace kestrova::cli {
namespace {

struct ExportOptions {
    std::string output;
};

// The helper's block of the report and the running bundle's version, as the
// About screen gathers them. Without a reachable service the report says the
// status was not included.
struct ReportContext {
    std::optional<std::string> pluginManagementText;
    std::string applicationVersion;
};

ReportContext reportContext(const SystemLayout& layout) {
    RunLoopExecutor executor;
    auto service = makePluginManagementService(executor, layout);
    if (!service) {
        return {std::nullopt, runningApplicationBundle().clientVersion()};
    }
    auto& management = **service;
    executor.runUntil([&] { return management.outstandingCalls() == 0; });
    return {management.statusReport(), management.bundle().clientVersion()};
}

void runExport(CliContext& context, ExportKind kind, const std::string& output) {
    // What start-up had to say (a blocked upgrade, a recovered transaction)
    // comes first; the export still reflects the state as it stands.
    auto opened = openStoreSession(context);
    if (!opened) {
        return;
    }
    auto& session = *opened;
    auto& store = *session.store;

    std::string text;
    switch (kind) {
        case ExportKind::inventory:
            text = inventoryCSV(store);
            break;
        case ExportKind::history:
            text = historyCSV(store);
            break;
        case ExportKind::duplicates:
            text = duplicatesCSV(store);
            break;
        case ExportKind::diagnosticReport: {
            const auto gathered = reportContext(session.layout);
            text = diagnosticReport(store, gathered.pluginManagementText, gathered.applicationVersion);
            break;
        }
    }
    const auto path = absolutePathFromWorkingFolder(output);
    if (auto written = writeExport(store, kind, path, text, realFileSystem()); !written) {
        context.fail("Export Failed: " + exportFailureMessage(kind, written.error()), ExitCode::failed);
        return;
    }
    reportNotice(context, store, ExitCode::failed);
    *context.out << path << '\n';
}

void addExport(CLI::App& parent, CliContext& context, const std::string& name, ExportKind kind,
               const std::string& description) {
    auto options = std::make_shared<ExportOptions>();
    auto* command = parent.add_subcommand(name, description);
    command
        ->add_option("-o,--output", options->output,
                     "The file to write (suggested: " + std::string(exportPanel(kind).suggestedFileName) + ")")
        ->required();
    command->callback([options, kind, &context] { runExport(context, kind, options->output); });
}

}  // namespace

void addExportCommands(CLI::App& app, CliContext& context) {
    auto* exportCommand = app.add_subcommand("export", "Save the inventory, the history or a diagnostic report");
    exportCommand->require_subcommand(1);
    addExport(*exportCommand, context, "inventory", ExportKind::inventory, "The products still in service, as CSV");
    addExport(*exportCommand, context, "history", ExportKind::history, "The operation history, as CSV");
    addExport(*exportCommand, context, "report", ExportKind::diagnosticReport, "The plain-text diagnostic report");
    addExport(*exportCommand, context, "duplicates", ExportKind::duplicates,
              "The plug-ins installed more than once and the proposal, as CSV");
}

}  // namespace kestrova::cli
