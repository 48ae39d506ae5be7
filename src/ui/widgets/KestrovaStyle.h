// The window's one look for the controls Qt draws itself: buttons, table
// headers, check boxes and radio buttons, and the focus ring. Built on
// Fusion, with every colour taken from the palette and the accent, so the
// controls read in a dark and in a light palette alike.
#pragma once

#include <QFrame>
#include <QProxyStyle>

namespace kestrova::ui {

class KestrovaStyle final : public QProxyStyle {
    Q_OBJECT
public:
    KestrovaStyle();

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
};

// The rounded card background every card and panel draws.
void paintCard(QWidget& widget, bool bordered = true);

// A frame drawn as a card: what every card, panel and row of cards is.
class CardFrame : public QFrame {
    Q_OBJECT
public:
    explicit CardFrame(QWidget* parent = nullptr) : QFrame(parent) { setFrameShape(QFrame::NoFrame); }

protected:
    void paintEvent(QPaintEvent*) override { paintCard(*this); }
};

}  // namespace kestrova::ui
