#include "ui/widgets/StatusDelegate.h"

#include "ui/models/PluginTableModel.h"
#include "ui/widgets/Theme.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>

namespace kestrova::ui {

QColor statusTint(PluginStatus status) {
    switch (status) {
        case PluginStatus::ok:
            return colors::success();
        case PluginStatus::protected_:
        case PluginStatus::partiallyProtected:
        case PluginStatus::sharedShell:
        case PluginStatus::hostedByShell:
            return colors::accent();
        case PluginStatus::quarantined:
        case PluginStatus::partiallyQuarantined:
            return colors::warning();
        case PluginStatus::legacy:
            return colors::secondaryText();
    }
    return colors::secondaryText();
}

void StatusDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    const auto* widget = option.widget;
    auto* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);

    const auto text = index.data(Qt::DisplayRole).toString();
    const auto tint = statusTint(static_cast<PluginStatus>(index.data(PluginTableModel::statusRole).toInt()));
    auto font = option.font;
    font.setPointSizeF(font.pointSizeF() * 0.9);
    const QFontMetrics metrics(font);
    const int width = std::min(metrics.horizontalAdvance(text) + 16, option.rect.width() - 8);
    const int height = metrics.height() + 4;
    const QRect chip(option.rect.left() + 4, option.rect.center().y() - height / 2 + 1, width, height);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    QColor fill = tint;
    fill.setAlpha(46);
    QPainterPath path;
    path.addRoundedRect(QRectF(chip), height / 2.0, height / 2.0);
    painter->fillPath(path, fill);
    painter->setFont(font);
    painter->setPen(tint);
    painter->drawText(chip, Qt::AlignCenter, metrics.elidedText(text, Qt::ElideRight, chip.width() - 8));
    painter->restore();
}

}  // namespace kestrova::ui
