// The History and About screens: their figures before and after real work
// through the session daemon, and both exports through their buttons, the
// save panel and the file written (or the alert when it cannot be).
#include "UiSandbox.h"

#include "ui/models/HistoryOperationModel.h"
#include "ui/screens/about/AboutScreen.h"
#include "ui/screens/history/HistoryScreen.h"

#include <fstream>

namespace kestrova::testing {
namespace {

using ui::AppSection;

// Both screens before and after a scan and one quarantine of three bundles.
TEST(HistoryAndAboutScreens, FiguresBeforeAndAfterRealWorkAndBothExports) {
    UiSandbox sandbox;
    sandbox.installBundle("Orbit.component", "Components", "Orbit", "Nordwerk");
    sandbox.installBundle("Orbit.vst", "VST", "Orbit", "Nordwerk");
    sandbox.installBundle("Orbit.vst3", "VST3", "Orbit", "Nordwerk");
    sandbox.open();
    auto& history = sandbox.show<ui::HistoryScreen>(AppSection::history);
    EXPECT_TRUE(history.showsEmptyState());
    auto& about = sandbox.show<ui::AboutScreen>(AppSection::about);
    EXPECT_EQ(about.rowValue("Last Scan"), "Never");
    EXPECT_EQ(about.rowValue("Helper Build"), "No response");
    EXPECT_EQ(about.rowValue("Application"), "Kestrova 1.0.1 (Build 40)");
    EXPECT_EQ(cardValue(about, "Products"), "8");  // the sample inventory of a first launch

    sandbox.authorizeAndScan();
    sandbox.enableHelper();
    sandbox.quarantine({"Orbit"});
    sandbox.settleNotices();
    EXPECT_NE(about.rowValue("Last Scan"), "Never");
    EXPECT_EQ(about.rowValue("Last Reconciliation").left(8), "Rescan: ");
    EXPECT_EQ(about.rowValue("Helper Build"), "40");
    EXPECT_EQ(about.rowValue("Secure Handshake"), "Connected");
    EXPECT_EQ(cardValue(about, "Products"), "1");
    // Outside an application bundle the embedded-file checks keep failing.
    EXPECT_EQ(about.releaseChecksCard()->value(), "4/6");

    sandbox.show(AppSection::history);
    EXPECT_FALSE(history.showsEmptyState());
    EXPECT_EQ(cardValue(history, "Product Actions"), "2");  // the scan and the quarantine
    EXPECT_EQ(cardValue(history, "Quarantined"), "1");
    EXPECT_EQ(cardValue(history, "Restored"), "0");
    using Role = ui::HistoryOperationModel::Role;
    const auto& model = history.model();
    const auto text = [&](int row, int role) { return model.data(model.index(row), role).toString(); };
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(text(0, Role::productRole), "Orbit");
    EXPECT_EQ(model.data(model.index(0), Role::formatsRole).toStringList(), QStringList({"AU", "VST2", "VST3"}));
    EXPECT_EQ(text(0, Role::bundleLabelRole), "3 bundles");
    EXPECT_EQ(text(1, Role::kindTitleRole), "Scan Completed");
    EXPECT_EQ(text(1, Role::bundleLabelRole), "") << "only moves count bundles";

    // Each export through its button, the save panel and the file written
    // (what the file holds is the store's export to test).
    const auto exports = [&](auto& screen, const std::string& name, const QString& proposed, const QString& alert,
                             const std::string& firstLine) {
        SCOPED_TRACE(name);
        sandbox.settleNotices();
        const auto file = sandbox.helper.layout().home + "/" + name;
        sandbox.prompter.savePathAnswer = file;
        sandbox.prompter.saveRequests.clear();
        QTest::mouseClick(screen.exportButton(), Qt::LeftButton);
        ASSERT_TRUE(waitFor([&] { return !sandbox.prompter.alerts.empty(); }));
        EXPECT_EQ(sandbox.prompter.saveRequests.at(0).proposedName, proposed);
        EXPECT_EQ(sandbox.prompter.alerts.back().first, alert);
        EXPECT_TRUE(readWholeFile(file).starts_with(firstLine));
        EXPECT_FALSE(screen.exportError());
    };
    exports(history, "history.csv", "Kestrova-Operation-History.csv", "History Exported", "Time,Operation,");
    exports(about, "report.txt", "Kestrova-Diagnostic-Report.txt", "Diagnostic Report Exported",
            "Kestrova Diagnostic Report\n");

    // A file where the folder should be: one alert naming the failure, which
    // the screen keeps, and no success notice after it.
    std::ofstream(sandbox.helper.layout().home + "/plain-file") << "x";
    sandbox.prompter.savePathAnswer = sandbox.helper.layout().home + "/plain-file/history.csv";
    sandbox.settleNotices();
    QTest::mouseClick(history.exportButton(), Qt::LeftButton);
    ASSERT_EQ(sandbox.prompter.alerts.size(), 1u);
    EXPECT_EQ(sandbox.prompter.alerts[0].first, "Export Failed");
    ASSERT_TRUE(history.exportError());
    EXPECT_EQ(sandbox.prompter.alerts[0].second.toStdString(), *history.exportError());
    QTest::qWait(20);
    EXPECT_EQ(sandbox.prompter.alerts.size(), 1u) << "a failed export publishes no success notice";
}

}  // namespace
}  // namespace kestrova::testing
