// Paints a product's status as a tinted chip inside its table cell, so the
// state of a row reads at a glance.
#pragma once

// moc cannot parse the standard headers the core's records pull in, and
// needs nothing from them.
#ifndef Q_MOC_RUN
#include "model/Plugin.h"
#endif

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
