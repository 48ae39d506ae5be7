// The command groups of kestrova-cli. Each group lives in its own file and
// adds its subcommands to the application.
#pragma once

#include "cli/CliContext.h"

#include <CLI/CLI.hpp>

namespace kestrova::cli {

void addScanCommands(CLI::App& app, CliContext& context);         // scan (dry run), demo
void addStateCommands(CLI::App& app, CliContext& context);        // state check
void addHelperCommands(CLI::App& app, CliContext& context);       // helper status|enable|repair|test|readiness
void addStoreCommands(CLI::App& app, CliContext& context);        // authorize, folders, list, protect, history, ...
void addTransactionCommands(CLI::App& app, CliContext& context);  // quarantine, restore, trash, cleanup
void addCleanupCommands(CLI::App& app, CliContext& context);      // cleanup preview|run|runs|restore-run
void addExportCommands(CLI::App& app, CliContext& context);       // export inventory|history|report
void addDuplicateCommands(CLI::App& app, CliContext& context);    // duplicates [retire]

// --json on a command: its output becomes one JSON document on stdout.
inline void addJsonFlag(CLI::App& command, CliContext& context, const std::string& help) {
    command.add_flag("--json", context.json, help);
}

}  // namespace kestrova::cli
