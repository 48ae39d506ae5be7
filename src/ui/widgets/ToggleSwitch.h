// An on/off switch: a checkable button drawn as a sliding knob, for
// settings that take effect as soon as they are flipped.
#pragma once

#include <QAbstractButton>

namespace kestrova::ui {

class ToggleSwitch final : public QAbstractButton {
    Q_OBJECT
public:
    explicit ToggleSwitch(QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace kestrova::ui
