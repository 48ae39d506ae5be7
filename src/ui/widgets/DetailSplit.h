// A list beside its inspector, as the Inventory, Protected and Quarantine
// screens show them: the inspector takes what its cards need (less in a
// small window, a little more in a large one) and the list takes the rest,
// so its columns have the room.
#pragma once

#include <QSplitter>

namespace kestrova::ui {

class DetailSplit final : public QSplitter {
    Q_OBJECT
public:
    static constexpr int narrowest = 260;
    static constexpr int widest = 360;

    DetailSplit(QWidget* list, QWidget* inspector, QWidget* parent = nullptr);

    // The inspector's width in a split this wide.
    static int inspectorWidth(int width);

protected:
    void resizeEvent(QResizeEvent* event) override;
};

}  // namespace kestrova::ui
