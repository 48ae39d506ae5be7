#include "store/StoreExports.h"

#include "StoreSandbox.h"
#include "platform/LocaleText.h"
#include "store/InventoryExports.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace kestrova::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

// A store loaded from a state file holding an active, a partly quarantined
// and a wholly quarantined product.
struct ExportingStore : StoreSandbox {
    std::unique_ptr<PluginInventoryStore> store;

    ExportingStore() {
        const auto quarantinedVST3 = [](const std::string& name) {
            auto bundle = sampleBundle("VST3", "/Library/Audio/Plug-Ins/VST3/" + name);
            bundle.originalPath = bundle.path;
            bundle.quarantinePath = "/Library/Application Support/Kestrova/Quarantine/OP-1/" + name;
            bundle.quarantineOperationID = "OP-1";
            return bundle;
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
        state.history = {
            HistoryItem{Uuid::random(), "Partial", HistoryKind::quarantine, "Moved.", "3:07 PM", "TX-1", "VST3", {}},
            HistoryItem{Uuid::random(), "Gone", HistoryKind::quarantine, "Moved.", "3:06 PM", "TX-2", "VST3", {}},
            HistoryItem{Uuid::random(), "Inventory", HistoryKind::scan, "Scanned.", "3:00 PM", {}, {}, {}}};
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
    ASSERT_TRUE(store.notice().has_value());
    EXPECT_EQ(store.notice()->title, "Inventory Exported");
    EXPECT_EQ(store.notice()->message, "The CSV report was saved to the location you selected.");
    EXPECT_EQ(store.notice()->style, NoticeStyle::success);

    const auto reportPath = home.directory / "exports/Kestrova-Diagnostic-Report.txt";
    ASSERT_TRUE(writeExport(store, ExportKind::diagnosticReport, reportPath, "report", home.disk).ok());
    EXPECT_EQ(store.notice()->title, "Diagnostic Report Exported");
    EXPECT_EQ(store.notice()->message, "The support report was saved to the location you selected.");
    ASSERT_TRUE(writeExport(store, ExportKind::history, reportPath, "history", home.disk).ok());
    EXPECT_EQ(store.notice()->title, "History Exported");
    EXPECT_EQ(store.notice()->message, "The operation-history CSV was saved to the location you selected.");
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
