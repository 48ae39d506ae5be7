// An export as a screen runs it: the save panel for the kind, the text built
// only once a place was chosen, the store's atomic write with its success
// notice, and the "Export Failed" alert when the write fails.
#pragma once

#include "store/reports/StoreExports.h"

#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace kestrova::ui {

class AppSession;
class Prompter;

// Nothing happens when the panel is cancelled. Returns the failure message
// the alert showed, for the screen to keep; nothing otherwise.
std::optional<std::string> runScreenExport(QWidget* parent, AppSession& session, Prompter& prompter, ExportKind kind,
                                           const std::function<std::string()>& buildText);

}  // namespace kestrova::ui
