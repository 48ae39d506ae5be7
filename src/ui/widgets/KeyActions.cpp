#include "ui/widgets/KeyActions.h"

#include <QAbstractItemView>
#include <QKeyEvent>

namespace kestrova::ui {

KeyActions::KeyActions(QAbstractItemView& view) : QObject(&view), view_(view) { view_.installEventFilter(this); }

KeyActions& KeyActions::onReturn(std::function<void(int row)> action) {
    onReturn_ = std::move(action);
    return *this;
}

KeyActions& KeyActions::spaceTicks(int column) {
    tickColumn_ = column;
    return *this;
}

bool KeyActions::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &view_ || event->type() != QEvent::KeyPress) {
        return QObject::eventFilter(watched, event);
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & ~Qt::KeypadModifier) {
        return false;
    }
    const auto current = view_.currentIndex();
    if (!current.isValid()) {
        return false;
    }
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && onReturn_) {
        onReturn_(current.row());
        return true;
    }
    if (key->key() == Qt::Key_Space && tickColumn_ >= 0) {
        const auto cell = current.siblingAtColumn(tickColumn_);
        if (!(cell.flags() & Qt::ItemIsUserCheckable) || !(cell.flags() & Qt::ItemIsEnabled)) {
            return true;
        }
        const auto state = cell.data(Qt::CheckStateRole).value<Qt::CheckState>();
        view_.model()->setData(cell, state == Qt::Checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
        return true;
    }
    return false;
}

}  // namespace kestrova::ui
