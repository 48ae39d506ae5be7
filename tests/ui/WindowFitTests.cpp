// The list screens at the window's smallest and default sizes on the demo
// inventory: every column inside the view with nothing scrolling sideways,
// the content columns as wide as their text, and a selection bar that never
// takes a row out of view.
#include "ScreenDriving.h"

#include "ui/models/PluginTableModel.h"
#include "ui/screens/inventory/InventoryScreen.h"
#include "ui/screens/protected/ProtectedScreen.h"
#include "ui/screens/quarantine/QuarantineScreen.h"
#include "ui/widgets/ProductList.h"

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>

namespace kestrova::testing {
namespace {

using ui::AppSection;
using Column = ui::PluginTableModel::Column;

const std::vector<QSize> windowSizes{{1180, 720}, {1440, 900}};

void settle() {
    for (int turn = 0; turn < 4; ++turn) {
        QApplication::processEvents();
    }
}

QTableView& productTable(QWidget& screen) {
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

TEST(WindowFit, EveryColumnFitsAtTheSmallestAndTheDefaultSize) {
    UiSandbox sandbox;
    auto& window = sandbox.openOnDemoInventory();
    sandbox.quarantine({"FabFilter Pro-Q 3"}, false, "VST3");
    // A protected product, so the Protected list has rows to fit.
    for (const auto& product : sandbox.store().activePlugins()) {
        if (product.name == "Diva") {
            sandbox.store().setProtection(product, true);
        }
    }
    for (const auto& size : windowSizes) {
        window.resize(size);
        for (const auto section : {AppSection::inventory, AppSection::protected_, AppSection::quarantine}) {
            auto& screen = sandbox.show(section);
            settle();
            auto& table = productTable(screen);
            const auto where = std::to_string(size.width()) + "×" + std::to_string(size.height()) + " " +
                               std::string(ui::commandName(section));
            ASSERT_GT(table.model()->rowCount(), 0) << where;
            EXPECT_FALSE(table.horizontalScrollBar()->isVisible()) << where;
            auto* header = table.horizontalHeader();
            const int width = table.viewport()->width();
            for (int column = 0; column < header->count(); ++column) {
                if (header->isSectionHidden(column)) {
                    continue;
                }
                const auto title = table.model()->headerData(column, Qt::Horizontal).toString().toStdString();
                const int left = header->sectionViewportPosition(column);
                EXPECT_GE(left, 0) << where << " " << title;
                EXPECT_LE(left + header->sectionSize(column), width) << where << " " << title;
                if (column == Column::format || column == Column::size || column == Column::status) {
                    EXPECT_GE(header->sectionSize(column),
                              static_cast<QAbstractItemView&>(table).sizeHintForColumn(column))
                        << where << " " << title << " is narrower than its text";
                }
            }
            EXPECT_GE(header->sectionSize(Column::plugin), 120) << where << ": the name column is squeezed";
        }
    }
}

TEST(WindowFit, TheSelectionBarNeverHidesARow) {
    UiSandbox sandbox;
    auto& window = sandbox.openOnDemoInventory();
    for (const auto& size : windowSizes) {
        window.resize(size);
        auto& inventory = sandbox.show<ui::InventoryScreen>(AppSection::inventory);
        settle();
        auto& table = *inventory.table();
        table.clearSelection();
        settle();
        const int rows = table.model()->rowCount();
        const int heightBefore = table.viewport()->height();
        const bool scrolls = table.verticalScrollBar()->isVisible();
        clickRow(table, shownNames(table).front());
        settle();
        ASSERT_TRUE(named<QWidget>(inventory, "SelectionBar").isVisible());
        EXPECT_GE(table.viewport()->height(), heightBefore) << size.width() << ": the list shrank";
        if (!scrolls) {
            EXPECT_TRUE(rowFullyShown(table, rows - 1)) << size.width() << ": the last row is cut";
        }
        table.scrollToBottom();
        settle();
        EXPECT_TRUE(rowFullyShown(table, rows - 1)) << size.width();
        table.clearSelection();
    }
}

}  // namespace
}  // namespace kestrova::testing
