#include "ui/widgets/Pill.h"

#include <QPainter>
#include <QPainterPath>

namespace kestrova::ui {

Pill::Pill(const QString& text, QWidget* parent)
    : QLabel(text, parent), background_(255, 255, 255, 26), foreground_(palette().color(QPalette::WindowText)) {
    setContentsMargins(7, 3, 7, 3);
    setAlignment(Qt::AlignCenter);
    auto font = this->font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    font.setStyleHint(QFont::Monospace);
    setFont(font);
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Maximum);
}

void Pill::setTint(const QColor& color) {
    background_ = color;
    background_.setAlpha(46);
    foreground_ = color;
    update();
}

void Pill::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = rect();
    QPainterPath path;
    path.addRoundedRect(box, box.height() / 2, box.height() / 2);
    painter.fillPath(path, background_);
    painter.setPen(foreground_);
    painter.drawText(contentsRect(), Qt::AlignCenter, text());
}

}  // namespace kestrova::ui
