// Bundles moved out of service and back through the screens, against the
// real helper: the batch quarantine from Inventory, the Quarantine screen's
// restore and Trash sheets, and refusals that must move nothing.
#include "ScreenDriving.h"

#include "ui/screens/inventory/InventoryScreen.h"
#include "ui/screens/quarantine/QuarantineScreen.h"
#include "ui/widgets/ConfirmationDialog.h"
#include "ui/widgets/ProductList.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>

#include <filesystem>

namespace kestrova::testing {
namespace {

using ui::AppSection;

struct InstalledProducts {
    std::string alphaAU;
    std::string alphaVST3;
    std::string beta;
};

// Two products, one with two formats, scanned with the helper ready.
InstalledProducts installScanAndEnable(UiSandbox& sandbox) {
    InstalledProducts installed{sandbox.installBundle("Alpha.component", "Components", "Alpha", "Acme"),
                                sandbox.installBundle("Alpha.vst3", "VST3", "Alpha", "Acme"),
                                sandbox.installBundle("Beta.vst3", "VST3", "Beta", "Bolt")};
    sandbox.open();
    sandbox.authorizeAndScan();
    sandbox.enableHelper();
    QApplication::processEvents();
    return installed;
}

TEST(QuarantineFlow, BatchQuarantineFromInventoryThenRestoreFromQuarantine) {
    UiSandbox sandbox;
    const auto installed = installScanAndEnable(sandbox);
    auto& window = sandbox.window();
    auto& inventory = sandbox.show<ui::InventoryScreen>(AppSection::inventory);
    auto& table = *inventory.table();
    ASSERT_EQ(shownNames(table), QStringList({"Alpha", "Beta"}));
    EXPECT_EQ(window.sidebar().badgeText(AppSection::inventory), QString("2"));

    clickRow(table, "Alpha");
    clickRow(table, "Beta", Qt::ControlModifier);
    EXPECT_EQ(findByText<QLabel>(inventory, "2 selected")->isVisible(), true);
    click(findByText<QPushButton>(inventory, "Move to Quarantine"));
    ASSERT_EQ(sandbox.prompter.confirmations.size(), 1u);
    const auto& asked = sandbox.prompter.confirmations[0];
    EXPECT_EQ(asked.message,
              "Kestrova will move 2 selected plugins (3 format bundles) into reversible quarantine. Every bundle has "
              "been preflighted; no permanent deletion will occur.");
    EXPECT_EQ(asked.confirmButton, "Move to Quarantine");
    EXPECT_EQ(asked.cancelButton, "Cancel");
    ASSERT_TRUE(waitFor([&] { return sandbox.store().quarantinedBundleCount() == 3; }));
    QApplication::processEvents();

    EXPECT_EQ(table.model()->rowCount(), 0);
    EXPECT_FALSE(findByText<QLabel>(inventory, "0 selected")->isVisible()) << "confirming clears the selection";
    EXPECT_EQ(window.sidebar().badgeText(AppSection::inventory), QString("0"));
    EXPECT_EQ(window.sidebar().badgeText(AppSection::quarantine), QString("3"));
    for (const auto& path : {installed.alphaAU, installed.alphaVST3, installed.beta}) {
        EXPECT_FALSE(std::filesystem::exists(path)) << path;
    }

    auto& quarantine = sandbox.show<ui::QuarantineScreen>(AppSection::quarantine);
    EXPECT_EQ(findByText<QLabel>(quarantine, "Privileged restore ready")->isVisible(), true);
    auto& listed = *quarantine.list().table();
    ASSERT_EQ(shownNames(listed), QStringList({"Alpha", "Beta"}));
    clickRow(listed, "Beta");
    sandbox.prompter.confirmAnswer = false;
    click(findByText<QPushButton>(quarantine, "Restore Selected…"));
    EXPECT_EQ(sandbox.prompter.confirmations.back().message,
              "Kestrova will restore 1 selected plugins (1 format bundles) to their recorded original locations. "
              "Existing files will never be overwritten.");
    EXPECT_FALSE(std::filesystem::exists(installed.beta)) << "cancelling moves nothing";

    // Alpha's VST3 alone comes back from its format card.
    clickRow(listed, "Alpha");
    QApplication::processEvents();
    sandbox.prompter.confirmAnswer = true;
    click(findByText<QPushButton>(quarantine, "Restore VST3 Format…"));
    EXPECT_EQ(sandbox.prompter.confirmations.back().title, "Restore VST3 Format?");
    EXPECT_EQ(sandbox.prompter.confirmations.back().message,
              "Only the selected VST3 bundle will return to its recorded original location. Existing files will "
              "never be overwritten.");
    ASSERT_TRUE(waitFor([&] { return sandbox.store().quarantinedBundleCount() == 2; }));
    EXPECT_TRUE(sandbox.helper.hasWholeBundle(installed.alphaVST3, installed.alphaVST3));
    EXPECT_FALSE(std::filesystem::exists(installed.alphaAU));
    QApplication::processEvents();
    EXPECT_EQ(window.sidebar().badgeText(AppSection::quarantine), QString("2"));
    EXPECT_EQ(window.sidebar().badgeText(AppSection::inventory), QString("1"));
    EXPECT_EQ(shownNames(listed), QStringList({"Alpha", "Beta"})) << "Alpha is still partly quarantined";

    clickRow(listed, "Alpha");
    clickRow(listed, "Beta", Qt::ControlModifier);
    click(findByText<QPushButton>(quarantine, "Restore Selected…"));
    EXPECT_EQ(sandbox.prompter.confirmations.back().message,
              "Kestrova will restore 2 selected plugins (2 format bundles) to their recorded original locations. "
              "Existing files will never be overwritten.");
    ASSERT_TRUE(waitFor([&] { return sandbox.store().quarantinedBundleCount() == 0; }));
    for (const auto& path : {installed.alphaAU, installed.alphaVST3, installed.beta}) {
        EXPECT_TRUE(sandbox.helper.hasWholeBundle(path, path)) << path;
    }
    QApplication::processEvents();
    EXPECT_EQ(listed.model()->rowCount(), 0);
    EXPECT_EQ(window.sidebar().badgeText(AppSection::quarantine), QString("0"));
    EXPECT_EQ(shownNames(table), QStringList({"Alpha", "Beta"}));
}

TEST(QuarantineFlow, TheTrashSheetsWaitForTheAcknowledgement) {
    UiSandbox sandbox;
    const auto installed = installScanAndEnable(sandbox);
    sandbox.quarantine({"Alpha", "Beta"});
    QApplication::processEvents();
    auto& quarantine = sandbox.show<ui::QuarantineScreen>(AppSection::quarantine);
    auto& listed = *quarantine.list().table();
    clickRow(listed, "Alpha");
    clickRow(listed, "Beta", Qt::ControlModifier);
    sandbox.prompter.confirmAnswer = false;
    click(findByText<QPushButton>(quarantine, "Move Selected to Trash…"));
    const auto batch = sandbox.prompter.confirmations.back();
    EXPECT_EQ(batch.title, "Move Selected Plugins to macOS Trash?");
    EXPECT_TRUE(batch.message.startsWith("2 plugins — 3 format bundles"));
    EXPECT_EQ(batch.confirmButton, "Move 3 Bundles to Trash");
    ui::ConfirmationDialog dialog(batch);
    ASSERT_NE(dialog.acknowledgement(), nullptr);
    EXPECT_EQ(dialog.acknowledgement()->text(),
              "I understand restoration depends on these exact bundles remaining in Finder Trash.");
    EXPECT_FALSE(dialog.confirmButton()->isEnabled());
    dialog.acknowledgement()->setChecked(true);
    EXPECT_TRUE(dialog.confirmButton()->isEnabled());
    dialog.acknowledgement()->setChecked(false);
    EXPECT_FALSE(dialog.confirmButton()->isEnabled());
    EXPECT_EQ(sandbox.store().quarantinedBundleCount(), 3) << "declining the sheet moves nothing";

    // One format to the Trash: the sheet names both places.
    clickRow(listed, "Beta");
    QApplication::processEvents();
    sandbox.prompter.confirmAnswer = true;
    click(findByText<QPushButton>(quarantine, "Move VST3 to Trash"));
    const auto single = sandbox.prompter.confirmations.back();
    EXPECT_EQ(single.title, "Move to macOS Trash?");
    ASSERT_EQ(single.rows.size(), 2u);
    EXPECT_EQ(single.rows[0],
              std::make_pair(QString("Recorded Original Location"), QString::fromStdString(installed.beta)));
    EXPECT_EQ(single.rows[1].first, "Current Quarantine Location");
    const auto quarantined = single.rows[1].second.toStdString();
    EXPECT_TRUE(ui::ConfirmationDialog(single).acknowledgement() != nullptr);
    ASSERT_TRUE(waitFor([&] { return sandbox.store().quarantinedBundleCount() == 2; }));
    EXPECT_FALSE(std::filesystem::exists(quarantined));
    EXPECT_TRUE(sandbox.helper.hasWholeBundle(sandbox.helper.trashPath("Beta.vst3"), installed.beta));
    QApplication::processEvents();
    EXPECT_EQ(sandbox.window().sidebar().badgeText(AppSection::trashRecovery), QString("1"));
}

TEST(QuarantineFlow, RefusedActionsShowTheReasonAndMoveNothing) {
    UiSandbox sandbox;
    const auto alpha = sandbox.installBundle("Alpha.vst3", "VST3", "Alpha", "Acme");
    const auto beta = sandbox.installBundle("Beta.vst3", "VST3", "Beta", "Bolt");
    sandbox.open();
    sandbox.authorizeAndScan();
    auto& inventory = sandbox.show<ui::InventoryScreen>(AppSection::inventory);
    auto& store = sandbox.store();
    auto& reason = *inventory.findChild<QLabel*>("BatchReason");

    // Without the helper nothing can be sent: the button explains why.
    clickRow(*inventory.table(), "Alpha");
    auto* batch = findByText<QPushButton>(inventory, "Move to Quarantine");
    ASSERT_TRUE(sandbox.service().blockingReason(TransactionKind::quarantine).has_value());
    EXPECT_FALSE(batch->isEnabled());
    EXPECT_EQ(reason.text(), QString::fromStdString(*sandbox.service().blockingReason(TransactionKind::quarantine)));
    EXPECT_FALSE(findByText<QPushButton>(inventory, "Quarantine VST3 Format…")->isEnabled());

    // The format is protected while the confirmation is open: the store plans
    // again and refuses.
    sandbox.enableHelper();
    clickRow(*inventory.table(), "Beta");
    sandbox.prompter.whileAsking = [&] {
        const auto& product = store.plugins().back();
        ASSERT_EQ(product.name, "Beta");
        ASSERT_TRUE(store.setBundleProtection({product.id, product.bundles->front().id()}, true));
    };
    click(batch);
    sandbox.prompter.whileAsking = nullptr;
    const auto refused = std::make_pair(QString("Privileged Quarantine Blocked"),
                                        QString("Beta — VST3: Remove format protection before quarantining this "
                                                "bundle."));
    ASSERT_TRUE(waitFor([&] { return sandbox.prompter.alerts.back() == refused; }));
    EXPECT_TRUE(sandbox.helper.hasWholeBundle(beta, beta));
    EXPECT_FALSE(store.hasPendingPrivilegedTransaction());

    // Now the selection itself is refused, so the button explains instead.
    clickRow(*inventory.table(), "Beta");
    EXPECT_FALSE(batch->isEnabled());
    EXPECT_EQ(reason.text(), refused.second);
    EXPECT_FALSE(findByText<QPushButton>(inventory, "Quarantine VST3 Format…")->isEnabled());
    EXPECT_TRUE(sandbox.helper.hasWholeBundle(alpha, alpha));
}

}  // namespace
}  // namespace kestrova::testing
