// What leaves the app as text: the inventory and history CSV, the diagnostic
// report, and the writing of either to a place the user picked.
#include "../StoreSandbox.h"
#include "platform/LocaleText.h"
#include "store/DisplayPath.h"
#include "store/reports/DiagnosticReport.h"
#include "store/reports/InventoryExports.h"
#include "store/reports/StoreExports.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace kestrova::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr std::string_view inventoryHeader =
    "Plugin,Manufacturer,Version,Formats,Architecture,Size,Status,Protected,Bundle Locations\n";
constexpr std::string_view historyHeader = "Time,Operation,Product,Formats,Format Bundles,Detail,Result\n";
constexpr std::string_view quarantineOperation = "5B1D7A7E-32C6-4B1B-9E0C-8C8C2D1F0A11";

Plugin product(std::string name, std::string manufacturer, std::string version, std::vector<std::string> formats,
               std::string architecture, std::string size, PluginStatus status) {
    Plugin plugin;
    plugin.id = Uuid::random();
    plugin.name = std::move(name);
    plugin.manufacturer = std::move(manufacturer);
    plugin.version = std::move(version);
    plugin.formats = std::move(formats);
    plugin.architecture = std::move(architecture);
    plugin.size = std::move(size);
    plugin.status = status;
    return plugin;
}

HistoryItem item(std::string plugin, HistoryKind kind, std::string detail, std::string time,
                 std::optional<std::string> transactionID = std::nullopt,
                 std::optional<std::string> format = std::nullopt) {
    return HistoryItem{Uuid::random(), std::move(plugin), kind,        std::move(detail), std::move(time),
                       transactionID,  std::move(format), std::nullopt};
}

// Commas, quotes, line feeds and empty fields each show in the byte-for-byte
// texts below; what else stays bare, here.
TEST(InventoryExports, CsvFieldLeavesCarriageReturnsAndUnicodeBare) {
    EXPECT_EQ(csvField("carriage\rreturn"), "carriage\rreturn");
    EXPECT_EQ(csvField("Über | Ñ"), "Über | Ñ");
}

TEST(InventoryExports, InventoryCsvByteForByte) {
    auto proQ = product("Pro-Q 3, \"Studio\"", "FabFilter", "3.21", {"AU", "VST3"}, "Universal", "39.8 MB",
                        PluginStatus::partiallyProtected);
    proQ.isProtected = true;
    // Recorded out of order: locations follow the format order.
    proQ.bundles = {sampleBundle("VST3", "/Library/Audio/Plug-Ins/VST3/Pro-Q 3.vst3", true),
                    sampleBundle("AU", "/Library/Audio/Plug-Ins/Components/Pro-Q 3.component")};

    auto padded = product(" Padded Synth ", "Acme; Audio", "1.0\nbeta", {"VST2", "CLAP"}, "Apple Silicon", "8 MB",
                          PluginStatus::partiallyQuarantined);
    padded.bundles = {quarantinedBundle("VST2", "/Library/Audio/Plug-Ins/VST/Padded Synth.vst",
                                        "0C9E6B8A-1D2F-4A3B-8C7D-6E5F4A3B2C1D"),
                      sampleBundle("CLAP", "/Library/Audio/Plug-Ins/CLAP/Padded Synth.clap")};

    // An older record without bundles stands for its one format.
    auto vintage = product("Vintage Comp", "OldCo", "", {"VST2"}, "Intel", "2.1 MB", PluginStatus::protected_);
    vintage.isProtected = true;
    vintage.path = "/Library/Audio/Plug-Ins/VST/Vintage Comp.vst";

    auto shell =
        product("WaveShell1-VST3 14.0", "Waves", "14.0", {"VST3"}, "Universal", "120 MB", PluginStatus::sharedShell);
    shell.isProtected = true;
    shell.bundles = {sampleBundle("VST3", "/Library/Audio/Plug-Ins/VST3/WaveShell1-VST3 14.0.vst3", true)};

    auto hosted = product("Waves Tune", "Waves", "14.0", {"AU", "VST3"}, "Universal", "", PluginStatus::hostedByShell);
    hosted.isProtected = true;

    const std::vector<Plugin> products{proQ, padded, vintage, shell, hosted};
    const std::string expected =
        "Plugin,Manufacturer,Version,Formats,Architecture,Size,Status,Protected,Bundle Locations\n"
        "\"Pro-Q 3, \"\"Studio\"\"\",FabFilter,3.21,AU | VST3,Universal,39.8 MB,Partially Protected,"
        "Partially Protected,AU [Not Protected]: /Library/Audio/Plug-Ins/Components/Pro-Q 3.component | "
        "VST3 [Protected]: /Library/Audio/Plug-Ins/VST3/Pro-Q 3.vst3\n"
        " Padded Synth ,Acme; Audio,\"1.0\nbeta\",VST2 | CLAP,Apple Silicon,8 MB,Partially Quarantined,"
        "Not Protected,CLAP [Not Protected]: /Library/Audio/Plug-Ins/CLAP/Padded Synth.clap | "
        "VST2 [Not Protected]: /Library/Application Support/Kestrova/Quarantine/"
        "0C9E6B8A-1D2F-4A3B-8C7D-6E5F4A3B2C1D/Padded Synth.vst\n"
        "Vintage Comp,OldCo,,VST2,Intel,2.1 MB,Protected,All Formats Protected,"
        "VST2 [Protected]: /Library/Audio/Plug-Ins/VST/Vintage Comp.vst\n"
        "WaveShell1-VST3 14.0,Waves,14.0,VST3,Universal,120 MB,Shared Shell,Mandatory Protection,"
        "VST3 [Protected]: /Library/Audio/Plug-Ins/VST3/WaveShell1-VST3 14.0.vst3\n"
        "Waves Tune,Waves,14.0,AU | VST3,Universal,,Hosted by WaveShell,Mandatory Protection,\n";
    EXPECT_EQ(inventoryCSV(products), expected);
    EXPECT_EQ(inventoryCSV({}), inventoryHeader);
}

TEST(InventoryExports, StatusAndProtectionColumnsFollowTheStatusAndTheBundles) {
    // Statuses not shown above; shells have mandatory protection by status alone.
    const std::vector<std::tuple<PluginStatus, std::string, std::string>> cases{
        {PluginStatus::ok, "OK", "Not Protected"},
        {PluginStatus::legacy, "Legacy", "Not Protected"},
        {PluginStatus::quarantined, "Ready to Restore", "Not Protected"},
        {PluginStatus::sharedShell, "Shared Shell", "Mandatory Protection"},
        {PluginStatus::hostedByShell, "Hosted by WaveShell", "Mandatory Protection"},
    };
    for (const auto& [status, title, protection] : cases) {
        EXPECT_EQ(inventoryCSV(std::vector<Plugin>{product("P", "M", "1", {}, "A", "S", status)}),
                  std::string(inventoryHeader) + "P,M,1,,A,S," + title + "," + protection + ",\n");
    }

    // Product-level protection counts only while there are no bundle records.
    auto withBundles = product("P", "M", "1", {"AU"}, "A", "S", PluginStatus::ok);
    withBundles.isProtected = true;
    withBundles.bundles = {sampleBundle("AU", "/a.component")};
    EXPECT_EQ(inventoryCSV(std::vector<Plugin>{withBundles}),
              std::string(inventoryHeader) + "P,M,1,AU,A,S,OK,Not Protected,AU [Not Protected]: /a.component\n");
}

TEST(InventoryExports, HistoryCsvByteForByte) {
    const std::vector<HistoryItem> history{
        item("Pro-Q 3", HistoryKind::quarantine, "Moved the VST3 bundle to quarantine.", "3:07 PM", "TX-1", "VST3"),
        item("Pro-Q 3", HistoryKind::quarantine, "Moved the AU bundle to quarantine.", "3:07 PM", "TX-1", "AU"),
        item("Inventory scan", HistoryKind::scanCanceled, "The scan was canceled, so the inventory was kept.",
             "3:05 PM"),
        item("Keep AU and VST3", HistoryKind::cleanupPresetPartiallyCompleted, "2 of 3 transactions completed.",
             "2:59 PM"),
        item("Saturn 2", HistoryKind::protection, "Protected \"Saturn 2\" against file actions.", "2:50 PM"),
        item("Old Synth", HistoryKind::restore, "Restored with an atomic move.", "2:40 PM"),
        item("Pro-L 2", HistoryKind::canceled, "Trash move canceled.", "2:30 PM", std::nullopt, "VST2"),
        item("Keep AU only", HistoryKind::cleanupPresetCanceled, "Nothing was moved.", "2:20 PM"),
    };
    const std::string expected =
        "Time,Operation,Product,Formats,Format Bundles,Detail,Result\n"
        "3:07 PM,Moved to Quarantine,Pro-Q 3,AU + VST3,2,"
        "AU + VST3 moved to reversible quarantine as one product transaction.,Successful\n"
        "3:05 PM,Scan Canceled,Inventory scan,,,\"The scan was canceled, so the inventory was kept.\","
        "No changes made\n"
        "2:59 PM,Cleanup Preset Partially Completed,Keep AU and VST3,,,2 of 3 transactions completed.,"
        "Partially Completed\n"
        "2:50 PM,Protection Enabled,Saturn 2,,,\"Protected \"\"Saturn 2\"\" against file actions.\",Successful\n"
        "2:40 PM,Restored,Old Synth,,1,"
        "1 format bundle restored to the recorded original location as one product transaction.,Successful\n"
        "2:30 PM,Move to Trash Canceled,Pro-L 2,VST2,,Trash move canceled.,No changes made\n"
        "2:20 PM,Cleanup Preset Canceled,Keep AU only,,,Nothing was moved.,No changes made\n";
    EXPECT_EQ(historyCSV(history), expected);
    EXPECT_EQ(historyCSV({}), historyHeader);
}

// Four products: 2 active bundles, 2 quarantined, 2 protected products; a
// hosted product's recorded bundles and a half-recorded quarantine count as
// the inventory rules say.
std::vector<Plugin> inventory() {
    auto mixed = sampleProduct("Acme", "Mixed", {"AU", "VST3"}, PluginStatus::partiallyQuarantined);
    mixed.isProtected = true;
    mixed.bundles = {
        sampleBundle("AU", "/Library/Audio/Plug-Ins/Components/Mixed.component"),
        quarantinedBundle("VST3", "/Library/Audio/Plug-Ins/VST3/Mixed.vst3", std::string(quarantineOperation))};

    // A quarantine path without its operation is still in service.
    auto halfRecorded = sampleProduct("Acme", "Half", {"VST2"});
    auto half = sampleBundle("VST2", "/Library/Audio/Plug-Ins/VST/Half.vst");
    half.quarantinePath = "/Library/Application Support/Kestrova/Quarantine/X/Half.vst";
    halfRecorded.bundles = {half};

    auto hosted = sampleProduct("Waves", "Waves Tune", {"AU"}, PluginStatus::hostedByShell);
    hosted.isProtected = true;
    hosted.bundles = {sampleBundle("AU", "/Library/Audio/Plug-Ins/Components/Waves Tune.component")};

    return {mixed, halfRecorded, hosted,
            legacyQuarantinedProduct("Acme", "Legacy Delay", "VST2", "/Library/Audio/Plug-Ins/VST/Legacy Delay.vst")};
}

// Two items of one transaction (one row on screen) and a scan.
std::vector<HistoryItem> history() {
    return {item("Mixed", HistoryKind::quarantine, "Moved.", "3:07 PM", "TX-1", "VST3"),
            item("Mixed", HistoryKind::quarantine, "Moved.", "3:07 PM", "TX-1", "AU"),
            item("Inventory", HistoryKind::scan, "Scanned.", "3:00 PM")};
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

    // From the last scan to the state folder; what comes before and after is
    // as without a scan.
    const std::string expectedMiddle =
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
        "State folder: /Volumes/Other/Kestrova";
    const auto report = diagnosticReport(input);
    const auto withoutScan = diagnosticReport(fixture.input());
    const auto start = report.find("Last scan: ");
    ASSERT_NE(start, std::string::npos);
    const auto end = start + expectedMiddle.size();
    EXPECT_EQ(report.substr(0, start), withoutScan.substr(0, start));
    EXPECT_EQ(report.substr(start, expectedMiddle.size()), expectedMiddle);
    EXPECT_EQ(report.substr(end), withoutScan.substr(withoutScan.find("\n\nSafety\n")));

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

// A name that merely starts like the home, and a path under it, show in the
// report after a scan.
TEST(DisplayPath, AbbreviatesTheHomeFolderOnly) {
    const std::string home = "/Users/ana";
    EXPECT_EQ(displayPath("/Users/ana", home), "~");
    EXPECT_EQ(displayPath("/Users/ana/", home), "~");
    EXPECT_EQ(displayPath("/Users/ana/Library/Audio/Plug-Ins/VST3", "/Users/ana/"), "~/Library/Audio/Plug-Ins/VST3");
    EXPECT_EQ(displayPath("/Users/ana/./Music/../Library", home), "~/Library");
    EXPECT_EQ(displayPath("/Users/bob/../ana/Music", home), "~/Music");
    EXPECT_EQ(displayPath("/Users/ana/Music", "/Users/bob/../ana"), "~/Music");
    EXPECT_EQ(displayPath("/Library/Audio/Plug-Ins/VST3/", home), "/Library/Audio/Plug-Ins/VST3");
    EXPECT_EQ(displayPath("/Users", home), "/Users");
    EXPECT_EQ(displayPath("/Library//Audio", ""), "/Library/Audio");
}

// A store loaded from a state file holding an active, a partly quarantined
// and a wholly quarantined product.
struct ExportingStore : StoreSandbox {
    std::unique_ptr<PluginInventoryStore> store;

    ExportingStore() {
        const auto quarantinedVST3 = [](const std::string& name) {
            return quarantinedBundle("VST3", "/Library/Audio/Plug-Ins/VST3/" + name, "OP-1");
        };
        auto state = minimalState();
        auto active = sampleProduct("Acme", "Active", {"VST3"});
        active.bundles = {sampleBundle("VST3", "/Library/Audio/Plug-Ins/VST3/Active.vst3", true)};
        active.isProtected = true;
        auto partial = sampleProduct("Acme", "Partial", {"AU", "VST3"}, PluginStatus::partiallyQuarantined);
        partial.bundles = {sampleBundle("AU", "/Library/Audio/Plug-Ins/Components/Partial.component"),
                           quarantinedVST3("Partial.vst3")};
        auto gone = sampleProduct("Acme", "Gone", {"VST3"}, PluginStatus::quarantined);
        gone.bundles = {quarantinedVST3("Gone.vst3")};
        state.plugins = {active, partial, gone};
        state.lastScanDate = Date{770000000};
        state.history = {item("Partial", HistoryKind::quarantine, "Moved.", "3:07 PM", "TX-1", "VST3"),
                         item("Gone", HistoryKind::quarantine, "Moved.", "3:06 PM", "TX-2", "VST3"),
                         item("Inventory", HistoryKind::scan, "Scanned.", "3:00 PM")};
        state.inaccessibleLocations = std::vector<std::string>{layout.user("Library/Audio/Plug-Ins/VST3")};
        writeState(state);
        store = open();
    }

    std::vector<std::string> exportFolderEntries() const {
        auto names = *realFileSystem().contentsOfDirectory(directory / "exports");
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST(StoreExports, TextsComeFromTheStoreState) {
    ExportingStore home;
    const auto& store = *home.store;

    const auto inventory = inventoryCSV(store);
    EXPECT_EQ(std::count(inventory.begin(), inventory.end(), '\n'), 3);
    EXPECT_THAT(inventory, HasSubstr("\nActive,Acme,"));
    // The partly quarantined product lists its quarantined bundle where it now is.
    EXPECT_THAT(inventory, HasSubstr("VST3 [Not Protected]: /Library/Application Support/Kestrova/Quarantine/OP-1/"
                                     "Partial.vst3\n"));
    EXPECT_THAT(inventory, Not(HasSubstr("Gone")));

    EXPECT_EQ(historyCSV(store), historyCSV(store.history()));

    const auto report = diagnosticReport(store, std::nullopt, "Kestrova 1.0.1 (Build 40)");
    EXPECT_THAT(report, HasSubstr("Kestrova Diagnostic Report\nApp: Kestrova 1.0.1 (Build 40)\nGenerated: "));
    EXPECT_THAT(report, HasSubstr("\nPlugin products: 3\nActive format bundles: 2\nQuarantined format bundles: 2\n"
                                  "Protected products: 1\nHistory records: 3\nLast scan: " +
                                  abbreviatedDateTimeText(Date{770000000}) + "\n"));
    EXPECT_THAT(report, HasSubstr("\n\nInaccessible locations\n- ~/Library/Audio/Plug-Ins/VST3\n\n"));
    EXPECT_THAT(report, HasSubstr("\n\nPlugin Management\nStatus was not included in this report.\n\n"));
    EXPECT_THAT(report, HasSubstr("\n\nStorage\nState folder: ~/Library/Application Support/Kestrova\n\n"));
    EXPECT_THAT(report, Not(HasSubstr("OP-1")));
}

TEST(StoreExports, WriteReplacesTheFileAndPublishesTheNotice) {
    ExportingStore home;
    auto& store = *home.store;
    const auto target = home.directory.writeFile("exports/Kestrova-Plugin-Inventory.csv", "old export\n");
    const auto text = inventoryCSV(store);

    ASSERT_TRUE(writeExport(store, ExportKind::inventory, target, text, home.disk).ok());
    EXPECT_EQ(home.directory.readFile("exports/Kestrova-Plugin-Inventory.csv"), text);
    EXPECT_THAT(home.exportFolderEntries(), ElementsAre("Kestrova-Plugin-Inventory.csv"));
    EXPECT_TRUE(showsNotice(store, "Inventory Exported", "The CSV report was saved to the location you selected.",
                            NoticeStyle::success));

    const auto reportPath = home.directory / "exports/Kestrova-Diagnostic-Report.txt";
    ASSERT_TRUE(writeExport(store, ExportKind::diagnosticReport, reportPath, "report", home.disk).ok());
    EXPECT_TRUE(
        showsNotice(store, "Diagnostic Report Exported", "The support report was saved to the location you selected."));
    ASSERT_TRUE(writeExport(store, ExportKind::history, reportPath, "history", home.disk).ok());
    EXPECT_TRUE(
        showsNotice(store, "History Exported", "The operation-history CSV was saved to the location you selected."));
}

TEST(StoreExports, FailedWriteLeavesTheOldFileAndTheStoreAlone) {
    ExportingStore home;
    auto& store = *home.store;
    const auto target = home.directory.writeFile("exports/Kestrova-Operation-History.csv", "old history\n");
    const auto stateBefore = home.stateText();
    const auto noticeBefore = store.notice();

    home.disk.failWritesUnder(home.directory / "exports");
    const auto failed = writeExport(store, ExportKind::history, target, historyCSV(store), home.disk);
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(exportFailureMessage(ExportKind::history, failed.error()), failed.error().message);
    EXPECT_EQ(home.directory.readFile("exports/Kestrova-Operation-History.csv"), "old history\n");
    EXPECT_THAT(home.exportFolderEntries(), ElementsAre("Kestrova-Operation-History.csv"));
    EXPECT_EQ(store.notice(), noticeBefore);
    EXPECT_EQ(home.stateText(), stateBefore);

    // On the real disk: a folder where the file should go stays a folder, and
    // no temporary file is left beside it.
    home.disk.clearFaults();
    const auto folder = home.directory.makeDirectory("exports/Kestrova-Diagnostic-Report.txt");
    home.directory.writeFile("exports/Kestrova-Diagnostic-Report.txt/keep", "kept");
    EXPECT_FALSE(writeExport(store, ExportKind::diagnosticReport, folder, "report", home.disk).ok());
    EXPECT_EQ(home.directory.readFile("exports/Kestrova-Diagnostic-Report.txt/keep"), "kept");
    EXPECT_THAT(home.exportFolderEntries(),
                ElementsAre("Kestrova-Diagnostic-Report.txt", "Kestrova-Operation-History.csv"));
    EXPECT_EQ(store.notice(), noticeBefore);

    // A file where a folder is expected.
    const auto underFile = home.directory / "exports/Kestrova-Operation-History.csv/inventory.csv";
    EXPECT_FALSE(writeExport(store, ExportKind::inventory, underFile, "x", home.disk).ok());
    EXPECT_EQ(home.directory.readFile("exports/Kestrova-Operation-History.csv"), "old history\n");

    EXPECT_EQ(exportFailureMessage(ExportKind::inventory, Error{}), "The inventory could not be exported.");
    EXPECT_EQ(exportFailureMessage(ExportKind::history, Error{}), "The operation history could not be exported.");
    EXPECT_EQ(exportFailureMessage(ExportKind::diagnosticReport, Error{}),
              "The diagnostic report could not be exported.");
}

}  // namespace
}  // namespace kestrova::testing
