#include "ui/widgets/ProductList.h"

#include "ui/widgets/DetailPanel.h"
#include "ui/widgets/StatusDelegate.h"
#include "ui/widgets/TableSelection.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrova::ui {

ProductList::ProductList(const std::vector<PluginTableModel::Column>& columns, QWidget* parent)
    : QWidget(parent), sorted_(new QSortFilterProxyModel(this)), table_(new QTableView(this)) {
    sorted_->setSourceModel(&model_);
    sorted_->setSortRole(PluginTableModel::sortRole);
    table_->setModel(sorted_);
    configureProductTable(*table_);
    table_->setItemDelegateForColumn(PluginTableModel::status, new StatusDelegate(table_));
    for (int column = 0; column < PluginTableModel::numberOfColumns; ++column) {
        const bool shown = std::find(columns.begin(), columns.end(), column) != columns.end();
        table_->setColumnHidden(column, !shown);
    }
    // The shown columns stand in the order given.
    auto* header = table_->horizontalHeader();
    for (int place = 0; place < static_cast<int>(columns.size()); ++place) {
        header->moveSection(header->visualIndex(columns[static_cast<std::size_t>(place)]), place);
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(table_);
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &ProductList::selectionChanged);
    connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid()) {
                    emit currentProductChanged(model_.row(sorted_->mapToSource(current).row()).product.id);
                }
            });
}

void ProductList::showQuarantinedPart(MoveDateLookup movedAt) { model_.showQuarantinedPart(std::move(movedAt)); }

void ProductList::setProducts(std::vector<Plugin> products, const std::optional<Uuid>& current) {
    model_.setProducts(std::move(products));
    selectProduct(current);
    emit selectionChanged();
}

void ProductList::selectProduct(const std::optional<Uuid>& id) {
    const auto row = id ? model_.rowOf(*id) : std::nullopt;
    if (!row) {
        return;
    }
    selectRowLikeAClick(*table_, sorted_->mapFromSource(model_.index(*row, 0)));
}

std::vector<Plugin> ProductList::selectedProducts() const {
    std::vector<int> rows;
    for (const auto& index : table_->selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    std::vector<Plugin> products;
    for (const int row : rows) {
        products.push_back(model_.row(sorted_->mapToSource(sorted_->index(row, 0)).row()).product);
    }
    return products;
}

const Plugin* ProductList::productAt(int row) const {
    const auto source = sorted_->mapToSource(sorted_->index(row, 0));
    return source.isValid() ? &model_.row(source.row()).product : nullptr;
}

const Plugin* ProductList::product(const std::optional<Uuid>& id) const {
    const auto row = id ? model_.rowOf(*id) : std::nullopt;
    return row ? &model_.row(*row).product : nullptr;
}

}  // namespace kestrova::ui
