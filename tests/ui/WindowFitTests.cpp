// The screens at the window's smallest and default sizes on the demo
// inventory: every column inside the view with nothing scrolling sideways
// and the content columns as wide as their text, a selection bar that never
// takes a row out of view, cards whose texts show whole, and a cleanup batch
// whose button is on the page.
#include "UiSandbox.h"

#include "ui/models/PluginTableModel.h"
#include "ui/screens/format-cleanup/FormatCleanupScreen.h"
#include "ui/screens/inventory/InventoryScreen.h"
#include "ui/screens/plugin-management/PluginManagementScreen.h"

#include <QHeaderView>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>

namespace kestrova::testing {
namespace {

using ui::AppSection;
using Column = ui::PluginTableModel::Column;

QTableView& shownTable(QWidget& screen) {
    for (auto* table : screen.findChildren<QTableView*>()) {
        if (table->isVisible()) {
            return *table;
        }
    }
    ADD_FAILURE() << "no table shown";
    return *screen.findChild<QTableView*>();
}

bool rowFullyShown(QTableView& table, int row) {
    const auto rect = table.visualRect(table.model()->index(row, 0));
    return rect.isValid() && rect.top() >= 0 && rect.bottom() < table.viewport()->height();
}

TEST(WindowFit, EveryScreenFitsAtTheSmallestAndTheDefaultSize) {
    UiSandbox sandbox;
    auto& window = sandbox.openOnDemoInventory();
    sandbox.quarantine({"FabFilter Pro-Q 3"}, false, "VST3");
    // A protected product, so the Protected list has rows to fit.
    for (const auto& product : sandbox.store().activePlugins()) {
        if (product.name == "Diva") {
            sandbox.store().setProtection(product, true);
        }
    }
    for (const auto& size : {QSize(1180, 720), QSize(1440, 900)}) {
        window.resize(size);
        const auto at = std::to_string(size.width()) + "×" + std::to_string(size.height()) + " ";
        for (const auto section : {AppSection::inventory, AppSection::protected_, AppSection::quarantine}) {
            auto& table = shownTable(sandbox.show(section));
            settle();
            const auto where = at + std::string(ui::commandName(section));
            ASSERT_GT(table.model()->rowCount(), 0) << where;
            EXPECT_FALSE(table.horizontalScrollBar()->isVisible()) << where;
            auto* header = table.horizontalHeader();
            for (int column = 0; column < header->count(); ++column) {
                if (header->isSectionHidden(column)) {
                    continue;
                }
                const auto title = table.model()->headerData(column, Qt::Horizontal).toString().toStdString();
                const int left = header->sectionViewportPosition(column);
                EXPECT_GE(left, 0) << where << " " << title;
                EXPECT_LE(left + header->sectionSize(column), table.viewport()->width()) << where << " " << title;
                if (column == Column::format || column == Column::size || column == Column::status) {
                    EXPECT_GE(header->sectionSize(column),
                              static_cast<QAbstractItemView&>(table).sizeHintForColumn(column))
                        << where << " " << title << " is narrower than its text";
                }
            }
        }

        // Selecting a row brings up the selection bar without shrinking the list.
        auto& inventory = sandbox.show<ui::InventoryScreen>(AppSection::inventory);
        auto& table = *inventory.table();
        table.clearSelection();
        settle();
        const int rows = table.model()->rowCount();
        const int heightBefore = table.viewport()->height();
        const bool scrolls = table.verticalScrollBar()->isVisible();
        clickRow(table, shownNames(table).front());
        settle();
        ASSERT_TRUE(named<QWidget>(inventory, "SelectionBar").isVisible());
        EXPECT_GE(table.viewport()->height(), heightBefore) << at << "the list shrank";
        EXPECT_TRUE(scrolls || rowFullyShown(table, rows - 1)) << at << "the last row is cut";
        table.scrollToBottom();
        settle();
        EXPECT_TRUE(rowFullyShown(table, rows - 1)) << at;
        table.clearSelection();

        // A card's label shows all its text: no word past its width, every line's height.
        auto& management = sandbox.show(AppSection::pluginManagement);
        settle();
        for (auto* card : management.findChildren<ui::MetricCard*>()) {
            for (auto* label : card->findChildren<QLabel*>()) {
                if (!label->isVisible() || label->text().isEmpty()) {
                    continue;
                }
                const auto width = label->contentsRect().width();
                const auto needed =
                    label->fontMetrics().boundingRect(QRect(0, 0, width, 100000), Qt::TextWordWrap, label->text());
                EXPECT_LE(needed.width(), width) << at << label->text().toStdString();
                EXPECT_TRUE(!label->wordWrap() || label->heightForWidth(label->width()) <= label->height())
                    << at << label->text().toStdString();
            }
        }

        // The candidate table takes what the page has; the batch's button is
        // on screen without scrolling.
        auto& cleanup = sandbox.show<ui::FormatCleanupScreen>(AppSection::formatCleanup);
        QTest::mouseClick(cleanup.findChild<QRadioButton*>("retireVST2"), Qt::LeftButton);
        click(findByText<QPushButton>(cleanup, "Build Preview"));
        settle();
        ASSERT_GT(cleanup.candidateTable()->model()->rowCount(), 0) << at;
        auto* quarantine = findByText<QPushButton>(cleanup, "Quarantine Selected…");
        EXPECT_TRUE(window.rect().contains(QRect(quarantine->mapTo(&window, QPoint()), quarantine->size())))
            << at << "the button is below the fold";
        const auto* scroll = cleanup.findChild<QScrollArea*>();
        EXPECT_FALSE(scroll && scroll->verticalScrollBar()->isVisible()) << at;
    }
}

}  // namespace
}  // namespace kestrova::testing
