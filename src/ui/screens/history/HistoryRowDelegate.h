// Paints one history operation as a card row: the kind's icon in a tinted
// square, the product with its format chips and bundle count, the summary
// underneath, and the time above the result on the right.
#pragma once

#include <QHash>
#include <QPixmap>
#include <QStyledItemDelegate>

namespace kestrova::ui {

class HistoryRowDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int rowHeight = 72;

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    // Rendering an SVG per row and paint would dominate a fast scroll.
    const QPixmap& icon(const QString& symbol, const QColor& tint) const;
    mutable QHash<QString, QPixmap> icons_;
};

}  // namespace kestrova::ui
