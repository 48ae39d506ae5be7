// The header every screen opens with: a large title, a subtitle, and room on
// the right for the screen's header buttons.
#pragma once

#include <QWidget>

class QHBoxLayout;
class QLabel;

namespace kestrova::ui {

class PageHeader final : public QWidget {
    Q_OBJECT
public:
    PageHeader(const QString& title, const QString& subtitle, QWidget* parent = nullptr);

    // Adds a widget (usually a button) to the right-hand side, in order.
    void addTrailing(QWidget* widget);
    QLabel* titleLabel() const { return title_; }
    QLabel* subtitleLabel() const { return subtitle_; }

private:
    QLabel* title_;
    QLabel* subtitle_;
    QHBoxLayout* trailing_;
};

}  // namespace kestrova::ui
