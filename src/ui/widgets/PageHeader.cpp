#include "ui/widgets/PageHeader.h"

#include "ui/widgets/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace kestrova::ui {

PageHeader::PageHeader(const QString& title, const QString& subtitle, QWidget* parent)
    : QWidget(parent), title_(new QLabel(title, this)), subtitle_(new QLabel(subtitle, this)) {
    makeTitle(*title_);
    makeSecondary(*subtitle_);
    subtitle_->setWordWrap(true);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(title_);
    texts->addWidget(subtitle_);
    trailing_ = new QHBoxLayout;
    trailing_->setSpacing(8);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addLayout(texts, 1);
    row->addLayout(trailing_);
}

void PageHeader::addTrailing(QWidget* widget) {
    widget->setParent(this);
    trailing_->addWidget(widget, 0, Qt::AlignTop);
}

}  // namespace kestrova::ui
