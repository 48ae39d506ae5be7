// The products a screen lists, as a Qt table: one row per product with the
// six inventory columns. Everything a row shows, sorts by or is searched by
// is worked out once when the products are replaced, so painting, sorting
// and re-filtering after a keystroke only read prepared values.
#pragma once

// moc cannot parse the standard headers the core's records pull in, and
// needs nothing from them.
#ifndef Q_MOC_RUN
#include "model/Plugin.h"
#include "planning/ProductSummaries.h"
#endif

#include <QAbstractTableModel>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::ui {

class PluginTableModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    // "Moved" is the Quarantine list's own: when the product's quarantined
    // part was moved.
    enum Column { plugin, manufacturer, format, architecture, size, status, moved, numberOfColumns };
    // The value a column sorts by: folded text, the byte count of "Size", the
    // time of "Moved".
    static constexpr int sortRole = Qt::UserRole;
    // The product's PluginStatus, as an int, for the status delegate.
    static constexpr int statusRole = Qt::UserRole + 1;

    struct Row {
        Plugin product;
        std::array<QString, numberOfColumns> cells;
        std::int64_t bytes = 0;
        double movedAt = 0;
    };

    using QAbstractTableModel::QAbstractTableModel;

    // From now on "Format" and "Size" show only the quarantined formats and
    // their size, and "Moved" when they were moved, dated by `movedAt`.
    void showQuarantinedPart(MoveDateLookup movedAt);
    // Replaces every row (a model reset).
    void setProducts(std::vector<Plugin> products);

    const Row& row(int index) const { return rows_[static_cast<std::size_t>(index)]; }
    const std::vector<Row>& rows() const { return rows_; }
    // The row's productSearchText: what the search matches. Kept apart from the
    // rows, one after another in one buffer, so a re-filter reads memory in
    // order.
    std::string_view searchKey(int index) const {
        const auto at = static_cast<std::size_t>(index);
        return std::string_view(searchText_).substr(searchStarts_[at], searchStarts_[at + 1] - searchStarts_[at]);
    }
    // The row of a product id, if it is listed.
    std::optional<int> rowOf(const Uuid& id) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    Row makeRow(Plugin product) const;

    std::optional<MoveDateLookup> quarantined_;
    std::vector<Row> rows_;
    std::string searchText_;
    std::vector<std::size_t> searchStarts_{0};
};

}  // namespace kestrova::ui
