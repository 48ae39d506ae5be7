// The Format Cleanup and Permanent Quarantine screens against the real
// helper: a preset run from preview to restore, and a manufacturer rule that
// sends a reinstalled bundle straight back to quarantine.
#include "UiSandbox.h"

#include "model/ProductStatus.h"
#include "platform/ByteCount.h"
#include "store/CleanupRunController.h"
#include "ui/CleanupCandidateModel.h"
#include "ui/CollapsibleGroup.h"
#include "ui/FormatCleanupScreen.h"
#include "ui/PermanentQuarantineScreen.h"
#include "ui/ToggleSwitch.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>

#include <filesystem>

namespace kestrova::testing {
namespace {

using ui::AppSection;

// Whether some label under `root` that is shown says exactly `text`.
bool showsText(QWidget& root, const QString& text) {
    for (auto* label : root.findChildren<QLabel*>()) {
        if (label->text() == text && label->isVisibleTo(&root)) {
            return true;
        }
    }
    return false;
}

const Plugin& product(UiSandbox& sandbox, const std::string& name) {
    const auto& plugins = sandbox.store().plugins();
    const auto found =
        std::find_if(plugins.begin(), plugins.end(), [&](const Plugin& plugin) { return plugin.name == name; });
    EXPECT_NE(found, plugins.end()) << name;
    return *found;
}

// Every format bundle of the product, in one quarantine transaction.
void quarantineProduct(UiSandbox& sandbox, const std::string& name) {
    const auto& plugin = product(sandbox, name);
    std::vector<PluginBundleSelection> selections;
    for (const auto& bundle : bundleRecords(plugin)) {
        selections.push_back({plugin.id, bundle.id()});
    }
    auto request = sandbox.store().prepareQuarantine(selections);
    ASSERT_TRUE(request.has_value()) << sandbox.store().lastOperationError().value_or("");
    bool committed = false;
    sandbox.service().sendQuarantine(request->transactionID, request->items, [&](auto result) {
        committed = sandbox.store().completeQuarantine(result, request->transactionID, request->items);
    });
    ASSERT_TRUE(waitFor([&] { return sandbox.service().outstandingCalls() == 0; }));
    ASSERT_TRUE(committed) << sandbox.store().lastOperationError().value_or("");
}

TEST(FormatCleanupScreen, RetiringVST2RunsTheReviewedBatchAndTheRunRestores) {
    UiSandbox sandbox;
    const auto alphaVST2 = sandbox.installBundle("Alpha.vst", "VST", "Alpha", "Acme");
    sandbox.installBundle("Alpha.vst3", "VST3", "Alpha", "Acme");
    const auto betaVST2 = sandbox.installBundle("Beta.vst", "VST", "Beta", "Acme");
    const auto gammaVST2 = sandbox.installBundle("Gamma.vst", "VST", "Gamma", "Brightline");
    sandbox.installBundle("Gamma.component", "Components", "Gamma", "Brightline");
    auto& window = sandbox.open();
    sandbox.authorizeAndScan();
    sandbox.enableHelper();
    window.showSection(AppSection::formatCleanup);
    auto& screen = *qobject_cast<ui::FormatCleanupScreen*>(window.screen(AppSection::formatCleanup));
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
    QTest::mouseClick(build, Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_TRUE(showsText(screen, "No Eligible Formats"));
    EXPECT_TRUE(showsText(screen, "This preset does not target any active format bundles."));

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

    // Opting into Beta by its check box, then clearing and going back to the
    // defaults, then opting in again.
    const auto betaTick = table->model()->index(betaRow, ui::CleanupCandidateModel::tick);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(betaTick).center());
    EXPECT_EQ(controller.tickedSelections().size(), 3u);
    QTest::mouseClick(findByText<QPushButton>(screen, "Clear"), Qt::LeftButton);
    EXPECT_TRUE(controller.tickedSelections().empty());
    QTest::mouseClick(findByText<QPushButton>(screen, "Select Safe Defaults"), Qt::LeftButton);
    EXPECT_EQ(controller.tickedSelections().size(), 2u);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(betaTick).center());
    QApplication::processEvents();

    std::int64_t bytes = 0;
    for (const auto& candidate : controller.plan()->candidates) {
        bytes += candidate.sizeInBytes.value_or(0);
    }
    const auto expectedMessage =
        QString(
            "Kestrova will move 3 exact format bundles across 3 products into reversible quarantine. This moves "
            "%1; it does not free disk space. You explicitly selected 1 candidate that leave a product with no "
            "active format.")
            .arg(
                QString::fromStdString(bytes < 1 ? "0 bytes" : formatFileByteCount(static_cast<std::uint64_t>(bytes))));
    auto* quarantine = findByText<QPushButton>(screen, "Quarantine Selected…");
    sandbox.prompter.confirmAnswer = false;
    QTest::mouseClick(quarantine, Qt::LeftButton);
    ASSERT_EQ(sandbox.prompter.confirmations.size(), 1u);
    EXPECT_FALSE(controller.isBusy()) << "a cancelled confirmation starts nothing";
    EXPECT_TRUE(sandbox.helper.hasWholeBundle(alphaVST2, alphaVST2));

    sandbox.prompter.confirmAnswer = true;
    QTest::mouseClick(quarantine, Qt::LeftButton);
    ASSERT_EQ(sandbox.prompter.confirmations.size(), 2u);
    const auto& asked = sandbox.prompter.confirmations.back();
    EXPECT_EQ(asked.title, "Quarantine Reviewed Formats?");
    EXPECT_EQ(asked.message, expectedMessage);
    EXPECT_EQ(asked.confirmButton, "Start Cleanup Preset");
    EXPECT_EQ(asked.cancelButton, "Cancel");
    ASSERT_TRUE(waitFor([&] { return !controller.isBusy(); }));
    for (const auto& path : {alphaVST2, betaVST2, gammaVST2}) {
        EXPECT_FALSE(sandbox.helper.exists(path)) << path;
    }
    ASSERT_EQ(sandbox.store().formatCleanupRuns().size(), 1u);
    EXPECT_EQ(sandbox.store().formatCleanupRuns().front().status, FormatCleanupRunStatus::completed);

    // The preview was rebuilt against the new inventory; the run can go back.
    ASSERT_TRUE(waitFor([&] { return screen.recentRunsGroup()->isVisible(); }));
    EXPECT_TRUE(controller.plan().has_value() && controller.plan()->candidates.empty());
    EXPECT_TRUE(showsText(screen, "No Eligible Formats"));
    EXPECT_TRUE(waitFor([&] { return showsText(*screen.recentRunsGroup(), "Retire VST2"); }));
    auto* restore = findByText<QPushButton>(*screen.recentRunsGroup(), "Restore Completed Run");
    ASSERT_NE(restore, nullptr);
    EXPECT_TRUE(restore->isEnabled());
    QTest::mouseClick(restore, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return !controller.isBusy() && sandbox.service().outstandingCalls() == 0; }));
    for (const auto& path : {alphaVST2, betaVST2, gammaVST2}) {
        EXPECT_TRUE(sandbox.helper.hasWholeBundle(path, path)) << path;
    }
    EXPECT_TRUE(waitFor([&] { return !screen.recentRunsGroup()->isVisible(); }))
        << "a run with nothing left in quarantine is no longer offered";
}

TEST(PermanentQuarantineScreen, AnEnabledMakerHasItsReinstalledBundleQuarantinedAgain) {
    UiSandbox sandbox;
    const auto delta = sandbox.installBundle("Delta.vst3", "VST3", "Delta", "Northwind");
    const auto echo = sandbox.installBundle("Echo.vst3", "VST3", "Echo", "Southbay");
    auto& window = sandbox.open();
    sandbox.authorizeAndScan();
    sandbox.enableHelper();
    quarantineProduct(sandbox, "Delta");
    ASSERT_FALSE(sandbox.helper.exists(delta));

    window.showSection(AppSection::permanentQuarantine);
    auto& screen = *qobject_cast<ui::PermanentQuarantineScreen*>(window.screen(AppSection::permanentQuarantine));
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

    // The installer puts Delta back, in a vendor folder; the next scan
    // replaces it.
    const auto reinstalled = sandbox.installBundle("Delta.vst3", "VST3/Northwind", "Delta", "Northwind");
    sandbox.authorizeAndScan();
    ASSERT_TRUE(waitFor([&] {
        return !sandbox.helper.exists(reinstalled) && sandbox.service().outstandingCalls() == 0 &&
               !sandbox.store().hasPendingPrivilegedTransaction();
    })) << sandbox.store().lastOperationError().value_or("");
    ASSERT_EQ(sandbox.store().trashedBundles().size(), 1u) << "the older quarantined copy went to the Trash";
    EXPECT_EQ(sandbox.store().trashedBundles().front().pluginName, "Delta");
    EXPECT_TRUE(std::filesystem::exists(sandbox.store().trashedBundles().front().trashPath));
    bool requarantined = false;
    for (const auto& plugin : sandbox.store().plugins()) {
        for (const auto& bundle : bundleRecords(plugin)) {
            requarantined |= plugin.name == "Delta" && bundle.quarantinePath &&
                             sandbox.helper.hasWholeBundle(*bundle.quarantinePath, reinstalled);
        }
    }
    EXPECT_TRUE(requarantined) << "the reinstalled copy is in a fresh quarantine folder";
    EXPECT_TRUE(sandbox.helper.hasWholeBundle(echo, echo)) << "a maker without a rule is left alone";

    // Switching the rule off again is saved at once.
    screen.becameVisible();
    ASSERT_TRUE(waitFor([&] { return screen.switchFor("Northwind") && screen.switchFor("Northwind")->isChecked(); }));
    QTest::mouseClick(screen.switchFor("Northwind"), Qt::LeftButton);
    EXPECT_FALSE(sandbox.store().isPermanentQuarantineEnabled("Northwind"));
    EXPECT_TRUE(sandbox.store().permanentQuarantineRules().empty());
}

TEST(PermanentQuarantineScreen, WithoutManufacturersItSendsThePersonToScan) {
    UiSandbox sandbox;
    auto& window = sandbox.open();
    sandbox.authorizeAndScan();  // an empty Library
    window.showSection(AppSection::permanentQuarantine);
    auto& screen = *window.screen(AppSection::permanentQuarantine);
    QApplication::processEvents();
    EXPECT_TRUE(showsText(screen, "Run a Scan First"));
    EXPECT_TRUE(showsText(screen, "Manufacturer rules are available after Kestrova reads the local plugin inventory."));
    QTest::mouseClick(findByText<QPushButton>(screen, "Back to Inventory"), Qt::LeftButton);
    EXPECT_EQ(window.state().section(), AppSection::inventory);
}

}  // namespace
}  // namespace kestrova::testing
