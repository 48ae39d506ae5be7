// Duplicates on Inventory against the real helper: the badge and the
// "Duplicates" filter, the selected product's group in the inspector, and
// the one-step retirement's sheet.
#include "UiSandbox.h"

#include "ui/screens/inventory/InventoryScreen.h"
#include "ui/widgets/ProductList.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>

#include <filesystem>

namespace kestrova::testing {
namespace {

using ui::AppSection;

QStringList copiesShown(QWidget& inventory) {
    QStringList copies;
    for (auto* label : inventory.findChildren<QLabel*>(QStringLiteral("DuplicateCopy"))) {
        if (label->isVisible()) {
            copies << label->text();
        }
    }
    return copies;
}

TEST(DuplicatesScreen, FilterInspectorGroupAndOneStepRetirement) {
    UiSandbox sandbox;
    const auto kept = sandbox.installBundle("Alpha.vst3", "VST3", "Alpha", "Acme");
    const auto copy = sandbox.installBundle("Vendor/Alpha.vst3", "VST3", "Alpha", "Acme");
    sandbox.installBundle("Beta.vst3", "VST3", "Beta", "Bolt");
    sandbox.open();
    sandbox.authorizeAndScan();
    sandbox.enableHelper();
    sandbox.settleNotices();

    auto& inventory = sandbox.show<ui::InventoryScreen>(AppSection::inventory);
    auto& table = *inventory.table();
    ASSERT_EQ(shownNames(table), QStringList({"Alpha", "Beta"}));
    auto* badge = findByText<QPushButton>(inventory, "1 Duplicate");
    ASSERT_TRUE(badge && badge->isVisible());
    click(badge);
    EXPECT_EQ(named<QComboBox>(inventory, "StatusMenu").currentText(), "Duplicates");
    EXPECT_EQ(shownNames(table), QStringList({"Alpha"}));

    clickRow(table, "Alpha");
    QApplication::processEvents();
    EXPECT_TRUE(showsText(inventory, "VST3 — 2 copies of one version"));
    EXPECT_EQ(copiesShown(inventory),
              QStringList({"1.2.0 · " + QString::fromStdString(kept), "1.2.0 · " + QString::fromStdString(copy)}));

    // Cancelling the confirmation moves nothing.
    sandbox.prompter.confirmAnswer = false;
    click(findByText<QPushButton>(inventory, "Retire Duplicates…"));
    ASSERT_EQ(sandbox.prompter.confirmations.size(), 1U);
    const auto asked = sandbox.prompter.confirmations.back();
    EXPECT_EQ(asked.title, "Retire Duplicate Plugins?");
    EXPECT_EQ(asked.confirmButton, "Move 1 Copy to Quarantine");
    EXPECT_EQ(asked.cancelButton, "Cancel");
    EXPECT_TRUE(std::filesystem::exists(copy));

    sandbox.prompter.confirmAnswer = true;
    click(findByText<QPushButton>(inventory, "Retire Duplicates…"));
    ASSERT_TRUE(waitFor([&] { return sandbox.store().quarantinedBundleCount() == 1; }));
    EXPECT_FALSE(std::filesystem::exists(copy));
    EXPECT_TRUE(std::filesystem::exists(kept));
    QApplication::processEvents();
    EXPECT_FALSE(badge->isVisible());
    EXPECT_EQ(named<QComboBox>(inventory, "StatusMenu").findText("Duplicates"), -1);
    EXPECT_EQ(shownNames(table), QStringList({"Alpha", "Beta"})) << "the filter goes when nothing matches it";
}

}  // namespace
}  // namespace kestrova::testing
