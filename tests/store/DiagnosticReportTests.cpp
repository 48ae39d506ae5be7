#include "platform/LocaleText.h"
#include "store/DiagnosticReport.h"
#include "store/DisplayPath.h"

#include "StateSamples.h"
#include "platform/Paths.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrova {
namespace {

using kestrova::testing::sampleBundle;
using kestrova::testing::sampleProduct;

constexpr std::string_view quarantineOperation = "5B1D7A7E-32C6-4B1B-9E0C-8C8C2D1F0A11";

PluginBundleRecord quarantinedBundle(std::string format, std::string path) {
    auto record = sampleBundle(std::move(format), path);
    record.originalPath = path;
    record.quarantinePath = "/Library/Application Support/Kestrova/Quarantine/" + std::string(quarantineOperation) +
                            "/" + lastPathComponent(path);
    record.quarantineOperationID = std::string(quarantineOperation);
    return record;
}

// Four products: 2 active bundles, 2 quarantined, 2 protected products; a
// hosted product's recorded bundles and a half-recorded quarantine count as
// the inventory rules say.
std::vector<Plugin> inventory() {
    auto mixed = sampleProduct("Acme", "Mixed", {"AU", "VST3"}, PluginStatus::partiallyQuarantined);
    mixed.isProtected = true;
    mixed.bundles = {sampleBundle("AU", "/Library/Audio/Plug-Ins/Components/Mixed.component"),
                     quarantinedBundle("VST3", "/Library/Audio/Plug-Ins/VST3/Mixed.vst3")};

    // A quarantine path without its operation is still in service.
    auto halfRecorded = sampleProduct("Acme", "Half", {"VST2"});
    auto half = sampleBundle("VST2", "/Library/Audio/Plug-Ins/VST/Half.vst");
    half.quarantinePath = "/Library/Application Support/Kestrova/Quarantine/X/Half.vst";
    halfRecorded.bundles = {half};

    auto hosted = sampleProduct("Waves", "Waves Tune", {"AU"}, PluginStatus::hostedByShell);
    hosted.isProtected = true;
    hosted.bundles = {sampleBundle("AU", "/Library/Audio/Plug-Ins/Components/Waves Tune.component")};

    auto legacy = sampleProduct("Acme", "Legacy Delay", {"VST2"}, PluginStatus::quarantined);
    legacy.path = "/Library/Application Support/Kestrova/Quarantine/OP/Legacy Delay.vst";
    legacy.originalPath = "/Library/Audio/Plug-Ins/VST/Legacy Delay.vst";
    legacy.quarantinePath = legacy.path;
    legacy.quarantineOperationID = "OP";
    return {mixed, halfRecorded, hosted, legacy};
}

// Two items of one transaction (one row on screen) and a scan.
std::vector<HistoryItem> history() {
    return {HistoryItem{Uuid::random(), "Mixed", HistoryKind::quarantine, "Moved.", "3:07 PM", "TX-1", "VST3", {}},
            HistoryItem{Uuid::random(), "Mixed", HistoryKind::quarantine, "Moved.", "3:07 PM", "TX-1", "AU", {}},
            HistoryItem{Uuid::random(), "Inventory", HistoryKind::scan, "Scanned.", "3:00 PM", {}, {}, {}}};
}

std::string fixedDate(Date when) {
    return "<" + std::to_string(static_cast<long>(when.secondsSinceReferenceDate)) + ">";
}

struct ReportFixture {
    std::vector<Plugin> plugins = inventory();
    std::vector<HistoryItem> items = history();
    std::vector<std::string> inaccessible;

    DiagnosticReportInput input() const {
        DiagnosticReportInput input;
        input.applicationVersion = "Kestrova 1.0.1 (Build 40)";
        input.operatingSystemVersion = "Version 14.5 (Build 23F79)";
        input.generatedAt = Date{770000000};
        input.plugins = plugins;
        input.history = items;
        input.inaccessibleLocations = inaccessible;
        input.stateFolder = "/Users/ana/Library/Application Support/Kestrova";
        input.home = "/Users/ana";
        input.formatDate = fixedDate;
        return input;
    }
};

TEST(DiagnosticReport, WithoutAScanByteForByte) {
    const ReportFixture fixture;
    const std::string expected =
        "Kestrova Diagnostic Report\n"
        "App: Kestrova 1.0.1 (Build 40)\n"
        "Generated: <770000000>\n"
        "macOS: Version 14.5 (Build 23F79)\n"
        "Architecture: Apple Silicon (arm64)\n"
        "\n"
        "Inventory\n"
        "Plugin products: 4\n"
        "Active format bundles: 2\n"
        "Quarantined format bundles: 2\n"
        "Protected products: 2\n"
        "History records: 3\n"
        "Last scan: Never\n"
        "Reconciliation: No reconciliation result recorded.\n"
        "\n"
        "Inaccessible locations\n"
        "None\n"
        "\n"
        "Plugin Management\n"
        "Status was not included in this report.\n"
        "\n"
        "Storage\n"
        "State folder: ~/Library/Application Support/Kestrova\n"
        "\n"
        "Safety\n"
        "Kestrova does not permanently delete plugin bundles. Trash operations use macOS Trash.\n"
        "This report omits the full plugin inventory and quarantine operation identifiers.";
    const auto report = diagnosticReport(fixture.input());
    EXPECT_EQ(report, expected);
    EXPECT_EQ(report.find(quarantineOperation), std::string::npos);
}

TEST(DiagnosticReport, AfterAScanByteForByte) {
    ReportFixture fixture;
    fixture.inaccessible = {"/Users/ana/Library/Audio/Plug-Ins/VST3", "/Library/Audio/Plug-Ins/Components",
                            "/Users/ana//Music/../Library/Audio/Plug-Ins/CLAP/", "/Users/anabel/Plug-Ins"};
    auto input = fixture.input();
    input.lastScanDate = Date{769999000.75};
    input.lastReconciliation = ScanReconciliationSummary{3, 2, 1, false};
    input.pluginManagementText =
        "Plugin Management\nHelper status: Enabled\nSecure handshake: Connected\nExpected helper build: 40";
    input.stateFolder = "/Volumes/Other/Kestrova";

    // Everything from the last scan on; what comes before is as without a scan.
    const std::string expectedTail =
        "History records: 3\n"
        "Last scan: <769999000>\n"
        "Reconciliation: Rescan: 3 added, 2 missing, 1 manually restored.\n"
        "\n"
        "Inaccessible locations\n"
        "- ~/Library/Audio/Plug-Ins/VST3\n"
        "- /Library/Audio/Plug-Ins/Components\n"
        "- ~/Library/Audio/Plug-Ins/CLAP\n"
        "- /Users/anabel/Plug-Ins\n"
        "\n"
        "Plugin Management\n"
        "Helper status: Enabled\n"
        "Secure handshake: Connected\n"
        "Expected helper build: 40\n"
        "\n"
        "Storage\n"
        "State folder: /Volumes/Other/Kestrova\n"
        "\n"
        "Safety\n"
        "Kestrova does not permanently delete plugin bundles. Trash operations use macOS Trash.\n"
        "This report omits the full plugin inventory and quarantine operation identifiers.";
    const auto report = diagnosticReport(input);
    const auto tail = report.find("History records: ");
    ASSERT_NE(tail, std::string::npos);
    EXPECT_EQ(report.substr(0, tail), diagnosticReport(fixture.input()).substr(0, tail));
    EXPECT_EQ(report.substr(tail), expectedTail);

    input.lastReconciliation = ScanReconciliationSummary{1, 2, 0, true};
    EXPECT_NE(diagnosticReport(input).find(
                  "\nReconciliation: Rescan: 1 added, missing-bundle check deferred because some folders were "
                  "unreadable, 0 manually restored.\n\nInaccessible locations\n"),
              std::string::npos);

    // Without a formatter the user's locale writes both dates.
    input.formatDate = nullptr;
    input.operatingSystemVersion.clear();
    const auto localized = diagnosticReport(input);
    EXPECT_NE(localized.find("\nGenerated: " + abbreviatedDateTimeText(Date{770000000}) + "\nmacOS: \n"),
              std::string::npos);
    EXPECT_NE(localized.find("\nLast scan: " + abbreviatedDateTimeText(Date{769999000.75}) + "\n"), std::string::npos);
}

TEST(DisplayPath, AbbreviatesTheHomeFolderOnly) {
    const std::string home = "/Users/ana";
    EXPECT_EQ(displayPath("/Users/ana", home), "~");
    EXPECT_EQ(displayPath("/Users/ana/", home), "~");
    EXPECT_EQ(displayPath("/Users/ana/Library/Audio/Plug-Ins/VST3", home), "~/Library/Audio/Plug-Ins/VST3");
    EXPECT_EQ(displayPath("/Users/ana/Library/Audio/Plug-Ins/VST3", "/Users/ana/"), "~/Library/Audio/Plug-Ins/VST3");
    EXPECT_EQ(displayPath("/Users/ana/./Music/../Library", home), "~/Library");
    EXPECT_EQ(displayPath("/Users/bob/../ana/Music", home), "~/Music");
    EXPECT_EQ(displayPath("/Users/ana/Music", "/Users/bob/../ana"), "~/Music");
    // A longer name that merely starts like the home is not inside it.
    EXPECT_EQ(displayPath("/Users/anabel/Music", home), "/Users/anabel/Music");
    EXPECT_EQ(displayPath("/Library/Audio/Plug-Ins/VST3/", home), "/Library/Audio/Plug-Ins/VST3");
    EXPECT_EQ(displayPath("/Users", home), "/Users");
    EXPECT_EQ(displayPath("/Library//Audio", ""), "/Library/Audio");
}

}  // namespace
}  // namespace kestrova
