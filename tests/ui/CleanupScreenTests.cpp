// The Format Cleanup and Permanent Quarantine screens: a preset run from
// preview to restore against the real helper, and the manufacturer rules.
#include "UiSandbox.h"

#include "store/runs/CleanupRunController.h"
#include "ui/models/CleanupCandidateModel.h"
#include "ui/screens/format-cleanup/FormatCleanupScreen.h"
#include "ui/screens/permanent-quarantine/PermanentQuarantineScreen.h"
#include "ui/widgets/CollapsibleGroup.h"
#include "ui/widgets/ToggleSwitch.h"

#include <QApplication>
#include <QCheckBox>
#include <QRadioButton>

namespace kestrova::testing {
namespace {

using ui::AppSection;

TEST(FormatCleanupScreen, RetiringVST2RunsTheReviewedBatchAndTheRunRestores) {
    UiSandbox sandbox;
    sandbox.installBundle("Alpha.vst", "VST", "Alpha", "Acme");
    sandbox.installBundle("Alpha.vst3", "VST3", "Alpha", "Acme");
    sandbox.installBundle("Beta.vst", "VST", "Beta", "Acme");
    sandbox.installBundle("Gamma.vst", "VST", "Gamma", "Brightline");
    sandbox.installBundle("Gamma.component", "Components", "Gamma", "Brightline");
    sandbox.open();
    sandbox.authorizeAndScan();
    sandbox.enableHelper();
    auto& screen = sandbox.show<ui::FormatCleanupScreen>(AppSection::formatCleanup);
    auto& controller = sandbox.session().cleanupRuns();
    QApplication::processEvents();
    EXPECT_TRUE(showsText(screen, "Build a Cleanup Preview"));

    // A custom preset needs a format before it can be previewed.
    auto* build = findByText<QPushButton>(screen, "Build Preview");
    QTest::mouseClick(screen.findChild<QRadioButton*>("custom"), Qt::LeftButton);
    EXPECT_FALSE(build->isEnabled());
    QTest::mouseClick(findByText<QCheckBox>(screen, "AAX"), Qt::LeftButton);
    EXPECT_TRUE(build->isEnabled());
    EXPECT_EQ(screen.customFormats(), std::set<std::string>{"AAX"});

    QTest::mouseClick(screen.findChild<QRadioButton*>("retireVST2"), Qt::LeftButton);
    QTest::mouseClick(build, Qt::LeftButton);
    QApplication::processEvents();
    ASSERT_TRUE(controller.plan().has_value());
    auto* table = screen.candidateTable();
    ASSERT_EQ(table->model()->rowCount(), 3);
    // Beta has no other format: it is offered unticked and marked.
    int betaRow = -1;
    for (int row = 0; row < 3; ++row) {
        const auto name = table->model()->index(row, ui::CleanupCandidateModel::product).data().toString();
        const auto note = table->model()->index(row, ui::CleanupCandidateModel::note).data().toString();
        const auto tick = table->model()->index(row, ui::CleanupCandidateModel::tick).data(Qt::CheckStateRole);
        EXPECT_EQ(note == "No Active Format Remaining", name == "Beta") << name.toStdString();
        EXPECT_EQ(tick.value<Qt::CheckState>() == Qt::Checked, name != "Beta") << name.toStdString();
        betaRow = name == "Beta" ? row : betaRow;
    }
    ASSERT_GE(betaRow, 0);
    EXPECT_TRUE(screen.issuesGroup()->isVisible());
    EXPECT_EQ(screen.issuesGroup()->title(),
              QString("Warnings and Exclusions (%1)")
                  .arg(controller.plan()->warnings.size() + controller.plan()->exclusions.size()));

    // Clearing, going back to the defaults, then opting into Beta by its check box.
    QTest::mouseClick(findByText<QPushButton>(screen, "Clear"), Qt::LeftButton);
    EXPECT_TRUE(controller.tickedSelections().empty());
    QTest::mouseClick(findByText<QPushButton>(screen, "Select Safe Defaults"), Qt::LeftButton);
    EXPECT_EQ(controller.tickedSelections().size(), 2u);
    const auto betaTick = table->model()->index(betaRow, ui::CleanupCandidateModel::tick);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(betaTick).center());
    EXPECT_EQ(controller.tickedSelections().size(), 3u);
    QApplication::processEvents();

    auto* quarantine = findByText<QPushButton>(screen, "Quarantine Selected…");
    sandbox.prompter.confirmAnswer = false;
    QTest::mouseClick(quarantine, Qt::LeftButton);
    ASSERT_EQ(sandbox.prompter.confirmations.size(), 1u);
    EXPECT_FALSE(controller.isBusy()) << "a cancelled confirmation starts nothing";

    sandbox.prompter.confirmAnswer = true;
    QTest::mouseClick(quarantine, Qt::LeftButton);
    ASSERT_EQ(sandbox.prompter.confirmations.size(), 2u);
    EXPECT_EQ(sandbox.prompter.confirmations.back().title, "Quarantine Reviewed Formats?");
    ASSERT_TRUE(waitFor([&] { return !controller.isBusy(); }));
    EXPECT_EQ(sandbox.store().quarantinedBundleCount(), 3);

    // The preview was rebuilt against the new inventory; the run is offered
    // back (restoring it is the run controller's to test) until nothing of
    // it is left in quarantine.
    ASSERT_TRUE(waitFor([&] { return screen.recentRunsGroup()->isVisible(); }));
    EXPECT_TRUE(showsText(screen, "No Eligible Formats"));
    EXPECT_TRUE(waitFor([&] { return showsText(*screen.recentRunsGroup(), "Retire VST2"); }));
    click(findByText<QPushButton>(*screen.recentRunsGroup(), "Restore Completed Run"));
    EXPECT_TRUE(waitFor([&] { return !screen.recentRunsGroup()->isVisible(); }));
}

// What a rule does at the next scan is the store's (and kestrova-cli's) to
// test; here the switches set and clear it.
TEST(PermanentQuarantineScreen, ASwitchPerMakerSetsItsRuleAndWithoutMakersThePersonIsSentToScan) {
    UiSandbox sandbox;
    auto& window = sandbox.open();
    sandbox.authorizeAndScan();  // an empty Library
    auto& screen = sandbox.show<ui::PermanentQuarantineScreen>(AppSection::permanentQuarantine);
    QApplication::processEvents();
    EXPECT_TRUE(showsText(screen, "Run a Scan First"));
    click(findByText<QPushButton>(screen, "Back to Inventory"));
    EXPECT_EQ(window.state().section(), AppSection::inventory);

    sandbox.installBundle("Delta.vst3", "VST3", "Delta", "Northwind");
    sandbox.installBundle("Echo.vst3", "VST3", "Echo", "Southbay");
    sandbox.authorizeAndScan();
    sandbox.show(AppSection::permanentQuarantine);
    QApplication::processEvents();
    auto* northwind = screen.switchFor("Northwind");
    ASSERT_NE(northwind, nullptr);
    ASSERT_NE(screen.switchFor("Southbay"), nullptr);
    EXPECT_FALSE(northwind->isChecked());
    QTest::mouseClick(northwind, Qt::LeftButton);
    EXPECT_TRUE(sandbox.store().isPermanentQuarantineEnabled("Northwind"));
    EXPECT_FALSE(sandbox.store().isPermanentQuarantineEnabled("Southbay"));
    ASSERT_TRUE(
        waitFor([&] { return showsText(screen, "Enabled — exact reinstalled matches are handled on the next scan"); }));
    EXPECT_TRUE(showsText(screen, "Off — reinstalled plug-ins remain installed for review"));

    // The screen redraws its switches: the new one clears the rule again.
    ASSERT_TRUE(waitFor([&] { return screen.switchFor("Northwind") && screen.switchFor("Northwind")->isChecked(); }));
    QTest::mouseClick(screen.switchFor("Northwind"), Qt::LeftButton);
    EXPECT_TRUE(sandbox.store().permanentQuarantineRules().empty());
}

}  // namespace
}  // namespace kestrova::testing
