// Inventory's view of the plug-ins installed more than once: the badge that
// counts them and turns on the "Duplicates" filter, the selected product's
// groups with the proposal in the inspector, and the one action that retires
// the whole proposal as a single quarantine.
#pragma once

// moc cannot parse the standard headers the core's records pull in, and
// needs nothing from them.
#ifndef Q_MOC_RUN
#include "planning/DuplicateGroups.h"
#endif
#include "ui/screens/Screen.h"

#include <functional>
#include <unordered_set>
#include <vector>

class QPushButton;
class QVBoxLayout;

namespace kestrova::ui {

class InventoryDuplicates {
public:
    // `showDuplicates` turns the list's "Duplicates" filter on.
    InventoryDuplicates(ScreenContext context, QWidget& parent, std::function<void()> showDuplicates);

    // Finds the groups again in the store's inventory as it stands on disk.
    void refresh();
    const std::vector<DuplicateGroup>& groups() const { return groups_; }
    std::unordered_set<Uuid> products() const { return productsWithDuplicates(groups_); }
    // "2 Duplicates", hidden while there are none.
    QPushButton* badge() const { return badge_; }
    // The product's groups, each copy with what the proposal does with it,
    // and the retire action; nothing for a product without a group.
    void addToInspector(QVBoxLayout& layout, const Uuid& productID);
    // Asks first (Cancel is the default), then quarantines every proposed copy
    // as one transaction.
    void confirmRetirement();

private:
    ScreenContext context_;
    QWidget& parent_;
    QPushButton* badge_ = nullptr;
    std::vector<DuplicateGroup> groups_;
};

}  // namespace kestrova::ui
