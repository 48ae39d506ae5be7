// The Trash Recovery screen against the real helper: bundles sent on to the
// Trash come back to their exact paths, one at a time or as a selection,
// and a record whose way back is blocked says why and moves nothing.
#include "ScreenDriving.h"

#include "model/TrashRecovery.h"
#include "ui/screens/trash-recovery/TrashRecoveryRow.h"
#include "ui/screens/trash-recovery/TrashRecoveryScreen.h"

#include <QApplication>
#include <QCheckBox>

#include <filesystem>

namespace kestrova::testing {
namespace {

using ui::AppSection;

ui::TrashRecoveryRow* rowOf(ui::TrashRecoveryScreen& screen, const std::string& name) {
    for (auto* row : screen.rows()) {
        if (row->entry().record.pluginName == name) {
            return row;
        }
    }
    ADD_FAILURE() << "no row for " << name;
    return nullptr;
}

TEST(TrashRecoveryScreen, TrashedBundlesComeBackToTheirExactPaths) {
    UiSandbox sandbox;
    const auto foxtrot = sandbox.installBundle("Foxtrot.vst3", "VST3", "Foxtrot", "Kilo");
    const auto golf = sandbox.installBundle("Golf.vst3", "VST3", "Golf", "Kilo");
    auto& window = sandbox.open();
    sandbox.authorizeAndScan();
    sandbox.enableHelper();
    sandbox.quarantine({"Foxtrot", "Golf"}, true);
    ASSERT_FALSE(sandbox.helper.exists(foxtrot));
    sandbox.settleNotices();

    // Something now stands where Golf was: its way back is blocked.
    std::filesystem::create_directories(golf);
    auto& screen = sandbox.show<ui::TrashRecoveryScreen>(AppSection::trashRecovery);
    QApplication::processEvents();
    ASSERT_EQ(screen.rows().size(), 2u);
    const auto card = [&](const QString& title) { return cardValue(screen, title); };
    EXPECT_EQ(card("Ready"), "1");
    EXPECT_EQ(card("Needs Review"), "1");
    EXPECT_EQ(card("Reconciled"), "0");
    EXPECT_TRUE(showsText(screen, "Secure recovery ready"));
    auto* golfRow = rowOf(screen, "Golf");
    ASSERT_NE(golfRow, nullptr);
    EXPECT_EQ(golfRow->entry().state, TrashRecoveryState::destinationOccupied);
    EXPECT_EQ(golfRow->restoreButton(), nullptr) << "only a ready record offers a restore";
    EXPECT_EQ(golfRow->findChild<QLabel*>("stateBadge")->text(), "Destination Occupied");

    auto* foxtrotRow = rowOf(screen, "Foxtrot");
    ASSERT_NE(foxtrotRow, nullptr);
    const auto foxtrotTrash = foxtrotRow->entry().record.trashPath;
    QTest::mouseClick(foxtrotRow->revealButton(), Qt::LeftButton);
    ASSERT_EQ(sandbox.prompter.revealed.size(), 1u);
    EXPECT_EQ(sandbox.prompter.revealed[0], foxtrotTrash);

    // Both left in one transaction; restoring it names Golf's refusal and
    // moves nothing.
    auto* transaction = foxtrotRow->restoreTransactionButton();
    ASSERT_NE(transaction, nullptr);
    EXPECT_EQ(transaction->text(), "Restore Transaction (2)…");
    QTest::mouseClick(transaction, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return !sandbox.prompter.alerts.empty(); }));
    EXPECT_EQ(sandbox.prompter.alerts[0].first, "Restore Unavailable");
    EXPECT_EQ(sandbox.prompter.alerts[0].second, "Golf — VST3: Destination Occupied.");
    EXPECT_TRUE(sandbox.prompter.confirmations.empty());
    EXPECT_TRUE(std::filesystem::exists(foxtrotTrash));

    // A declined confirmation moves nothing either.
    sandbox.prompter.confirmAnswer = false;
    QTest::mouseClick(foxtrotRow->restoreButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return sandbox.prompter.confirmations.size() == 1; }));
    const auto& asked = sandbox.prompter.confirmations[0];
    EXPECT_EQ(asked.title, "Restore from Finder Trash?");
    EXPECT_EQ(asked.message,
              "Kestrova will return 1 format bundle to the exact saved original path. Existing files will never be "
              "overwritten.");
    EXPECT_EQ(asked.confirmButton, "Restore Bundles");
    QApplication::processEvents();
    EXPECT_TRUE(std::filesystem::exists(foxtrotTrash));

    sandbox.prompter.confirmAnswer = true;
    foxtrotRow = rowOf(screen, "Foxtrot");
    QTest::mouseClick(foxtrotRow->restoreButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return sandbox.helper.hasWholeBundle(foxtrot, foxtrot); }))
        << sandbox.store().lastOperationError().value_or("");
    ASSERT_TRUE(waitFor([&] { return card("Reconciled") == "1"; }));
    EXPECT_FALSE(std::filesystem::exists(foxtrotTrash));

    // Once the way is clear (the screen looks again when it is shown), Golf
    // comes back as a selection.
    std::filesystem::remove_all(golf);
    window.showSection(AppSection::inventory);
    window.showSection(AppSection::trashRecovery);
    // Showing the screen reconciles the records, and the rows are rebuilt in
    // a later turn; let that happen before holding on to a row.
    QTest::qWait(200);
    golfRow = rowOf(screen, "Golf");
    ASSERT_NE(golfRow, nullptr);
    ASSERT_NE(golfRow->selectBox(), nullptr);
    auto* selectionBar = screen.findChild<QWidget*>("selectionBar");
    EXPECT_FALSE(selectionBar->isVisible());
    QTest::mouseClick(golfRow->selectBox(), Qt::LeftButton);
    EXPECT_EQ(screen.selectedRecordIDs().size(), 1u);
    EXPECT_TRUE(selectionBar->isVisible());
    QTest::mouseClick(findByText<QPushButton>(*selectionBar, "Restore Selected…"), Qt::LeftButton);
    ASSERT_EQ(sandbox.prompter.confirmations.size(), 3u);
    EXPECT_EQ(sandbox.prompter.confirmations.back().title, "Restore from Finder Trash?");
    ASSERT_TRUE(waitFor([&] { return sandbox.helper.hasWholeBundle(golf, golf); }));
    ASSERT_TRUE(waitFor([&] { return card("Reconciled") == "2" && card("Ready") == "0"; }));
    EXPECT_TRUE(screen.selectedRecordIDs().empty());
    EXPECT_EQ(sandbox.store().readyTrashRecoveryCount(), 0);
}

TEST(TrashRecoveryScreen, WithoutTheHelperRestoresAreDisabledWithTheReason) {
    UiSandbox sandbox;
    sandbox.installBundle("Hotel.vst3", "VST3", "Hotel", "Kilo");
    sandbox.open();
    sandbox.authorizeAndScan();
    sandbox.enableHelper();
    sandbox.quarantine({"Hotel"}, true);
    sandbox.disableHelper();
    auto& screen = sandbox.show<ui::TrashRecoveryScreen>(AppSection::trashRecovery);
    QApplication::processEvents();
    ASSERT_EQ(screen.rows().size(), 1u);
    auto* row = screen.rows().front();
    EXPECT_EQ(row->entry().state, TrashRecoveryState::readyToRestore);
    EXPECT_FALSE(row->restoreButton()->isEnabled());
    const auto reason = sandbox.service().blockingReason(TransactionKind::trashRestore);
    ASSERT_TRUE(reason.has_value());
    EXPECT_EQ(row->findChild<QLabel*>("restoreBlockingReason")->text(), QString::fromStdString(*reason));
    EXPECT_TRUE(showsText(screen, "Plugin Management required"));
}

}  // namespace
}  // namespace kestrova::testing
