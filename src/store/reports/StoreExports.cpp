#include "store/reports/StoreExports.h"

#include "platform/OperatingSystem.h"
#include "platform/Paths.h"
#include "platform/PlatformWording.h"
#include "store/reports/DiagnosticReport.h"
#include "store/reports/InventoryExports.h"
#include "store/state/PersistedInventoryFile.h"

namespace kestrova {
namespace {

struct ExportTexts {
    std::string_view successTitle;
    std::string_view successMessage;
    std::string_view failureFallback;
};

ExportTexts exportTexts(ExportKind kind) {
    switch (kind) {
        case ExportKind::inventory:
            return {"Inventory Exported", "The CSV report was saved to the location you selected.",
                    "The inventory could not be exported."};
        case ExportKind::history:
            return {"History Exported", "The operation-history CSV was saved to the location you selected.",
                    "The operation history could not be exported."};
        case ExportKind::diagnosticReport:
            return {"Diagnostic Report Exported", "The support report was saved to the location you selected.",
                    "The diagnostic report could not be exported."};
        case ExportKind::duplicates:
            return {"Duplicates Exported", "The duplicate-plugin CSV was saved to the location you selected.",
                    "The duplicate plugins could not be exported."};
    }
    return {};
}

}  // namespace

ExportPanel exportPanel(ExportKind kind) {
    switch (kind) {
        case ExportKind::inventory:
            return {"Export Kestrova Inventory", "Export", "Kestrova-Plugin-Inventory.csv", "csv"};
        case ExportKind::history:
            return {"Export Kestrova Operation History", "Export", "Kestrova-Operation-History.csv", "csv"};
        case ExportKind::diagnosticReport:
            return {"Export Kestrova Diagnostic Report", "Export", "Kestrova-Diagnostic-Report.txt", "txt"};
        case ExportKind::duplicates:
            return {"Export Kestrova Duplicate Plugins", "Export", "Kestrova-Duplicate-Plugins.csv", "csv"};
    }
    return {};
}

std::string inventoryCSV(const PluginInventoryStore& store) { return inventoryCSV(store.activePlugins()); }

std::string duplicatesCSV(const PluginInventoryStore& store) {
    return duplicatesCSV(findDuplicateGroups(store.plugins(), store.layout(), store.fileSystem()));
}

// Kind labels are written in the macOS words.
std::string historyCSV(const PluginInventoryStore& store) {
    return platformWording(historyCSV(store.history()), store.layout().profile);
}

std::string diagnosticReport(const PluginInventoryStore& store, const std::optional<std::string>& pluginManagementText,
                             const std::string& applicationVersion) {
    DiagnosticReportInput input;
    input.applicationVersion = applicationVersion;
    input.operatingSystemVersion = operatingSystemVersionString(store.fileSystem());
    if (store.layout().profile == PlatformProfile::gnuLinux) {
        const auto machine = machineName();
        input.architecture = machineArchitectureName(machine) + " (" + machine + ")";
    }
    input.generatedAt = Date::now();
    input.plugins = store.plugins();
    input.history = store.history();
    input.lastScanDate = store.lastScanDate();
    input.lastReconciliation = store.lastReconciliation();
    input.inaccessibleLocations = store.inaccessibleLocations();
    input.pluginManagementText = pluginManagementText;
    input.stateFolder = deletingLastPathComponent(inventoryStateURL(store.layout()));
    input.home = store.layout().home;
    const auto duplicates = findDuplicateGroups(store.plugins(), store.layout(), store.fileSystem());
    input.duplicateGroups = duplicates;
    return platformWording(diagnosticReport(input), store.layout().profile);
}

Status writeExport(PluginInventoryStore& store, ExportKind kind, const std::string& path, std::string_view text,
                   FileSystem& fileSystem) {
    if (auto written = fileSystem.writeFileAtomically(path, text); !written) {
        return written;
    }
    const auto texts = exportTexts(kind);
    store.showSuccess(std::string(texts.successTitle), std::string(texts.successMessage));
    return {};
}

std::string exportFailureMessage(ExportKind kind, const Error& error) {
    return error.message.empty() ? std::string(exportTexts(kind).failureFallback) : error.message;
}

}  // namespace kestrova
