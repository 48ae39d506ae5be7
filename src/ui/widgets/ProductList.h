// The product table of the Protected and Quarantine screens: sortable,
// multi-selectable, and keeping the window's selected product in view.
#pragma once

// moc cannot parse the standard headers the core's records pull in, and
// needs nothing from them.
#ifndef Q_MOC_RUN
#include "model/Plugin.h"
#endif
#include "ui/models/PluginTableModel.h"

#include <QWidget>

#include <optional>
#include <vector>

class QSortFilterProxyModel;
class QTableView;

namespace kestrova::ui {

class ProductList final : public QWidget {
    Q_OBJECT
public:
    // Only `columns` are shown.
    ProductList(const std::vector<PluginTableModel::Column>& columns, QWidget* parent = nullptr);

    // Rows show the products' quarantined part (see PluginTableModel).
    void showQuarantinedPart(MoveDateLookup movedAt);
    // Replaces the rows and selects `current` again when it is still listed.
    void setProducts(std::vector<Plugin> products, const std::optional<Uuid>& current);
    void selectProduct(const std::optional<Uuid>& id);
    // The products whose rows are selected, in list order.
    std::vector<Plugin> selectedProducts() const;
    // The product shown in this row of the table.
    const Plugin* productAt(int row) const;
    // The listed product with this id.
    const Plugin* product(const std::optional<Uuid>& id) const;
    int count() const { return model_.rowCount(); }
    QTableView* table() const { return table_; }

signals:
    void selectionChanged();
    void currentProductChanged(const kestrova::Uuid& id);

private:
    PluginTableModel model_;
    QSortFilterProxyModel* sorted_;
    QTableView* table_;
};

}  // namespace kestrova::ui
