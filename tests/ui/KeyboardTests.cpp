// The window by keyboard alone: sections by Ctrl+1 … Ctrl+0 and the
// sidebar's arrows, Ctrl+F to the search, Return from the search to its rows
// and on a row to its action's confirmation, confirmed by Tab and Space;
// Space ticks a cleanup candidate; and every control without a text has a
// name a screen reader can say.
#include "UiSandbox.h"

#include "store/runs/CleanupRunController.h"
#include "ui/screens/format-cleanup/FormatCleanupScreen.h"
#include "ui/screens/inventory/InventoryScreen.h"
#include "ui/screens/quarantine/QuarantineScreen.h"
#include "ui/widgets/ConfirmationDialog.h"
#include "ui/widgets/ProductList.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QToolButton>

namespace kestrova::testing {
namespace {

using ui::AppSection;

TEST(Keyboard, SectionsSearchAndAQuarantineByKeyboardAlone) {
    UiSandbox sandbox;
    auto& window = sandbox.openOnDemoInventory();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    for (std::size_t index = 0; index < ui::allSections.size(); ++index) {
        const auto key = static_cast<Qt::Key>(Qt::Key_0 + static_cast<int>((index + 1) % 10));
        QTest::keyClick(&window, key, Qt::ControlModifier);
        EXPECT_EQ(window.state().section(), ui::allSections[index]) << "Ctrl+" << (index + 1) % 10;
    }
    QTest::keyClick(&window, Qt::Key_1, Qt::ControlModifier);
    auto* sidebar = window.sidebar().list();
    sidebar->setFocus();
    QTest::keyClick(sidebar, Qt::Key_Down);
    EXPECT_EQ(window.state().section(), AppSection::protected_);
    QTest::keyClick(sidebar, Qt::Key_Down);
    EXPECT_EQ(window.state().section(), AppSection::quarantine);
    QTest::keyClick(sidebar, Qt::Key_Up);
    QTest::keyClick(sidebar, Qt::Key_Up);
    EXPECT_EQ(window.state().section(), AppSection::inventory);

    // Ctrl+F from another section goes to the Inventory search.
    QTest::keyClick(&window, Qt::Key_7, Qt::ControlModifier);
    QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
    ASSERT_EQ(window.state().section(), AppSection::inventory);
    auto& inventory = *dynamic_cast<ui::InventoryScreen*>(window.screen(AppSection::inventory));
    auto& search = named<QLineEdit>(inventory, "SearchField");
    EXPECT_TRUE(search.hasFocus());
    QTest::keyClicks(&search, "Acme Reverb");
    QTest::keyClick(&search, Qt::Key_Return);
    auto& table = *inventory.table();
    ASSERT_EQ(shownNames(table), QStringList({"Acme Reverb"}));
    EXPECT_TRUE(table.hasFocus());
    EXPECT_EQ(table.currentIndex().row(), 0);

    // Return opens the row's "Quarantine Plugin…" confirmation; Tab to the
    // confirm button and Space moves (that Return and Escape there cancel is
    // ControlLook's to test).
    int answered = -1;
    sandbox.prompter.whileAsking = [&] {
        ui::ConfirmationDialog dialog(sandbox.prompter.confirmations.back());
        answered = answerWith(dialog, {Qt::Key_Tab, Qt::Key_Space});
        sandbox.prompter.confirmAnswer = answered == QDialog::Accepted;
    };
    QTest::keyClick(&table, Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return table.model()->rowCount() == 0; })) << "Acme Reverb stayed in the inventory";
    EXPECT_EQ(answered, QDialog::Accepted);
    EXPECT_EQ(sandbox.prompter.confirmations.back().title, "Move Plugin to Quarantine?");

    // On Quarantine, Return on the product's row asks to restore it.
    sandbox.settleNotices();
    auto& quarantine = sandbox.show<ui::QuarantineScreen>(AppSection::quarantine);
    auto& listed = *quarantine.list().table();
    sandbox.prompter.whileAsking = {};
    sandbox.prompter.confirmAnswer = false;
    listed.setFocus();
    listed.setCurrentIndex(listed.model()->index(static_cast<int>(shownNames(listed).indexOf("Acme Reverb")), 0));
    QTest::keyClick(&listed, Qt::Key_Return);
    ASSERT_EQ(sandbox.prompter.confirmations.size(), 2u);
    EXPECT_EQ(sandbox.prompter.confirmations.back().title, "Restore Plugin?");

    // Space ticks the focused cleanup candidate whatever column is current.
    auto& cleanup = sandbox.show<ui::FormatCleanupScreen>(AppSection::formatCleanup);
    QTest::mouseClick(cleanup.findChild<QRadioButton*>("custom"), Qt::LeftButton);
    QTest::mouseClick(findByText<QCheckBox>(cleanup, "VST3"), Qt::LeftButton);
    click(findByText<QPushButton>(cleanup, "Build Preview"));
    auto& candidates = *cleanup.candidateTable();
    ASSERT_TRUE(waitFor([&] { return candidates.model()->rowCount() > 0; }));
    auto& runs = sandbox.session().cleanupRuns();
    const auto ticked = runs.selected().size();
    candidates.setFocus();
    candidates.setCurrentIndex(candidates.model()->index(0, 2));  // not the box's column
    const auto box = candidates.model()->index(0, 0);
    const auto was = box.data(Qt::CheckStateRole).value<Qt::CheckState>();
    QTest::keyClick(&candidates, Qt::Key_Space);
    EXPECT_NE(box.data(Qt::CheckStateRole).value<Qt::CheckState>(), was);
    EXPECT_NE(runs.selected().size(), ticked);
    QTest::keyClick(&candidates, Qt::Key_Space);
    EXPECT_EQ(box.data(Qt::CheckStateRole).value<Qt::CheckState>(), was);
    EXPECT_EQ(runs.selected().size(), ticked);

    // Every control without a text has a name a screen reader can say, with
    // products in the inspectors so their icon buttons exist.
    window.state().setQuery("");
    clickRow(table, "FabFilter Pro-Q 3");
    int checked = 0;
    for (const auto section : ui::allSections) {
        auto& screen = sandbox.show(section);
        QApplication::processEvents();
        for (auto* button : screen.findChildren<QAbstractButton*>()) {
            auto* tool = qobject_cast<QToolButton*>(button);
            const bool iconOnly =
                button->text().isEmpty() || (tool && tool->toolButtonStyle() == Qt::ToolButtonIconOnly);
            if (!iconOnly || !button->isVisibleTo(&screen)) {
                continue;
            }
            ++checked;
            auto* accessible = QAccessible::queryAccessibleInterface(button);
            ASSERT_NE(accessible, nullptr);
            EXPECT_FALSE(accessible->text(QAccessible::Name).trimmed().isEmpty())
                << ui::commandName(section) << ": " << button->metaObject()->className() << " "
                << button->objectName().toStdString() << " has no accessible name";
        }
    }
    EXPECT_GE(checked, 3) << "the copy button, the search's icons and the rule switches";
}

}  // namespace
}  // namespace kestrova::testing
