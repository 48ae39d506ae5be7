#include "ui/widgets/TableSelection.h"

#include <QItemSelectionModel>
#include <QTableView>

namespace kestrova::ui {

void selectRowLikeAClick(QTableView& table, const QModelIndex& index) {
    // A cleared selection keeps its current row, which then shows no
    // highlight; a row being clicked is current before it is selected, and
    // the view selects it itself.
    if (index.isValid() && (table.currentIndex().row() != index.row() || !table.selectionModel()->hasSelection())) {
        table.selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    table.scrollTo(index);
}

}  // namespace kestrova::ui
