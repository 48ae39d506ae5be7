// The scan command group: a read-only dry-run scan straight through the
// scanner, and the demo tree to try it on. The parts are separate functions
// so the inventory store's own scan can reuse the option handling and the
// printing.
#pragma once

#include "cli/CliContext.h"
#include "platform/FileSystem.h"
#include "platform/Result.h"
#include "scan/ScanSummary.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace kestrova::cli {

struct ScanCommandOptions {
    bool dryRun = false;
    std::vector<std::string> authorizedFolders;  // as given
};

// Absolute, symlink-free paths of existing folders.
Result<std::vector<std::string>> resolvedFolders(const std::vector<std::string>& folders, const FileSystem& fileSystem);

// The summary as one JSON object: plugins (the product encoding),
// inaccessibleLocations and wasCancelled, keys sorted.
Json scanSummaryJson(const ScanSummary& summary);
// A table for people: one line per product, then what could not be read.
void printScanSummaryTable(std::ostream& out, const ScanSummary& summary);

// Runs the scanner over the authorized folders without touching any state.
// Returns the process exit code.
void runDryRunScan(CliContext& context, const ScanCommandOptions& options);

}  // namespace kestrova::cli
