// The Inventory screen's inspector: the selected product's metadata, its
// format bundles with their per-format actions, and the whole-product
// quarantine. Hosted products only say how they are hosted.
#pragma once

// moc cannot parse the standard headers the core's records pull in, and
// needs nothing from them.
#ifndef Q_MOC_RUN
#include "model/Plugin.h"
#endif
#include "ui/screens/Screen.h"

class QVBoxLayout;

namespace kestrova::ui {

class DetailPanel;
class InventoryDuplicates;

class InventoryDetails {
public:
    InventoryDetails(ScreenContext context, DetailPanel& panel) : context_(context), panel_(panel) {}
    // Rebuilds the panel for `product`, or the empty state without one.
    void show(const Plugin* product);
    // The product's "Quarantine Plugin…" with its confirmation, when the
    // product has active bundles and nothing blocks the move.
    void requestQuarantine(const Plugin& product);
    // Shows the product's duplicate groups above its format bundles.
    void setDuplicates(InventoryDuplicates* duplicates) { duplicates_ = duplicates; }

private:
    void showProduct(const Plugin& product);
    void addFormatCard(QVBoxLayout& layout, const Plugin& product, const PluginBundleRecord& record);
    void quarantineProduct(const Plugin& product);
    void quarantineFormat(const Plugin& product, const PluginBundleRecord& record);

    ScreenContext context_;
    DetailPanel& panel_;
    InventoryDuplicates* duplicates_ = nullptr;
};

}  // namespace kestrova::ui
