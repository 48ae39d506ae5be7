#include "ui/widgets/ToggleSwitch.h"

#include "ui/widgets/Theme.h"

#include <QPainter>

namespace kestrova::ui {

ToggleSwitch::ToggleSwitch(QWidget* parent) : QAbstractButton(parent) {
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize ToggleSwitch::sizeHint() const { return {40, 22}; }

void ToggleSwitch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF track = QRectF(rect()).adjusted(1, 1, -1, -1);
    auto fill = isChecked() ? colors::success() : palette().color(QPalette::Mid);
    if (!isEnabled()) {
        fill.setAlphaF(0.4);
    }
    painter.setPen(hasFocus() ? QPen(palette().color(QPalette::Highlight), 1.5) : Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(track, track.height() / 2, track.height() / 2);
    const auto diameter = track.height() - 4;
    const auto x = isChecked() ? track.right() - 2 - diameter : track.left() + 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(isEnabled() ? QColor(0xF4, 0xF5, 0xF7) : QColor(0x9A, 0x9F, 0xA6));
    painter.drawEllipse(QRectF(x, track.top() + 2, diameter, diameter));
}

}  // namespace kestrova::ui
