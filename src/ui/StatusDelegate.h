// Paints a product's status as a tinted chip inside its table cell, so the
// state of a row reads at a glance.
#pragma once

#include "model/Plugin.h"

#include <QColor>
#include <QStyledItemDelegate>

namespace kestrova::ui {

// The colour a status is shown in.
QColor statusTint(PluginStatus status);

class StatusDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace kestrova::ui
