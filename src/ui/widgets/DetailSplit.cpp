#include "ui/widgets/DetailSplit.h"

#include <QResizeEvent>

#include <algorithm>

namespace kestrova::ui {

DetailSplit::DetailSplit(QWidget* list, QWidget* inspector, QWidget* parent) : QSplitter(Qt::Horizontal, parent) {
    setChildrenCollapsible(false);
    addWidget(list);
    addWidget(inspector);
    setStretchFactor(0, 1);
    setStretchFactor(1, 0);
    inspector->setMinimumWidth(narrowest);
}

int DetailSplit::inspectorWidth(int width) { return std::clamp(width * 3 / 10, narrowest, widest); }

void DetailSplit::resizeEvent(QResizeEvent* event) {
    QSplitter::resizeEvent(event);
    const int width = event->size().width() - handleWidth();
    const int inspector = inspectorWidth(width);
    setSizes({width - inspector, inspector});
}

}  // namespace kestrova::ui
