#include "ui/app/ScreenExport.h"

#include "ui/app/AppSession.h"
#include "ui/app/Prompter.h"
#include "ui/app/QtText.h"

namespace kestrova::ui {
std::optional<std::string> runScreenExport(QWidget* parent, AppSession& session, Prompter& prompter, ExportKind kind,
                                           const std::function<std::string()>& buildText) {
    const auto panel = exportPanel(kind);
    const auto path = prompter.savePath(parent, SaveRequest{toQString(panel.title), toQString(panel.suggestedFileName),
                                                            toQString(panel.fileExtension)});
    if (!path) {
        return std::nullopt;
    }
    const auto text = buildText();
    if (auto written = writeExport(session.store(), kind, *path, text, session.fileSystem()); !written) {
        auto message = exportFailureMessage(kind, written.error());
        prompter.alert(parent, QStringLiteral("Export Failed"), toQString(message));
        return message;
    }
    return std::nullopt;
}

}  // namespace kestrova::ui
