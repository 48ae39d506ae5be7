#include "ui/screens/history/HistoryRowDelegate.h"

#include "ui/models/HistoryOperationModel.h"
#include "ui/widgets/Accents.h"
#include "ui/widgets/Theme.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>

namespace kestrova::ui {
namespace {

constexpr int margin = 4;
constexpr int iconBox = 38;

// A rounded chip with its text; returns its width.
int drawChip(QPainter& painter, QPoint topLeft, const QString& text, const QColor& tint, const QFont& font) {
    const QFontMetrics metrics(font);
    const QRect box(topLeft, QSize(metrics.horizontalAdvance(text) + 14, metrics.height() + 4));
    QPainterPath path;
    path.addRoundedRect(QRectF(box), box.height() / 2.0, box.height() / 2.0);
    auto fill = tint;
    fill.setAlpha(46);
    painter.fillPath(path, fill);
    painter.setFont(font);
    painter.setPen(tint);
    painter.drawText(box, Qt::AlignCenter, text);
    return box.width();
}

QColor resultTint(const QString& result) {
    if (result == QStringLiteral("Successful")) {
        return colors::success();
    }
    if (result == QStringLiteral("Partially Completed")) {
        return colors::warning();
    }
    return colors::secondaryText();
}

}  // namespace

const QPixmap& HistoryRowDelegate::icon(const QString& symbol, const QColor& tint) const {
    const auto key = symbol + tint.name();
    auto found = icons_.find(key);
    if (found == icons_.end()) {
        found = icons_.insert(key, tintedSymbol(symbol.toStdString(), tint, 20));
    }
    return *found;
}

void HistoryRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    using Role = HistoryOperationModel::Role;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const auto palette = QApplication::palette();
    const QRect card = option.rect.adjusted(0, margin, -2, -margin);

    QPainterPath background;
    background.addRoundedRect(QRectF(card), 9, 9);
    auto fill = colors::cardBackground();
    if (option.state & QStyle::State_Selected) {
        fill = fill.lighter(125);
    } else if (option.state & QStyle::State_MouseOver) {
        fill = fill.lighter(110);
    }
    painter->fillPath(background, fill);

    const auto tint = index.data(Role::tintRole).value<QColor>();
    const QRect square(card.left() + 14, card.center().y() - iconBox / 2, iconBox, iconBox);
    QPainterPath squarePath;
    squarePath.addRoundedRect(QRectF(square), 9, 9);
    auto squareFill = tint;
    squareFill.setAlpha(40);
    painter->fillPath(squarePath, squareFill);
    const auto& symbol = icon(index.data(Role::symbolRole).toString(), tint);
    painter->drawPixmap(square.center().x() - 10 + 1, square.center().y() - 10 + 1, symbol);

    const QFont base = option.font;
    QFont bold = base;
    bold.setWeight(QFont::DemiBold);
    bold.setPointSizeF(base.pointSizeF() * 1.05);
    QFont small = base;
    small.setPointSizeF(base.pointSizeF() * 0.85);
    const QFontMetrics boldMetrics(bold);
    const QFontMetrics baseMetrics(base);
    const QFontMetrics smallMetrics(small);

    // Right column: time over result.
    const int rightWidth = 170;
    const QRect right(card.right() - rightWidth - 14, card.top() + 12, rightWidth, card.height() - 24);
    painter->setFont(base);
    painter->setPen(colors::secondaryText());
    painter->drawText(right, Qt::AlignRight | Qt::AlignTop, index.data(Role::timeRole).toString());
    const auto result = index.data(Role::resultRole).toString();
    const int resultWidth = smallMetrics.horizontalAdvance(result) + 14;
    drawChip(*painter, QPoint(right.right() - resultWidth + 1, right.bottom() - smallMetrics.height() - 3), result,
             resultTint(result), small);

    // Left column: product, chips and count over the summary.
    const int textLeft = square.right() + 14;
    const int textRight = right.left() - 16;
    int x = textLeft;
    const int firstLine = card.top() + 12;
    painter->setFont(bold);
    painter->setPen(palette.color(QPalette::WindowText));
    const auto product = boldMetrics.elidedText(index.data(Role::productRole).toString(), Qt::ElideRight,
                                                std::max(40, (textRight - textLeft) / 2));
    painter->drawText(QPoint(x, firstLine + boldMetrics.ascent()), product);
    x += boldMetrics.horizontalAdvance(product) + 10;
    const int chipTop = firstLine + (boldMetrics.height() - smallMetrics.height() - 4) / 2;
    for (const auto& format : index.data(Role::formatsRole).toStringList()) {
        if (x + smallMetrics.horizontalAdvance(format) + 14 > textRight) {
            break;
        }
        x += drawChip(*painter, QPoint(x, chipTop), format, palette.color(QPalette::WindowText), small) + 6;
    }
    const auto bundles = index.data(Role::bundleLabelRole).toString();
    if (!bundles.isEmpty() && x + smallMetrics.horizontalAdvance(bundles) < textRight) {
        painter->setFont(small);
        painter->setPen(colors::secondaryText());
        painter->drawText(QPoint(x + 4, firstLine + (boldMetrics.height() + smallMetrics.ascent()) / 2 - 1), bundles);
    }

    painter->setFont(base);
    painter->setPen(colors::secondaryText());
    const auto summary =
        baseMetrics.elidedText(index.data(Role::summaryRole).toString(), Qt::ElideRight, textRight - textLeft);
    painter->drawText(QPoint(textLeft, card.bottom() - 12 - baseMetrics.descent()), summary);
    painter->restore();
}

QSize HistoryRowDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const { return {400, rowHeight}; }

}  // namespace kestrova::ui
