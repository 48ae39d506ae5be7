// What leaves the app as text: the inventory and history CSV, the diagnostic
// report, and the writing of either to a place the user picked.
#include "../StoreSandbox.h"
#include "platform/LocaleText.h"
#include "store/reports/DiagnosticReport.h"
#include "store/reports/InventoryExports.h"
#include "store/reports/StoreExports.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace kestrova::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr std::string_view quarantineOperation = "5B1D7A7E-32C6-4B1B-9E0C-8C8C2D1F0A11";

PersistedInventory stateIn(const std::string& name) {
    auto decoded = decodePersistedInventory(storeTestData(name));
    EXPECT_TRUE(decoded) << name;
    return decoded ? *decoded : PersistedInventory{};
}

// Commas, quotes, line feeds, empty fields, every status and protection
// column, an older record without bundles: the texts are tests/data/store's.
TEST(InventoryExports, InventoryAndHistoryCsvByteForByte) {
    const auto state = stateIn("exports-state.json");
    EXPECT_EQ(inventoryCSV(state.plugins), storeTestData("inventory.csv"));
    EXPECT_EQ(historyCSV(state.history), storeTestData("history.csv"));
    EXPECT_EQ(csvField("carriage\rreturn"), "carriage\rreturn");
    EXPECT_EQ(csvField("Über | Ñ"), "Über | Ñ");
}

// Four products: 2 active bundles, 2 quarantined, 2 protected products; a
// hosted product's recorded bundles and a half-recorded quarantine count as
// the inventory rules say.
struct ReportFixture {
    PersistedInventory state = stateIn("report-state.json");
    std::vector<std::string> inaccessible;

    DiagnosticReportInput input() const {
        DiagnosticReportInput input;
        input.applicationVersion = "Kestrova 1.0.1 (Build 40)";
        input.operatingSystemVersion = "Version 14.5 (Build 23F79)";
        input.generatedAt = Date{770000000};
        input.plugins = state.plugins;
        input.history = state.history;
        input.inaccessibleLocations = inaccessible;
        input.stateFolder = "/Users/ana/Library/Application Support/Kestrova";
        input.home = "/Users/ana";
        input.formatDate = [](Date when) {
            return "<" + std::to_string(static_cast<long>(when.secondsSinceReferenceDate)) + ">";
        };
        return input;
    }
};

TEST(DiagnosticReport, BeforeAndAfterAScanByteForByte) {
    ReportFixture fixture;
    const auto report = diagnosticReport(fixture.input());
    EXPECT_EQ(report, storeTestData("diagnostic-report.txt"));
    EXPECT_EQ(report.find(quarantineOperation), std::string::npos);

    // Only the home folder and what is under it is abbreviated, however either is spelled.
    fixture.inaccessible = {"/Users/ana/Library/Audio/Plug-Ins/VST3",
                            "/Library/Audio/Plug-Ins/Components",
                            "/Users/ana//Music/../Library/Audio/Plug-Ins/CLAP/",
                            "/Users/anabel/Plug-Ins",
                            "/Users/ana/",
                            "/Users/bob/../ana/./Music",
                            "/Users"};
    auto input = fixture.input();
    input.home = "/Users/bob/../ana/";
    input.lastScanDate = Date{769999000.75};
    input.lastReconciliation = ScanReconciliationSummary{3, 2, 1, false};
    input.pluginManagementText =
        "Plugin Management\nHelper status: Enabled\nSecure handshake: Connected\nExpected helper build: 40";
    input.stateFolder = "/Volumes/Other/Kestrova";
    EXPECT_EQ(diagnosticReport(input), storeTestData("diagnostic-report-after-scan.txt"));

    input.lastReconciliation = ScanReconciliationSummary{1, 2, 0, true};
    EXPECT_THAT(diagnosticReport(input),
                HasSubstr("\nReconciliation: Rescan: 1 added, missing-bundle check deferred because some folders "
                          "were unreadable, 0 manually restored.\n\nInaccessible locations\n"));

    // Without a formatter the user's locale writes both dates.
    input.formatDate = nullptr;
    input.operatingSystemVersion.clear();
    const auto localized = diagnosticReport(input);
    EXPECT_THAT(localized, HasSubstr("\nGenerated: " + abbreviatedDateTimeText(Date{770000000}) + "\nmacOS: \n"));
    EXPECT_THAT(localized, HasSubstr("\nLast scan: " + abbreviatedDateTimeText(Date{769999000.75}) + "\n"));
}

// A store with a state file, and an export folder holding an earlier export.
struct ExportingStore : StoreSandbox {
    std::unique_ptr<PluginInventoryStore> store;
    std::string target = directory.writeFile("exports/Kestrova-Operation-History.csv", "old history\n");

    ExportingStore() {
        writeState(minimalState());
        store = open();
    }

    std::vector<std::string> exportFolderEntries() const {
        auto names = *realFileSystem().contentsOfDirectory(directory / "exports");
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST(StoreExports, AWriteReplacesTheFileWholeAndAFailedOneLeavesEverythingAlone) {
    ExportingStore home;
    auto& store = *home.store;
    const auto stateBefore = home.stateText();

    home.disk.failWritesUnder(home.directory / "exports");
    const auto failed = writeExport(store, ExportKind::history, home.target, historyCSV(store), home.disk);
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(exportFailureMessage(ExportKind::history, failed.error()), failed.error().message);
    EXPECT_EQ(home.directory.readFile("exports/Kestrova-Operation-History.csv"), "old history\n");
    EXPECT_THAT(home.exportFolderEntries(), ElementsAre("Kestrova-Operation-History.csv"));
    EXPECT_FALSE(store.notice());
    EXPECT_EQ(home.stateText(), stateBefore);

    // On the real disk, a file where a folder is expected (a folder where the
    // file should go: the command line's recording).
    home.disk.clearFaults();
    const auto underFile = home.directory / "exports/Kestrova-Operation-History.csv/inventory.csv";
    EXPECT_FALSE(writeExport(store, ExportKind::inventory, underFile, "x", home.disk).ok());

    ASSERT_TRUE(writeExport(store, ExportKind::history, home.target, "new history\n", home.disk).ok());
    EXPECT_EQ(home.directory.readFile("exports/Kestrova-Operation-History.csv"), "new history\n");
    EXPECT_THAT(home.exportFolderEntries(), ElementsAre("Kestrova-Operation-History.csv"));
    EXPECT_TRUE(showsNotice(store, "History Exported", {}, NoticeStyle::success));

    EXPECT_EQ(exportFailureMessage(ExportKind::inventory, Error{}), "The inventory could not be exported.");
    EXPECT_EQ(exportFailureMessage(ExportKind::history, Error{}), "The operation history could not be exported.");
    EXPECT_EQ(exportFailureMessage(ExportKind::diagnosticReport, Error{}),
              "The diagnostic report could not be exported.");
}

}  // namespace
}  // namespace kestrova::testing
