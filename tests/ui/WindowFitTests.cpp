// The list screens at the window's smallest and default sizes on the demo
// inventory: every column inside the view with nothing scrolling sideways,
// the content columns as wide as their text, headers whole or ending in an
// ellipsis, a selection bar that never takes a row out of view, and cards
// and a candidate table that fit the page.
#include "ScreenDriving.h"

#include "ui/models/PluginTableModel.h"
#include "ui/screens/format-cleanup/FormatCleanupScreen.h"
#include "ui/screens/inventory/InventoryScreen.h"
#include "ui/screens/plugin-management/PluginManagementScreen.h"
#include "ui/screens/protected/ProtectedScreen.h"
#include "ui/screens/quarantine/QuarantineScreen.h"
#include "ui/widgets/MetricCard.h"
#include "ui/widgets/ProductList.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPaintEngine>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>

#include <map>

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

// A paint device that keeps the texts drawn on it: what a header shows.
class TextRecorder final : public QPaintDevice {
public:
    explicit TextRecorder(const QWidget& widget) : widget_(widget) {}
    QPaintEngine* paintEngine() const override { return &engine_; }
    const QStringList& texts() const { return engine_.texts; }

protected:
    int metric(PaintDeviceMetric metric) const override {
        switch (metric) {
            case PdmWidth:
                return widget_.width();
            case PdmHeight:
                return widget_.height();
            case PdmDpiX:
            case PdmPhysicalDpiX:
                return widget_.logicalDpiX();
            case PdmDpiY:
            case PdmPhysicalDpiY:
                return widget_.logicalDpiY();
            case PdmDepth:
                return 32;
            case PdmDevicePixelRatio:
                return 1;
            case PdmDevicePixelRatioScaled:
                return static_cast<int>(devicePixelRatioFScale());
            default:
                return QPaintDevice::metric(metric);
        }
    }

private:
    struct Engine final : QPaintEngine {
        Engine() : QPaintEngine(AllFeatures) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawPath(const QPainterPath&) override {}
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawRects(const QRectF*, int) override {}
        void drawLines(const QLineF*, int) override {}
        void drawEllipse(const QRectF&) override {}
        void drawPoints(const QPointF*, int) override {}
        void drawImage(const QRectF&, const QImage&, const QRectF&, Qt::ImageConversionFlags) override {}
        void drawTiledPixmap(const QRectF&, const QPixmap&, const QPointF&) override {}
        void drawTextItem(const QPointF&, const QTextItem& item) override { texts << item.text(); }
        Type type() const override { return User; }
        QStringList texts;
    };
    const QWidget& widget_;
    mutable Engine engine_;
};

// Each shown column's title as the header draws it.
std::map<QString, QString> drawnTitles(QHeaderView& header) {
    std::map<QString, QString> drawn;
    for (int column = 0; column < header.count(); ++column) {
        if (header.isSectionHidden(column) || header.sectionSize(column) == 0) {
            continue;
        }
        const auto title = header.model()->headerData(column, Qt::Horizontal).toString();
        TextRecorder recorder(*header.viewport());
        const QRect section(header.sectionViewportPosition(column), 0, header.sectionSize(column), header.height());
        header.viewport()->render(&recorder, {}, QRegion(section));
        for (const auto& text : recorder.texts()) {
            if (!text.isEmpty() && (text == title || text.endsWith(u'…'))) {
                drawn[title] = text;
            }
        }
    }
    return drawn;
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

            // A title too wide for its column ends in an ellipsis; it is
            // never cut off mid-letter.
            const auto drawn = drawnTitles(*header);
            for (int column = 0; column < header->count(); ++column) {
                const auto title = table.model()->headerData(column, Qt::Horizontal).toString();
                if (header->isSectionHidden(column) || title.isEmpty()) {
                    continue;
                }
                const auto text = drawn.find(title);
                ASSERT_NE(text, drawn.end()) << where << " " << title.toStdString() << " draws no title";
                EXPECT_TRUE(text->second == title ||
                            (text->second.size() > 1 && title.startsWith(text->second.chopped(1))))
                    << where << " " << title.toStdString() << " drawn as " << text->second.toStdString();
                const bool fits = header->fontMetrics().horizontalAdvance(title) +
                                      2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin) <=
                                  header->sectionSize(column);
                if (!fits) {
                    EXPECT_TRUE(text->second.endsWith(u'…')) << where << " " << title.toStdString();
                }
            }
        }
    }
}

// A label shows all of its text: no word runs past its width, and it has
// the height its lines need.
void expectWhole(const QLabel& label, const std::string& where) {
    const auto needed = label.fontMetrics().boundingRect(QRect(0, 0, label.contentsRect().width(), 100000),
                                                         Qt::TextWordWrap, label.text());
    EXPECT_LE(needed.width(), label.contentsRect().width()) << where << ": " << label.text().toStdString();
    if (label.wordWrap()) {
        EXPECT_LE(label.heightForWidth(label.width()), label.height()) << where << ": " << label.text().toStdString();
    }
}

TEST(WindowFit, CardsAndTheCandidateTableFitThePage) {
    UiSandbox sandbox;
    auto& window = sandbox.openOnDemoInventory();
    sandbox.enableHelper();
    for (const auto& size : windowSizes) {
        window.resize(size);
        const auto where = std::to_string(size.width()) + "×" + std::to_string(size.height());

        auto& management = sandbox.show<ui::PluginManagementScreen>(AppSection::pluginManagement);
        settle();
        for (auto* card : management.findChildren<ui::MetricCard*>()) {
            for (auto* label : card->findChildren<QLabel*>()) {
                if (label->isVisible() && !label->text().isEmpty()) {
                    expectWhole(*label, where + " " + card->title().toStdString());
                }
            }
        }
        EXPECT_EQ(management.registrationCard()->detail(), "Launch daemon com.tolvanek.Kestrova.helper");

        // The candidate table takes the height the page has, and the batch's
        // button is on screen without scrolling.
        auto& cleanup = sandbox.show<ui::FormatCleanupScreen>(AppSection::formatCleanup);
        QTest::mouseClick(cleanup.findChild<QRadioButton*>("retireVST2"), Qt::LeftButton);
        click(findByText<QPushButton>(cleanup, "Build Preview"));
        settle();
        auto& table = *cleanup.candidateTable();
        ASSERT_GT(table.model()->rowCount(), 0) << where;
        auto* quarantine = findByText<QPushButton>(cleanup, "Quarantine Selected…");
        const auto inWindow = QRect(quarantine->mapTo(&window, QPoint()), quarantine->size());
        EXPECT_TRUE(window.rect().contains(inWindow)) << where << ": the button is below the fold";
        const auto* scroll = cleanup.findChild<QScrollArea*>();
        if (scroll) {
            EXPECT_FALSE(scroll->verticalScrollBar()->isVisible()) << where;
        }
        const int rowsHeight = table.verticalHeader()->length() + table.horizontalHeader()->height();
        if (rowsHeight > table.height()) {
            // The rows outgrow the table, so it has taken the page's height:
            // nothing is left below the screen's last part.
            const auto bottom = quarantine->mapTo(&cleanup, QPoint(0, quarantine->height())).y();
            EXPECT_GT(bottom, cleanup.height() - 160) << where << ": the page ends in empty space";
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
