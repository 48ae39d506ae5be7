// The plain-text support report: versions, inventory counts, the last scan,
// unreadable folders, the helper's status and where the state lives. It
// leaves out the inventory itself and every quarantine identifier.
#pragma once

#include "model/History.h"
#include "model/Plugin.h"
#include "model/ScanReconciliationSummary.h"
#include "planning/DuplicateGroups.h"
#include "platform/Date.h"

#include <functional>
#include <optional>
#include <span>
#include <string>

namespace kestrova {

// Everything the report reads, gathered at the moment of export.
struct DiagnosticReportInput {
    std::string applicationVersion;  // "Kestrova 1.0.1 (Build 40)"
    std::string operatingSystemVersion;
    std::string architecture = "Apple Silicon (arm64)";
    Date generatedAt;
    std::span<const Plugin> plugins;  // the whole inventory, quarantined products included
    std::span<const HistoryItem> history;
    std::optional<Date> lastScanDate;
    std::optional<ScanReconciliationSummary> lastReconciliation;
    std::span<const std::string> inaccessibleLocations;
    // The helper's own block, starting "Plugin Management\n"; absent when the
    // caller did not ask the service.
    std::optional<std::string> pluginManagementText;
    // Shown in their own section when there are any.
    std::span<const DuplicateGroup> duplicateGroups;
    std::string stateFolder;
    std::string home;  // paths below it are shown with "~"
    // How both dates are written; when empty, abbreviated date and standard
    // time in the user's locale.
    std::function<std::string(Date)> formatDate;
};

// The report text, without a line feed after its last sentence.
std::string diagnosticReport(const DiagnosticReportInput& input);

}  // namespace kestrova
