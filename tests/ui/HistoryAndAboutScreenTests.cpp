// The History and About screens: their figures before and after real work
// through the session daemon, and both exports through their buttons, the
// save panel and the file written (or the alert when it cannot be).
#include "ScreenDriving.h"

#include "ui/models/HistoryOperationModel.h"
#include "ui/screens/about/AboutScreen.h"
#include "ui/screens/history/HistoryScreen.h"

#include <filesystem>
#include <fstream>

namespace kestrova::testing {
namespace {

using ui::AppSection;
namespace fs = std::filesystem;

// A file where the folder should be: the export fails with one alert naming
// the failure, which the screen keeps, and no success notice after it.
template <typename Screen>
void expectExportFails(UiSandbox& sandbox, Screen& screen, const std::string& name) {
    std::ofstream(sandbox.helper.layout().home + "/plain-file") << "x";
    sandbox.prompter.savePathAnswer = sandbox.helper.layout().home + "/plain-file/" + name;
    sandbox.settleNotices();
    QTest::mouseClick(screen.exportButton(), Qt::LeftButton);
    ASSERT_EQ(sandbox.prompter.alerts.size(), 1u);
    EXPECT_EQ(sandbox.prompter.alerts[0].first, "Export Failed");
    ASSERT_TRUE(screen.exportError());
    EXPECT_FALSE(screen.exportError()->empty());
    EXPECT_EQ(sandbox.prompter.alerts[0].second.toStdString(), *screen.exportError());
    QTest::qWait(20);
    EXPECT_EQ(sandbox.prompter.alerts.size(), 1u) << "a failed export publishes no success notice";
    EXPECT_FALSE(fs::exists(sandbox.helper.layout().home + "/plain-file/" + name));
}

QString rowText(const ui::HistoryOperationModel& model, int row, int role) {
    return model.data(model.index(row), role).toString();
}

TEST(HistoryScreen, OneQuarantineOfThreeBundlesIsOneRowAndTheHistoryExports) {
    UiSandbox sandbox;
    sandbox.installBundle("Orbit.component", "Components", "Orbit", "Nordwerk");
    sandbox.installBundle("Orbit.vst", "VST", "Orbit", "Nordwerk");
    sandbox.installBundle("Orbit.vst3", "VST3", "Orbit", "Nordwerk");
    sandbox.open();
    auto& screen = sandbox.show<ui::HistoryScreen>(AppSection::history);
    EXPECT_TRUE(screen.showsEmptyState());
    for (const auto* title : {"Product Actions", "Restored", "Quarantined", "Trashed"}) {
        EXPECT_EQ(cardValue(screen, title), "0") << title;
    }

    sandbox.authorizeAndScan();
    sandbox.enableHelper();
    sandbox.quarantine({"Orbit"});
    sandbox.settleNotices();
    EXPECT_FALSE(screen.showsEmptyState());
    EXPECT_EQ(cardValue(screen, "Product Actions"), "2");  // the scan and the quarantine
    EXPECT_EQ(cardValue(screen, "Quarantined"), "1");
    EXPECT_EQ(cardValue(screen, "Restored"), "0");

    using Role = ui::HistoryOperationModel::Role;
    const auto& model = screen.model();
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(rowText(model, 0, Role::productRole), "Orbit");
    EXPECT_EQ(model.data(model.index(0), Role::formatsRole).toStringList(), QStringList({"AU", "VST2", "VST3"}));
    EXPECT_EQ(rowText(model, 0, Role::bundleLabelRole), "3 bundles");
    EXPECT_EQ(rowText(model, 1, Role::kindTitleRole), "Scan Completed");
    EXPECT_EQ(rowText(model, 1, Role::bundleLabelRole), "") << "only moves count bundles";

    const auto file = sandbox.helper.layout().home + "/history.csv";
    sandbox.prompter.savePathAnswer = file;
    QTest::mouseClick(screen.exportButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return !sandbox.prompter.alerts.empty(); }));
    EXPECT_EQ(sandbox.prompter.saveRequests[0].proposedName, "Kestrova-Operation-History.csv");
    EXPECT_EQ(sandbox.prompter.alerts.back().first, "History Exported");
    // What the file holds is the store's export to test.
    EXPECT_TRUE(readWholeFile(file).starts_with("Time,Operation,"));
    EXPECT_FALSE(screen.exportError());

    expectExportFails(sandbox, screen, "history.csv");
}

TEST(AboutScreen, ScanHealthReleaseChecksAndTheDiagnosticReport) {
    UiSandbox sandbox;
    sandbox.open();
    auto& screen = sandbox.show<ui::AboutScreen>(AppSection::about);
    EXPECT_EQ(screen.rowValue("Last Scan"), "Never");
    EXPECT_EQ(screen.rowValue("Helper Build"), "No response");
    EXPECT_EQ(screen.rowValue("Application"), "Kestrova 1.0.1 (Build 40)");
    EXPECT_EQ(cardValue(screen, "Products"), "8");  // the sample inventory of a first launch
    EXPECT_EQ(screen.releaseChecksCard()->value(), "1/6");

    sandbox.installBundle("Orbit.vst3", "VST3", "Orbit", "Nordwerk");
    sandbox.authorizeAndScan();
    sandbox.enableHelper();
    sandbox.settleNotices();
    EXPECT_NE(screen.rowValue("Last Scan"), "Never");
    EXPECT_EQ(screen.rowValue("Last Reconciliation").left(8), "Rescan: ");
    EXPECT_EQ(screen.rowValue("Helper Build"), "40");
    EXPECT_EQ(screen.rowValue("Secure Handshake"), "Connected");
    EXPECT_EQ(cardValue(screen, "Products"), "1");
    // Outside an application bundle the embedded-file checks keep failing.
    EXPECT_EQ(screen.releaseChecksCard()->value(), "4/6");

    const auto file = sandbox.helper.layout().home + "/report.txt";
    sandbox.prompter.savePathAnswer = file;
    QTest::mouseClick(screen.exportButton(), Qt::LeftButton);
    ASSERT_EQ(sandbox.prompter.saveRequests.size(), 1u);
    EXPECT_EQ(sandbox.prompter.saveRequests[0].proposedName, "Kestrova-Diagnostic-Report.txt");
    ASSERT_TRUE(waitFor([&] { return !sandbox.prompter.alerts.empty(); }));
    EXPECT_EQ(sandbox.prompter.alerts.back().first, "Diagnostic Report Exported");
    EXPECT_TRUE(readWholeFile(file).starts_with("Kestrova Diagnostic Report\n"));

    expectExportFails(sandbox, screen, "report.txt");
}

}  // namespace
}  // namespace kestrova::testing
