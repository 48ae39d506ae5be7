#include "ui/widgets/ColumnFitter.h"

#include <QEvent>
#include <QHeaderView>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <numeric>

namespace kestrova::ui {
namespace {

// Room around a cell's text, beyond what the delegate reports.
constexpr int cellSlack = 10;
// The narrowest a yielding column gets.
constexpr int yieldingMinimum = 72;

}  // namespace

ColumnFitter::ColumnFitter(QTableView& table, int stretchColumn, std::vector<int> yieldingColumns)
    : QObject(&table), table_(table), stretchColumn_(stretchColumn), yielding_(std::move(yieldingColumns)) {
    auto* header = table_.horizontalHeader();
    table_.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(48);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setSectionResizeMode(stretchColumn_, QHeaderView::Stretch);
    // Only the rows a view can show are measured, so a large inventory costs
    // no more than a small one.
    header->setResizeContentsPrecision(200);
    table_.viewport()->installEventFilter(this);
    if (auto* model = table_.model()) {
        connect(model, &QAbstractItemModel::modelReset, this, &ColumnFitter::scheduleFit);
        connect(model, &QAbstractItemModel::layoutChanged, this, &ColumnFitter::scheduleFit);
        connect(model, &QAbstractItemModel::rowsInserted, this, &ColumnFitter::scheduleFit);
    }
    scheduleFit();
}

bool ColumnFitter::eventFilter(QObject* watched, QEvent* event) {
    if (watched == table_.viewport() && (event->type() == QEvent::Resize || event->type() == QEvent::Show)) {
        fit();
    }
    return QObject::eventFilter(watched, event);
}

void ColumnFitter::scheduleFit() {
    if (scheduled_) {
        return;
    }
    scheduled_ = true;
    QTimer::singleShot(0, this, [this] {
        scheduled_ = false;
        fit();
    });
}

void ColumnFitter::fit() {
    // A hidden list (another section's) is fitted when it is shown; a
    // cleanup run republishes the inventory once per chunk.
    if (!table_.isVisible()) {
        return;
    }
    auto* header = table_.horizontalHeader();
    const int columns = header->count();
    std::vector<int> wants(static_cast<std::size_t>(columns), 0);
    for (int column = 0; column < columns; ++column) {
        if (column == stretchColumn_ || header->isSectionHidden(column)) {
            continue;
        }
        const int title = header->sectionSizeHint(column);
        // QTableView keeps it protected; the item view base answers the same.
        const int content = static_cast<const QAbstractItemView&>(table_).sizeHintForColumn(column);
        wants[static_cast<std::size_t>(column)] = std::max(title, content) + cellSlack;
    }
    const int available = table_.viewport()->width();
    int used = std::accumulate(wants.begin(), wants.end(), 0);
    // The yielding columns give way, in order, until the name has its minimum.
    for (const int column : yielding_) {
        const int over = used + nameMinimum - available;
        if (over <= 0) {
            break;
        }
        auto& want = wants[static_cast<std::size_t>(column)];
        const int give = std::min(over, std::max(0, want - yieldingMinimum));
        want -= give;
        used -= give;
    }
    for (int column = 0; column < columns; ++column) {
        if (column != stretchColumn_ && !header->isSectionHidden(column)) {
            header->resizeSection(column, wants[static_cast<std::size_t>(column)]);
        }
    }
}

}  // namespace kestrova::ui
