// Small touches screens share beyond the theme: symbols drawn in a status
// colour and the rounded card that groups a screen's rows under a titled
// header (with the prominent button style of a screen's main action).
#pragma once

#include "ui/widgets/ProminentButton.h"

#include <QColor>
#include <QFrame>
#include <QPixmap>
#include <QString>

#include <string_view>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace kestrova::ui {

// The symbol's artwork filled with `color`, `size` points square.
QPixmap tintedSymbol(std::string_view symbol, const QColor& color, int size);

class CardPanel final : public QFrame {
    Q_OBJECT
public:
    // Without a symbol and title the card has no header row.
    CardPanel(std::string_view symbol, const QString& title, QWidget* parent = nullptr);

    QVBoxLayout* body() const { return body_; }
    QLabel* titleLabel() const { return title_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* title_ = nullptr;
    QVBoxLayout* body_;
};

// A line of text on a faint band of its colour, hidden while it has no
// text: a failure or a result the screen keeps in view.
class InlineMessage final : public QFrame {
    Q_OBJECT
public:
    InlineMessage(std::string_view symbol, const QColor& tint, QWidget* parent = nullptr);
    void setMessage(const QString& text);
    QString message() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor tint_;
    QLabel* text_;
};

// "1" in a small circle beside a wrapped sentence.
QWidget* numberedStep(int number, const QString& text, QWidget* parent);
// A tinted symbol beside a wrapped sentence.
QWidget* symbolLine(std::string_view symbol, const QColor& tint, const QString& text, QWidget* parent);
// A label on the left and its value on the right; the value label is
// returned through `value` so the screen can update it.
QWidget* labelledRow(const QString& label, QLabel*& value, QWidget* parent);

}  // namespace kestrova::ui
