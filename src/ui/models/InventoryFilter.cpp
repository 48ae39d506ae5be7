#include "ui/models/InventoryFilter.h"

#include "platform/Text.h"
#include "ui/models/PluginTableModel.h"

#include <algorithm>

namespace kestrova::ui {

InventoryFilter::InventoryFilter(PluginTableModel& source, QObject* parent)
    : QSortFilterProxyModel(parent), source_(source) {
    setSourceModel(&source);
    setSortRole(PluginTableModel::sortRole);
    setDynamicSortFilter(true);
}

void InventoryFilter::setCriteria(InventoryFilterCriteria criteria) {
    if (criteria == criteria_) {
        return;
    }
    criteria_ = std::move(criteria);
    foldedSearch_ = foldCase(criteria_.search.toStdString());
    invalidateFilter();
}

void InventoryFilter::setSearch(const QString& search) {
    auto criteria = criteria_;
    criteria.search = search;
    setCriteria(std::move(criteria));
}

void InventoryFilter::setDuplicateProducts(std::unordered_set<Uuid> products) {
    duplicateProducts_ = std::move(products);
    if (criteria_.status == duplicatesStatus) {
        invalidateFilter();
    }
}

bool InventoryFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    if (!foldedSearch_.empty() && source_.searchKey(sourceRow).find(foldedSearch_) == std::string::npos) {
        return false;
    }
    const auto& product = source_.row(sourceRow).product;
    if (criteria_.format &&
        std::find(product.formats.begin(), product.formats.end(), *criteria_.format) == product.formats.end()) {
        return false;
    }
    if (criteria_.manufacturer && product.manufacturer != *criteria_.manufacturer) {
        return false;
    }
    if (criteria_.architecture && product.architecture != *criteria_.architecture) {
        return false;
    }
    if (criteria_.status == duplicatesStatus) {
        return duplicateProducts_.contains(product.id);
    }
    return !criteria_.status || rawValue(product.status) == *criteria_.status;
}

}  // namespace kestrova::ui
