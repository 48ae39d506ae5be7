#include "ui/widgets/CollapsibleGroup.h"

#include "ui/widgets/Theme.h"

#include <QToolButton>
#include <QVBoxLayout>

namespace kestrova::ui {

CollapsibleGroup::CollapsibleGroup(const QString& title, bool expanded, QWidget* parent)
    : CardFrame(parent), toggle_(new QToolButton(this)), content_(new QWidget(this)) {
    setObjectName(QStringLiteral("CollapsibleGroup"));

    toggle_->setText(title);
    toggle_->setCheckable(true);
    toggle_->setAutoRaise(true);
    toggle_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toggle_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto font = toggle_->font();
    font.setWeight(QFont::DemiBold);
    toggle_->setFont(font);

    contentLayout_ = new QVBoxLayout(content_);
    contentLayout_->setContentsMargins(22, 0, 0, 4);
    contentLayout_->setSpacing(6);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 6, 12, 8);
    layout->setSpacing(4);
    layout->addWidget(toggle_);
    layout->addWidget(content_);

    connect(toggle_, &QToolButton::toggled, this, &CollapsibleGroup::setExpanded);
    setExpanded(expanded);
}

void CollapsibleGroup::setTitle(const QString& title) { toggle_->setText(title); }
QString CollapsibleGroup::title() const { return toggle_->text(); }

void CollapsibleGroup::setExpanded(bool expanded) {
    toggle_->setChecked(expanded);
    toggle_->setArrowType(expanded ? Qt::DownArrow : Qt::RightArrow);
    content_->setVisible(expanded);
}

bool CollapsibleGroup::isExpanded() const { return toggle_->isChecked(); }

}  // namespace kestrova::ui
