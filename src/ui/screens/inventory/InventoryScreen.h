// Inventory: the active products with scanning, folder authorization,
// export, filters and search, a multi-selection with the batch quarantine,
// and the inspector of the selected product.
#pragma once

// moc cannot parse the standard headers the core's records pull in, and
// needs nothing from them.
#ifndef Q_MOC_RUN
#include "model/Plugin.h"
#include "planning/ProductSummaries.h"
#endif
#include "ui/models/InventoryFilter.h"
#include "ui/models/PluginTableModel.h"
#include "ui/screens/Screen.h"
#include "ui/screens/inventory/InventoryDetails.h"

#include <memory>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QTableView;
class QVBoxLayout;

namespace kestrova::ui {

class DetailPanel;
class InventoryCards;
class InventoryDuplicates;
class InventoryFilterBar;
class InventoryHeader;
class InventorySelectionBar;

class InventoryScreen final : public Screen {
    Q_OBJECT
public:
    explicit InventoryScreen(ScreenContext context, QWidget* parent = nullptr);
    ~InventoryScreen() override;

    QTableView* table() const { return table_; }
    const InventoryFilter& filter() const { return *filter_; }
    // The products whose rows are selected, in list order.
    std::vector<Plugin> selectedProducts() const;

    void becameVisible() override;
    bool focusSearch() override;

private:
    QWidget* buildList();
    void reloadProducts();
    void applyFilters();
    void updateShownCount();
    void updateActions();
    void showSelectedProduct();
    void selectRowOf(const std::optional<Uuid>& id);

    void confirmBatchQuarantine();

    PluginTableModel model_;
    InventoryHeader* header_ = nullptr;
    InventoryFilter* filter_ = nullptr;
    QTableView* table_ = nullptr;
    DetailPanel* inspectorPanel_ = nullptr;
    std::unique_ptr<InventoryDetails> inspector_;
    std::unique_ptr<InventoryDuplicates> duplicates_;

    // This computer's architecture on Linux, empty under macOS.
    std::string machine_;
    std::unique_ptr<InventoryCards> cards_;
    InventoryFilterBar* filterBar_ = nullptr;
    QLabel* shownLabel_ = nullptr;
    QPushButton* clearFilters_ = nullptr;
    std::unique_ptr<InventorySelectionBar> selectionBar_;
};

}  // namespace kestrova::ui
