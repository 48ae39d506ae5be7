// Keys a list answers beyond what Qt's views do: Return opens the focused
// row's action, Space ticks the focused row's box whatever column the focus
// is in. Installed on the view; other keys go on to it as usual.
#pragma once

#include <QObject>

#include <functional>

class QAbstractItemView;

namespace kestrova::ui {

class KeyActions final : public QObject {
    Q_OBJECT
public:
    explicit KeyActions(QAbstractItemView& view);

    // Return or Enter on a focused row runs `action` with that row.
    KeyActions& onReturn(std::function<void(int row)> action);
    // Space toggles the check state of the focused row's cell in `column`.
    KeyActions& spaceTicks(int column);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAbstractItemView& view_;
    std::function<void(int)> onReturn_;
    int tickColumn_ = -1;
};

}  // namespace kestrova::ui
