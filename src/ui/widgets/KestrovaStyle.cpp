#include "ui/widgets/KestrovaStyle.h"

#include "ui/widgets/Theme.h"

#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStyleFactory>
#include <QStyleOption>
#include <QWidget>

namespace kestrova::ui {
namespace {

// A colour between the text and the background: visible on either without
// shouting, the unticked border of every indicator.
QColor outline(const QPalette& palette, bool enabled) {
    auto color = palette.color(QPalette::Text);
    color.setAlphaF(enabled ? 0.62f : 0.3f);
    return color;
}

QColor onAccent() { return {0x16, 0x18, 0x1C}; }

QRectF indicatorRect(const QRect& rect) {
    const qreal side = std::min(rect.width(), rect.height()) - 2;
    return {rect.center().x() - side / 2.0 + 0.5, rect.center().y() - side / 2.0 + 0.5, side, side};
}

void drawCheck(QPainter& painter, const QStyleOption& option) {
    const bool enabled = option.state & QStyle::State_Enabled;
    const bool on = option.state & QStyle::State_On;
    const bool mixed = option.state & QStyle::State_NoChange;
    const auto box = indicatorRect(option.rect);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    auto accent = colors::accent();
    if (!enabled) {
        accent.setAlphaF(0.45f);
    }
    if (on || mixed) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(accent);
        painter.drawRoundedRect(box, 3.5, 3.5);
        QPen mark(onAccent(), 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        painter.setPen(mark);
        if (mixed) {
            painter.drawLine(QPointF(box.left() + box.width() * 0.27, box.center().y()),
                             QPointF(box.right() - box.width() * 0.27, box.center().y()));
        } else {
            QPainterPath tick;
            tick.moveTo(box.left() + box.width() * 0.24, box.top() + box.height() * 0.52);
            tick.lineTo(box.left() + box.width() * 0.43, box.top() + box.height() * 0.72);
            tick.lineTo(box.left() + box.width() * 0.77, box.top() + box.height() * 0.30);
            painter.setBrush(Qt::NoBrush);
            painter.drawPath(tick);
        }
    } else {
        painter.setBrush(option.palette.color(QPalette::Base));
        auto border = outline(option.palette, enabled);
        if (option.state & QStyle::State_MouseOver && enabled) {
            border = colors::accent();
        }
        painter.setPen(QPen(border, 1.5));
        painter.drawRoundedRect(box.adjusted(0.75, 0.75, -0.75, -0.75), 3.5, 3.5);
    }
    painter.restore();
}

void drawRadio(QPainter& painter, const QStyleOption& option) {
    const bool enabled = option.state & QStyle::State_Enabled;
    const bool on = option.state & QStyle::State_On;
    const auto box = indicatorRect(option.rect);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    auto accent = colors::accent();
    if (!enabled) {
        accent.setAlphaF(0.45f);
    }
    if (on) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(accent);
        painter.drawEllipse(box);
        painter.setBrush(onAccent());
        const qreal dot = box.width() * 0.36;
        painter.drawEllipse(box.center(), dot / 2.0, dot / 2.0);
    } else {
        auto border = outline(option.palette, enabled);
        if (option.state & QStyle::State_MouseOver && enabled) {
            border = colors::accent();
        }
        painter.setBrush(option.palette.color(QPalette::Base));
        painter.setPen(QPen(border, 1.5));
        painter.drawEllipse(box.adjusted(0.75, 0.75, -0.75, -0.75));
    }
    painter.restore();
}

void drawButtonPanel(QPainter& painter, const QStyleOption& option) {
    const bool enabled = option.state & QStyle::State_Enabled;
    auto fill = option.palette.color(QPalette::Button);
    const bool dark = fill.lightness() < 128;
    if (option.state & QStyle::State_Sunken) {
        fill = dark ? fill.darker(115) : fill.darker(110);
    } else if (enabled && option.state & QStyle::State_MouseOver) {
        fill = dark ? fill.lighter(118) : fill.darker(104);
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(fill);
    auto border = option.palette.color(QPalette::Mid);
    painter.setPen(QPen(border, 1.0));
    painter.drawRoundedRect(QRectF(option.rect).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    painter.restore();
}

void drawFocusRing(QPainter& painter, const QRect& rect, qreal radius) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(colors::accent(), 2.0));
    painter.drawRoundedRect(QRectF(rect).adjusted(1, 1, -1, -1), radius, radius);
    painter.restore();
}

}  // namespace

KestrovaStyle::KestrovaStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

void KestrovaStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                  const QWidget* widget) const {
    switch (element) {
        case PE_IndicatorCheckBox:
        case PE_IndicatorItemViewItemCheck:
            drawCheck(*painter, *option);
            return;
        case PE_IndicatorRadioButton:
            drawRadio(*painter, *option);
            return;
        case PE_PanelButtonCommand:
            drawButtonPanel(*painter, *option);
            if (option->state & State_HasFocus && option->state & State_KeyboardFocusChange) {
                drawFocusRing(*painter, option->rect, 6);
            }
            return;
        case PE_FrameFocusRect:
            // Buttons draw their ring with the panel; everything else gets one
            // that reads on either palette.
            if (qobject_cast<const QPushButton*>(widget) == nullptr) {
                drawFocusRing(*painter, option->rect, 3);
            }
            return;
        default:
            QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
}

void KestrovaStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                                const QWidget* widget) const {
    if (element == CE_HeaderSection) {
        // Flat headers with one rule under them, as the cards and lists are flat.
        painter->fillRect(option->rect, option->palette.color(QPalette::Window));
        painter->setPen(option->palette.color(QPalette::Mid));
        painter->drawLine(option->rect.bottomLeft(), option->rect.bottomRight());
        return;
    }
    if (element == CE_HeaderLabel) {
        // A column squeezed below its title says so with an ellipsis rather
        // than cutting the word. Each kind of option is copied as itself.
        const auto drawElided = [&](auto header) {
            int width = header.rect.width();
            if (!header.icon.isNull()) {
                width -= proxy()->pixelMetric(PM_SmallIconSize, option, widget) + 2;
            }
            header.text = painter->fontMetrics().elidedText(header.text, Qt::ElideRight, width);
            QProxyStyle::drawControl(element, &header, painter, widget);
        };
        if (const auto* header = qstyleoption_cast<const QStyleOptionHeaderV2*>(option)) {
            drawElided(QStyleOptionHeaderV2(*header));
            return;
        }
        if (const auto* header = qstyleoption_cast<const QStyleOptionHeader*>(option)) {
            drawElided(QStyleOptionHeader(*header));
            return;
        }
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

int KestrovaStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const {
    switch (metric) {
        case PM_IndicatorWidth:
        case PM_IndicatorHeight:
        case PM_ExclusiveIndicatorWidth:
        case PM_ExclusiveIndicatorHeight:
            return 16;
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

void paintCard(QWidget& widget, bool bordered) {
    QPainter painter(&widget);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(colors::cardBackground());
    if (bordered) {
        painter.setPen(QPen(widget.palette().color(QPalette::Mid), 1.0));
    } else {
        painter.setPen(Qt::NoPen);
    }
    painter.drawRoundedRect(QRectF(widget.rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
}

}  // namespace kestrova::ui
