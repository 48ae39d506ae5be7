// The Quarantine screen's inspector: the selected product's operation,
// whether its quarantined bundles are still on disk and where they came
// from, the whole-product restore, and one card per format (the quarantined
// ones first) with its restore and move to the Trash.
#pragma once

// moc cannot parse the standard headers the core's records pull in, and
// needs nothing from them.
#ifndef Q_MOC_RUN
#include "model/Plugin.h"
#endif
#include "ui/app/Prompter.h"
#include "ui/screens/Screen.h"

#include <cstddef>

class QVBoxLayout;

namespace kestrova::ui {

class DetailPanel;

// The batch Trash sheet for these products, as the screen asks it.
ConfirmationRequest batchTrashRequest(std::size_t products, std::size_t bundles);
// The per-format Trash sheet of one quarantined bundle.
ConfirmationRequest formatTrashRequest(const PluginBundleRecord& record);

class QuarantineDetails {
public:
    QuarantineDetails(ScreenContext context, DetailPanel& panel) : context_(context), panel_(panel) {}
    // Rebuilds the panel for `product`, or the empty state without one.
    void show(const Plugin* product);
    // "Restore All Formats" with its confirmation, when the product has
    // bundles in quarantine and nothing blocks their restore.
    void requestRestore(const Plugin& product);

private:
    void addFormatCard(QVBoxLayout& layout, const Plugin& product, const PluginBundleRecord& record);

    ScreenContext context_;
    DetailPanel& panel_;
};

}  // namespace kestrova::ui
