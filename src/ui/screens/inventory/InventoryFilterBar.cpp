#include "ui/screens/inventory/InventoryFilterBar.h"

#include "model/Plugin.h"
#include "ui/app/QtText.h"
#include "ui/models/PluginTableModel.h"
#include "ui/widgets/Theme.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <set>

namespace kestrova::ui {
namespace {

QComboBox* filterMenu(const QString& name, QWidget* parent) {
    auto* menu = new QComboBox(parent);
    menu->setObjectName(name + QStringLiteral("Menu"));
    menu->setToolTip(name);
    menu->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    menu->setMinimumContentsLength(9);
    menu->addItem(allValues);
    return menu;
}

// "All" followed by the values, in plain string order.
void refillMenu(QComboBox& menu, const std::set<std::string>& values) {
    const auto current = menu.currentText();
    const QSignalBlocker blocker(menu);
    menu.clear();
    menu.addItem(allValues);
    for (const auto& value : values) {
        menu.addItem(toQString(value));
    }
    const int index = menu.findText(current);
    menu.setCurrentIndex(index < 0 ? 0 : index);
}

std::optional<std::string> menuValue(const QComboBox& menu) {
    if (menu.currentIndex() <= 0) {
        return std::nullopt;
    }
    return menu.currentText().toStdString();
}

}  // namespace

InventoryFilterBar::InventoryFilterBar(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);

    search_ = new QLineEdit(this);
    search_->setObjectName(QStringLiteral("SearchField"));
    search_->setPlaceholderText(QStringLiteral("Search plugins…"));
    search_->setClearButtonEnabled(true);
    search_->addAction(symbolIcon("magnifyingglass"), QLineEdit::LeadingPosition)->setText(QStringLiteral("Search"));
    if (auto* clear = search_->findChild<QAction*>(QStringLiteral("_q_qlineeditclearaction"))) {
        clear->setText(QStringLiteral("Clear Search"));
    }
    search_->setAccessibleName(QStringLiteral("Search plugins"));
    // The menus' row is full at the smallest window; extras sit beside the search.
    searchRow_ = new QHBoxLayout;
    searchRow_->setSpacing(8);
    searchRow_->addWidget(search_, 1);
    layout->addLayout(searchRow_);

    auto* filters = new QHBoxLayout;
    filters->setSpacing(8);
    formatMenu_ = filterMenu(QStringLiteral("Format"), this);
    manufacturerMenu_ = filterMenu(QStringLiteral("Manufacturer"), this);
    architectureMenu_ = filterMenu(QStringLiteral("Architecture"), this);
    statusMenu_ = filterMenu(QStringLiteral("Status"), this);
    for (auto* menu : {formatMenu_, manufacturerMenu_, architectureMenu_, statusMenu_}) {
        auto* label = new QLabel(menu->toolTip(), this);
        makeCaption(*label);
        filters->addWidget(label);
        filters->addWidget(menu);
        connect(menu, &QComboBox::currentIndexChanged, this, &InventoryFilterBar::menusChanged);
    }
    filters->addStretch(1);
    layout->addLayout(filters);
}

void InventoryFilterBar::refill(const PluginTableModel& products, bool offerDuplicates) {
    std::set<std::string> formats;
    std::set<std::string> manufacturers;
    std::set<std::string> architectures;
    std::set<std::string> statuses;
    for (const auto& row : products.rows()) {
        formats.insert(row.product.formats.begin(), row.product.formats.end());
        manufacturers.insert(row.product.manufacturer);
        architectures.insert(row.product.architecture);
        statuses.insert(std::string(rawValue(row.product.status)));
    }
    if (offerDuplicates) {
        statuses.insert(std::string(duplicatesStatus));
    }
    refillMenu(*formatMenu_, formats);
    refillMenu(*manufacturerMenu_, manufacturers);
    refillMenu(*architectureMenu_, architectures);
    refillMenu(*statusMenu_, statuses);
}

InventoryFilterCriteria InventoryFilterBar::criteria(const QString& query) const {
    return {query, menuValue(*formatMenu_), menuValue(*manufacturerMenu_), menuValue(*architectureMenu_),
            menuValue(*statusMenu_)};
}

void InventoryFilterBar::resetMenus() {
    for (auto* menu : {formatMenu_, manufacturerMenu_, architectureMenu_, statusMenu_}) {
        const QSignalBlocker blocker(menu);
        menu->setCurrentIndex(0);
    }
}

void InventoryFilterBar::chooseStatus(const QString& status) {
    statusMenu_->setCurrentIndex(std::max(0, statusMenu_->findText(status)));
}

void InventoryFilterBar::addTrailing(QWidget* widget) { searchRow_->addWidget(widget); }

}  // namespace kestrova::ui
