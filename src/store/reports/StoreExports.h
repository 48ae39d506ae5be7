// The exports as a screen or the command line runs them: the text
// built from the store's state at that moment, then an atomic write that
// ends in a success notice. Exporting never changes the inventory.
#pragma once

#include "platform/FileSystem.h"
#include "platform/Result.h"
#include "store/PluginInventoryStore.h"

#include <optional>
#include <string>
#include <string_view>

namespace kestrova {

enum class ExportKind { inventory, history, diagnosticReport, duplicates };

// What the save panel of an export shows and offers.
struct ExportPanel {
    std::string_view title;
    std::string_view prompt;
    std::string_view suggestedFileName;
    std::string_view fileExtension;  // the one type the panel allows
};

ExportPanel exportPanel(ExportKind kind);

// The active products, in inventory order.
std::string inventoryCSV(const PluginInventoryStore& store);
// The duplicate groups of the inventory as it stands on disk now.
std::string duplicatesCSV(const PluginInventoryStore& store);
// The grouped history, newest first.
std::string historyCSV(const PluginInventoryStore& store);
// The report as of now. `applicationVersion` is the running bundle's
// "Kestrova 1.0.1 (Build 40)"; `pluginManagementText` the service's
// statusReport(), when the caller asked for it.
std::string diagnosticReport(const PluginInventoryStore& store, const std::optional<std::string>& pluginManagementText,
                             const std::string& applicationVersion);

// Writes `text` to `path` atomically, replacing a file already there, and on
// success publishes the kind's success notice. On failure neither the store
// nor a file already at `path` changes, and the error is returned for the
// caller's "Export Failed" alert.
Status writeExport(PluginInventoryStore& store, ExportKind kind, const std::string& path, std::string_view text,
                   FileSystem& fileSystem);

// The "Export Failed" alert's message: the error's description, or the
// kind's fallback sentence when the error carries none.
std::string exportFailureMessage(ExportKind kind, const Error& error);

}  // namespace kestrova
