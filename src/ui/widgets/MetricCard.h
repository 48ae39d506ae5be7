// A summary card: a symbol, a title, a large value and a detail line. Screens
// keep the card and set its value (and, where it changes, its detail).
#pragma once

#include "ui/widgets/KestrovaStyle.h"

#include <QFrame>
#include <QString>

#include <string_view>

class QLabel;

namespace kestrova::ui {

class MetricCard final : public CardFrame {
    Q_OBJECT
public:
    MetricCard(std::string_view symbol, const QString& title, const QString& detail, QWidget* parent = nullptr);

    void setValue(const QString& value);
    void setDetail(const QString& detail);
    void setSymbol(std::string_view symbol);
    void setTint(const QColor& color);

    QString title() const;
    QString value() const;
    QString detail() const;

private:
    QLabel* icon_;
    QLabel* title_;
    QLabel* value_;
    QLabel* detail_;
    QString detailText_;
    QString valueText_;
    double valueScale_ = 1.5;
};

}  // namespace kestrova::ui
