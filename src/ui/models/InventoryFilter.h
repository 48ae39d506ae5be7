// The Inventory list's filters and search over a PluginTableModel: a row
// passes when its name or manufacturer contains the search text (case
// folded as the platform folds it) and it matches every menu that is not
// "All". Columns sort by the model's prepared sort values.
#pragma once

#include <QSortFilterProxyModel>
#include <QString>

#ifndef Q_MOC_RUN
#include "platform/Uuid.h"
#endif

#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace kestrova::ui {

class PluginTableModel;

// What the four filter menus and the search field hold. An absent menu
// value is "All".
struct InventoryFilterCriteria {
    QString search;
    std::optional<std::string> format;
    std::optional<std::string> manufacturer;
    std::optional<std::string> architecture;
    std::optional<std::string> status;

    bool isActive() const { return !search.isEmpty() || format || manufacturer || architecture || status; }
    friend bool operator==(const InventoryFilterCriteria&, const InventoryFilterCriteria&) = default;
};

// The text a filter menu shows for "no filter".
inline const QString allValues = QStringLiteral("All");
// The status menu's entry for the products installed more than once.
inline constexpr std::string_view duplicatesStatus = "Duplicates";

class InventoryFilter final : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit InventoryFilter(PluginTableModel& source, QObject* parent = nullptr);

    const InventoryFilterCriteria& criteria() const { return criteria_; }
    void setCriteria(InventoryFilterCriteria criteria);
    void setSearch(const QString& search);
    // The products the "Duplicates" status shows.
    void setDuplicateProducts(std::unordered_set<Uuid> products);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    PluginTableModel& source_;
    InventoryFilterCriteria criteria_;
    std::unordered_set<Uuid> duplicateProducts_;
    std::string foldedSearch_;
};

}  // namespace kestrova::ui
