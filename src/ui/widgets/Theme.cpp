#include "ui/widgets/Theme.h"

#include "ui/widgets/KestrovaStyle.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QSvgRenderer>

namespace kestrova::ui {
namespace {

QString resourcePath(std::string_view folder, std::string_view name) {
    return QStringLiteral(":/%1/%2.svg")
        .arg(QString::fromUtf8(folder.data(), static_cast<qsizetype>(folder.size())),
             QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
}

}  // namespace

QIcon symbolIcon(std::string_view symbol) {
    const auto path = resourcePath("icons", symbol);
    return QFile::exists(path) ? QIcon(path) : QIcon(resourcePath("icons", "circle"));
}

QPixmap brandImage(std::string_view name, QSize size) {
    QSvgRenderer renderer(resourcePath("brand", name));
    if (!renderer.isValid()) {
        return {};
    }
    QPixmap pixmap(size * 2);
    pixmap.setDevicePixelRatio(2.0);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return pixmap;
}

void applyPreferredStyle(QApplication& application) {
    application.setStyle(new KestrovaStyle);
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0x1E, 0x21, 0x26));
    palette.setColor(QPalette::WindowText, QColor(0xE8, 0xEA, 0xED));
    palette.setColor(QPalette::Base, QColor(0x17, 0x19, 0x1D));
    palette.setColor(QPalette::AlternateBase, QColor(0x22, 0x25, 0x2B));
    palette.setColor(QPalette::ToolTipBase, QColor(0x2B, 0x2F, 0x36));
    palette.setColor(QPalette::ToolTipText, QColor(0xE8, 0xEA, 0xED));
    palette.setColor(QPalette::PlaceholderText, QColor(0x8A, 0x90, 0x99));
    palette.setColor(QPalette::Text, QColor(0xE8, 0xEA, 0xED));
    palette.setColor(QPalette::Button, QColor(0x2B, 0x2F, 0x36));
    palette.setColor(QPalette::ButtonText, QColor(0xE8, 0xEA, 0xED));
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::Highlight, QColor(0x2F, 0x6F, 0xB3));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(0x6C, 0xB4, 0xFF));
    palette.setColor(QPalette::Mid, QColor(0x3A, 0x3F, 0x47));
    palette.setColor(QPalette::Dark, QColor(0x12, 0x14, 0x17));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0x6B, 0x71, 0x7A));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x6B, 0x71, 0x7A));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x6B, 0x71, 0x7A));
    application.setPalette(palette);
}

namespace colors {
QColor accent() { return {0xF5, 0xA6, 0x23}; }
QColor success() { return {0x4C, 0xC3, 0x8A}; }
QColor warning() { return {0xF2, 0xB7, 0x05}; }
QColor danger() { return {0xE5, 0x5B, 0x5B}; }
QColor cardBackground() {
    // A step away from the window colour, whichever way the palette runs.
    const auto window = QApplication::palette().color(QPalette::Window);
    return window.lightness() < 128 ? window.lighter(125) : window.darker(106);
}
QColor secondaryText() {
    auto text = QApplication::palette().color(QPalette::WindowText);
    text.setAlphaF(0.65f);
    return text;
}
}  // namespace colors

void makeTitle(QLabel& label, double scale) {
    auto font = label.font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * scale);
    label.setFont(font);
}

void makeSemibold(QLabel& label) {
    auto font = label.font();
    font.setWeight(QFont::DemiBold);
    label.setFont(font);
}

void makeSecondary(QLabel& label) {
    auto palette = label.palette();
    palette.setColor(QPalette::WindowText, colors::secondaryText());
    label.setPalette(palette);
}

void makeCaption(QLabel& label) {
    auto font = label.font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    label.setFont(font);
    makeSecondary(label);
}

QLabel* wrappedLabel(const QString& text, void (*style)(QLabel&), QWidget* parent) {
    auto* label = new QLabel(text, parent);
    style(*label);
    label->setWordWrap(true);
    return label;
}

}  // namespace kestrova::ui
