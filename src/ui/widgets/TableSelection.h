// Selecting a table row from the program's side (a product chosen on another
// screen, a list refilled) the way a click would leave it.
#pragma once

class QModelIndex;
class QTableView;

namespace kestrova::ui {

// Makes `index`'s row current and the only one selected, and scrolls to it.
void selectRowLikeAClick(QTableView& table, const QModelIndex& index);

}  // namespace kestrova::ui
