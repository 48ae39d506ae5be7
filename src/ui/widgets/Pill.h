// A small rounded label: sidebar counts, format chips, state badges.
#pragma once

#include <QColor>
#include <QLabel>

namespace kestrova::ui {

class Pill final : public QLabel {
    Q_OBJECT
public:
    explicit Pill(const QString& text, QWidget* parent = nullptr);
    // Fills the pill with `color` at low opacity and draws the text in it.
    void setTint(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor background_;
    QColor foreground_;
};

}  // namespace kestrova::ui
