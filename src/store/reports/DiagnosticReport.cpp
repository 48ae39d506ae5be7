#include "store/reports/DiagnosticReport.h"

#include "model/ProductStatus.h"
#include "platform/LocaleText.h"
#include "store/DisplayPath.h"
#include "store/rules/ScanMerge.h"

#include <fmt/format.h>

#include <algorithm>

namespace kestrova {

std::string diagnosticReport(const DiagnosticReportInput& input) {
    const auto formatDate = input.formatDate ? input.formatDate : abbreviatedDateTimeText;

    std::size_t activeBundles = 0;
    std::size_t quarantinedBundles = 0;
    for (const auto& product : input.plugins) {
        for (const auto& bundle : bundleRecords(product)) {
            ++(bundle.isQuarantined() ? quarantinedBundles : activeBundles);
        }
    }
    const auto protectedProducts =
        std::count_if(input.plugins.begin(), input.plugins.end(), [](const Plugin& p) { return p.isProtected; });

    std::string inaccessible;
    for (const auto& location : input.inaccessibleLocations) {
        if (!inaccessible.empty()) {
            inaccessible += '\n';
        }
        inaccessible += "- " + displayPath(location, input.home);
    }

    std::string text = "Kestrova Diagnostic Report\nApp: " + input.applicationVersion;
    text += "\nGenerated: " + formatDate(input.generatedAt);
    text += "\nmacOS: " + input.operatingSystemVersion;
    text += "\nArchitecture: " + input.architecture;
    text += "\n\nInventory\nPlugin products: " + std::to_string(input.plugins.size());
    text += "\nActive format bundles: " + std::to_string(activeBundles);
    text += "\nQuarantined format bundles: " + std::to_string(quarantinedBundles);
    text += "\nProtected products: " + std::to_string(protectedProducts);
    text += "\nHistory records: " + std::to_string(input.history.size());
    text += "\nLast scan: " + (input.lastScanDate ? formatDate(*input.lastScanDate) : std::string("Never"));
    std::string reconciliation = "No reconciliation result recorded.";
    if (const auto& summary = input.lastReconciliation) {
        reconciliation = reconciliationSummaryText(summary->addedBundles, summary->missingBundles,
                                                   summary->manuallyRestoredBundles, summary->missingCheckWasLimited);
    }
    text += "\nReconciliation: " + reconciliation;
    text += "\n\nInaccessible locations\n" + (inaccessible.empty() ? std::string("None") : inaccessible);
    if (!input.duplicateGroups.empty()) {
        text += "\n\nDuplicates";
        for (const auto& group : input.duplicateGroups) {
            const auto proposed = std::count_if(group.members.begin(), group.members.end(), [](const auto& member) {
                return member.disposition == DuplicateDisposition::retire;
            });
            text += fmt::format("\n- {} ({}): {} copies{}, {} proposed for quarantine", group.pluginName, group.format,
                                group.members.size(),
                                group.kind == DuplicateKind::versions ? " of different versions" : "", proposed);
        }
    }
    text += "\n\n" + input.pluginManagementText.value_or("Plugin Management\nStatus was not included in this report.");
    text += "\n\nStorage\nState folder: " + displayPath(input.stateFolder, input.home);
    text +=
        "\n\nSafety\nKestrova does not permanently delete plugin bundles. Trash operations use macOS Trash.\n"
        "This report omits the full plugin inventory and quarantine operation identifiers.";
    return text;
}

}  // namespace kestrova
