// The Inventory list's search field and its four filter menus. It only
// builds and fills them; the screen applies what they hold to the list.
#pragma once

#include "ui/models/InventoryFilter.h"

#include <QWidget>

class QComboBox;
class QHBoxLayout;
class QLineEdit;

namespace kestrova::ui {

class PluginTableModel;

class InventoryFilterBar final : public QWidget {
    Q_OBJECT
public:
    explicit InventoryFilterBar(QWidget* parent = nullptr);

    QLineEdit* search() const { return search_; }
    // Each menu offers "All" and the values the products have; a chosen
    // value that is gone falls back to "All".
    // The status menu also offers "Duplicates" while there are groups.
    void refill(const PluginTableModel& products, bool offerDuplicates);
    // Chooses a status menu entry, announced like a person's choice.
    void chooseStatus(const QString& status);
    // A widget after the search field (the duplicates badge).
    void addTrailing(QWidget* widget);
    // The menus' values with `query` as the search.
    InventoryFilterCriteria criteria(const QString& query) const;
    // Every menu back to "All", without announcing each change.
    void resetMenus();

signals:
    void menusChanged();

private:
    QLineEdit* search_ = nullptr;
    QComboBox* formatMenu_ = nullptr;
    QComboBox* manufacturerMenu_ = nullptr;
    QComboBox* architectureMenu_ = nullptr;
    QComboBox* statusMenu_ = nullptr;
    QHBoxLayout* searchRow_ = nullptr;
};

}  // namespace kestrova::ui
