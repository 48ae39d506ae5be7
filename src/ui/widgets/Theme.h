// The look shared by every screen: symbol icons and brand images from the
// bundled resources, the window's preferred dark palette, and the few
// accent colours screens use for status. Colours otherwise come from the
// palette, so a light desktop palette still reads.
#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>

#include <string_view>

class QApplication;
class QLabel;
class QWidget;

namespace kestrova::ui {

// The icon drawn for a system symbol name ("shield.checkered"); a plain
// circle for a name without artwork.
QIcon symbolIcon(std::string_view symbol);
// A brand image ("kestrova-wordmark") at `size`, or a null pixmap when the
// resources do not have it.
QPixmap brandImage(std::string_view name, QSize size);

// The window's own style over Fusion, with a dark palette: the colour
// scheme the window prefers.
void applyPreferredStyle(QApplication& application);

namespace colors {
QColor accent();
QColor success();
QColor warning();
QColor danger();
QColor cardBackground();
QColor secondaryText();
}  // namespace colors

// Text styles for labels.
void makeTitle(QLabel& label, double scale = 1.6);
void makeSemibold(QLabel& label);
void makeSecondary(QLabel& label);
void makeCaption(QLabel& label);
// A word-wrapped label in one of the styles above.
QLabel* wrappedLabel(const QString& text, void (*style)(QLabel&), QWidget* parent);

}  // namespace kestrova::ui
