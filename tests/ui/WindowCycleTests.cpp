// The window's one end-to-end cycle against the real helper: a batch
// quarantine from Inventory, a restore and a move to the Trash from
// Quarantine, and back from Trash Recovery. What is checked is what the
// screens show and enable on the way, and that a cancelled sheet moves
// nothing; the moves' own rules are the store's and the daemon's to test.
#include "UiSandbox.h"

#include "ui/screens/inventory/InventoryScreen.h"
#include "ui/screens/quarantine/QuarantineScreen.h"
#include "ui/screens/trash-recovery/TrashRecoveryRow.h"
#include "ui/screens/trash-recovery/TrashRecoveryScreen.h"
#include "ui/widgets/ConfirmationDialog.h"
#include "ui/widgets/ProductList.h"

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

TEST(WindowCycle, QuarantineRestoreTrashAndBackThroughTheScreens) {
    UiSandbox sandbox;
    sandbox.installBundle("Alpha.component", "Components", "Alpha", "Acme");
    sandbox.installBundle("Alpha.vst3", "VST3", "Alpha", "Acme");
    const auto beta = sandbox.installBundle("Beta.vst3", "VST3", "Beta", "Bolt");
    auto& window = sandbox.open();
    sandbox.authorizeAndScan();
    auto& store = sandbox.store();
    auto& prompter = sandbox.prompter;
    const auto badge = [&](AppSection section) { return window.sidebar().badgeText(section).value_or("-"); };
    auto& inventory = sandbox.show<ui::InventoryScreen>(AppSection::inventory);
    auto& table = *inventory.table();
    auto& reason = named<QLabel>(inventory, "BatchReason");
    ASSERT_EQ(shownNames(table), QStringList({"Alpha", "Beta"}));
    EXPECT_EQ(badge(AppSection::inventory), "2");

    // Without the helper nothing can be sent: the buttons say why.
    clickRow(table, "Alpha");
    auto* batch = findByText<QPushButton>(inventory, "Move to Quarantine");
    EXPECT_FALSE(batch->isEnabled());
    EXPECT_EQ(reason.text(),
              QString::fromStdString(sandbox.service().blockingReason(TransactionKind::quarantine).value_or("")));
    EXPECT_FALSE(findByText<QPushButton>(inventory, "Quarantine VST3 Format…")->isEnabled());

    // With it, every file-moving button asks first and a cancel moves nothing.
    sandbox.enableHelper();
    sandbox.settleNotices();
    prompter.confirmAnswer = false;
    const auto asks = [&](QPushButton* button) {
        const auto asked = prompter.confirmations.size();
        click(button);
        QApplication::processEvents();
        EXPECT_EQ(prompter.confirmations.size(), asked + 1) << button->text().toStdString() << " asked nothing";
    };
    asks(inventory.findChild<QPushButton*>("QuarantinePlugin"));
    asks(findByText<QPushButton>(inventory, "Quarantine VST3 Format…"));

    clickRow(table, "Beta", Qt::ControlModifier);
    EXPECT_TRUE(findByText<QLabel>(inventory, "2 selected")->isVisible());
    asks(batch);
    EXPECT_TRUE(prompter.confirmations.back().message.contains("2 selected plugins (3 format bundles)"));
    EXPECT_EQ(store.quarantinedBundleCount(), 0);
    prompter.confirmAnswer = true;
    click(batch);
    ASSERT_TRUE(waitFor([&] { return store.quarantinedBundleCount() == 3; }));
    QApplication::processEvents();
    EXPECT_EQ(table.model()->rowCount(), 0);
    EXPECT_FALSE(findByText<QLabel>(inventory, "0 selected")->isVisible()) << "confirming clears the selection";
    EXPECT_EQ(badge(AppSection::inventory), "0");
    EXPECT_EQ(badge(AppSection::quarantine), "3");

    // Alpha's VST3 alone comes back from its format card.
    auto& quarantine = sandbox.show<ui::QuarantineScreen>(AppSection::quarantine);
    EXPECT_TRUE(findByText<QLabel>(quarantine, "Privileged restore ready")->isVisible());
    auto& listed = *quarantine.list().table();
    ASSERT_EQ(shownNames(listed), QStringList({"Alpha", "Beta"}));
    clickRow(listed, "Alpha");
    QApplication::processEvents();
    prompter.confirmAnswer = false;
    asks(quarantine.findChild<QPushButton*>("RestoreAllFormats"));
    clickRow(listed, "Beta", Qt::ControlModifier);
    asks(findByText<QPushButton>(quarantine, "Restore Selected…"));
    clickRow(listed, "Alpha");
    QApplication::processEvents();
    EXPECT_EQ(store.quarantinedBundleCount(), 3);
    prompter.confirmAnswer = true;
    click(findByText<QPushButton>(quarantine, "Restore VST3 Format…"));
    EXPECT_EQ(prompter.confirmations.back().title, "Restore VST3 Format?");
    ASSERT_TRUE(waitFor([&] { return store.quarantinedBundleCount() == 2; }));
    QApplication::processEvents();
    EXPECT_EQ(badge(AppSection::inventory), "1");
    EXPECT_EQ(shownNames(listed), QStringList({"Alpha", "Beta"})) << "Alpha is still partly quarantined";

    // One format's sheet names both places; the batch's waits for the acknowledgement.
    clickRow(listed, "Beta");
    QApplication::processEvents();
    prompter.confirmAnswer = false;
    click(findByText<QPushButton>(quarantine, "Move VST3 to Trash"));
    const auto single = prompter.confirmations.back();
    EXPECT_EQ(single.title, "Move to macOS Trash?");
    ASSERT_EQ(single.rows.size(), 2u);
    EXPECT_EQ(single.rows[0], std::make_pair(QString("Recorded Original Location"), QString::fromStdString(beta)));
    EXPECT_EQ(single.rows[1].first, "Current Quarantine Location");
    clickRow(listed, "Alpha", Qt::ControlModifier);
    prompter.confirmAnswer = true;
    click(findByText<QPushButton>(quarantine, "Move Selected to Trash…"));
    const auto sheet = prompter.confirmations.back();
    EXPECT_EQ(sheet.title, "Move Selected Plugins to macOS Trash?");
    EXPECT_TRUE(sheet.message.startsWith("2 plugins — 2 format bundles"));
    EXPECT_EQ(sheet.confirmButton, "Move 2 Bundles to Trash");
    ui::ConfirmationDialog dialog(sheet);
    ASSERT_NE(dialog.acknowledgement(), nullptr);
    EXPECT_FALSE(dialog.confirmButton()->isEnabled());
    dialog.acknowledgement()->setChecked(true);
    EXPECT_TRUE(dialog.confirmButton()->isEnabled());
    ASSERT_TRUE(waitFor([&] { return store.quarantinedBundleCount() == 0; }));
    sandbox.settleNotices();
    EXPECT_EQ(badge(AppSection::trashRecovery), "2");

    // Something now stands where Beta was: its way back is blocked.
    std::filesystem::create_directories(beta);
    auto& trash = sandbox.show<ui::TrashRecoveryScreen>(AppSection::trashRecovery);
    QApplication::processEvents();
    ASSERT_EQ(trash.rows().size(), 2u);
    const auto card = [&](const QString& title) { return cardValue(trash, title); };
    EXPECT_EQ(card("Ready"), "1");
    EXPECT_EQ(card("Needs Review"), "1");
    EXPECT_TRUE(showsText(trash, "Secure recovery ready"));
    auto* betaRow = rowOf(trash, "Beta");
    ASSERT_NE(betaRow, nullptr);
    EXPECT_EQ(betaRow->restoreButton(), nullptr) << "only a ready record offers a restore";
    EXPECT_EQ(betaRow->findChild<QLabel*>("stateBadge")->text(), "Destination Occupied");
    auto* alphaRow = rowOf(trash, "Alpha");
    ASSERT_NE(alphaRow, nullptr);
    const auto alphaTrash = alphaRow->entry().record.trashPath;
    auto* alphaSelect = alphaRow->findChild<QCheckBox*>();
    ASSERT_NE(alphaSelect, nullptr);
    EXPECT_TRUE(alphaSelect->accessibleName().startsWith("Select Alpha — ")) << "a screen reader names the box";
    QTest::mouseClick(alphaRow->revealButton(), Qt::LeftButton);
    EXPECT_EQ(prompter.revealed, std::vector<std::string>{alphaTrash});

    // Restoring the transaction names Beta's refusal and asks nothing.
    const auto confirmations = prompter.confirmations.size();
    ASSERT_NE(alphaRow->restoreTransactionButton(), nullptr);
    EXPECT_EQ(alphaRow->restoreTransactionButton()->text(), "Restore Transaction (2)…");
    QTest::mouseClick(alphaRow->restoreTransactionButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return !prompter.alerts.empty(); }));
    EXPECT_EQ(prompter.alerts.front().first, "Restore Unavailable");
    EXPECT_EQ(prompter.confirmations.size(), confirmations);
    QTest::mouseClick(rowOf(trash, "Alpha")->restoreButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return card("Reconciled") == "1"; }));
    EXPECT_EQ(prompter.confirmations.back().title, "Restore from Finder Trash?");

    // The way clear (the screen looks again when shown) but no helper: the
    // restore waits with the reason.
    std::filesystem::remove_all(beta);
    sandbox.disableHelper();
    window.showSection(AppSection::inventory);
    window.showSection(AppSection::trashRecovery);
    QTest::qWait(200);  // the rows are rebuilt in a later turn
    betaRow = rowOf(trash, "Beta");
    ASSERT_TRUE(betaRow && betaRow->restoreButton()) << "the way is clear again";
    EXPECT_FALSE(betaRow->restoreButton()->isEnabled());
    EXPECT_EQ(betaRow->findChild<QLabel*>("restoreBlockingReason")->text(),
              QString::fromStdString(sandbox.service().blockingReason(TransactionKind::trashRestore).value_or("")));
    EXPECT_TRUE(showsText(trash, "Plugin Management required"));

    // With it, Beta comes back as a selection.
    sandbox.enableHelper();
    QTest::qWait(200);
    betaRow = rowOf(trash, "Beta");
    ASSERT_NE(betaRow->selectBox(), nullptr);
    auto& selectionBar = named<QWidget>(trash, "selectionBar");
    EXPECT_FALSE(selectionBar.isVisible());
    QTest::mouseClick(betaRow->selectBox(), Qt::LeftButton);
    EXPECT_TRUE(selectionBar.isVisible());
    click(findByText<QPushButton>(selectionBar, "Restore Selected…"));
    ASSERT_TRUE(waitFor([&] { return card("Reconciled") == "2" && card("Ready") == "0"; }));
    EXPECT_TRUE(trash.selectedRecordIDs().empty());
}

}  // namespace
}  // namespace kestrova::testing
