#include "ui/app/Sidebar.h"

#include "ui/app/QtText.h"
#include "ui/widgets/Pill.h"
#include "ui/widgets/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace kestrova::ui {
namespace {

std::size_t indexOf(AppSection section) { return static_cast<std::size_t>(section); }

QWidget* brandHeader(QWidget* parent, bool& showsWordmark) {
    auto* header = new QLabel(parent);
    const auto wordmark = brandImage("kestrova-wordmark", QSize(200, 44));
    showsWordmark = !wordmark.isNull();
    if (showsWordmark) {
        header->setPixmap(wordmark);
        header->setAccessibleName(QStringLiteral("Kestrova — Find Plugins. Not Frustration."));
    } else {
        header->setText(QStringLiteral("Kestrova"));
        makeTitle(*header, 1.4);
    }
    header->setContentsMargins(12, 14, 12, 10);
    return header;
}

QWidget* footer(QWidget* parent) {
    auto* box = new QWidget(parent);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(14, 8, 14, 14);
    auto* promise = new QLabel(QStringLiteral("Reversible quarantine. No permanent deletion."), box);
    promise->setWordWrap(true);
    makeCaption(*promise);
    layout->addWidget(promise);
    auto* row = new QHBoxLayout;
    auto* mark = new QLabel(box);
    mark->setPixmap(brandImage("kestrova-app-mark", QSize(28, 28)));
    mark->setFixedSize(28, 28);
    row->addWidget(mark);
    auto* safe = new QLabel(QStringLiteral("Safe by design"), box);
    makeSemibold(*safe);
    row->addWidget(safe, 1);
    layout->addLayout(row);
    return box;
}

}  // namespace

Sidebar::Sidebar(QWidget* parent) : QWidget(parent), list_(new QListWidget(this)) {
    setMinimumWidth(235);
    setMaximumWidth(285);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(brandHeader(this, showsWordmark_));
    list_->setFrameShape(QFrame::NoFrame);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setIconSize(QSize(18, 18));
    list_->setSpacing(1);
    for (const auto section : allSections) {
        auto* item = new QListWidgetItem(list_);
        item->setSizeHint(QSize(0, 34));
        item->setData(Qt::AccessibleTextRole, toQString(title(section)));
        auto* row = new QWidget(list_);
        auto* rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(10, 2, 10, 2);
        auto* icon = new QLabel(row);
        icon->setPixmap(symbolIcon(symbol(section)).pixmap(18, 18));
        rowLayout->addWidget(icon);
        rowLayout->addWidget(new QLabel(toQString(title(section)), row), 1);
        if (hasBadge(section)) {
            auto* badge = new Pill(QStringLiteral("0"), row);
            badges_[indexOf(section)] = badge;
            rowLayout->addWidget(badge);
        }
        row->setAttribute(Qt::WA_TransparentForMouseEvents);
        list_->setItemWidget(item, row);
    }
    layout->addWidget(list_, 1);
    layout->addWidget(footer(this));
    connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0 && row < static_cast<int>(allSections.size())) {
            emit sectionSelected(allSections[static_cast<std::size_t>(row)]);
        }
    });
}

void Sidebar::setCounts(const SidebarCounts& counts) {
    const auto set = [this](AppSection section, int count) {
        badges_[indexOf(section)]->setText(QString::number(count));
    };
    set(AppSection::inventory, counts.inventory);
    set(AppSection::protected_, counts.protectedCount);
    set(AppSection::quarantine, counts.quarantine);
    set(AppSection::trashRecovery, counts.trashRecovery);
    set(AppSection::history, counts.history);
}

void Sidebar::setSection(AppSection section) { list_->setCurrentRow(static_cast<int>(indexOf(section))); }

std::optional<AppSection> Sidebar::section() const {
    const int row = list_->currentRow();
    if (row < 0) {
        return std::nullopt;
    }
    return allSections[static_cast<std::size_t>(row)];
}

std::optional<QString> Sidebar::badgeText(AppSection section) const {
    const auto* badge = badges_[indexOf(section)];
    if (!badge) {
        return std::nullopt;
    }
    return badge->text();
}

}  // namespace kestrova::ui
