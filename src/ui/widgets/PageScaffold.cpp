#include "ui/widgets/PageScaffold.h"

#include <QScrollArea>
#include <QVBoxLayout>

namespace kestrova::ui {

QVBoxLayout* makePage(QWidget& screen, PageScroll scroll, int spacing) {
    QWidget* page = &screen;
    if (scroll == PageScroll::vertical) {
        auto* outer = new QVBoxLayout(&screen);
        outer->setContentsMargins(0, 0, 0, 0);
        auto* area = new QScrollArea(&screen);
        area->setObjectName(QStringLiteral("PageScroll"));
        area->setWidgetResizable(true);
        area->setFrameShape(QFrame::NoFrame);
        area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        outer->addWidget(area);
        page = new QWidget(area);
        area->setWidget(page);
    }
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->setSpacing(spacing);
    return layout;
}

}  // namespace kestrova::ui
