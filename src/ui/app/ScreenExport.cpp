#include "ui/app/ScreenExport.h"

#include "ui/app/AppSession.h"
#include "ui/app/Prompter.h"

namespace kestrova::ui {
namespace {

QString qText(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

std::optional<std::string> runScreenExport(QWidget* parent, AppSession& session, Prompter& prompter, ExportKind kind,
                                           const std::function<std::string()>& buildText) {
    const auto panel = exportPanel(kind);
    const auto path = prompter.savePath(
        parent, SaveRequest{qText(panel.title), qText(panel.suggestedFileName), qText(panel.fileExtension)});
    if (!path) {
        return std::nullopt;
    }
    const auto text = buildText();
    if (auto written = writeExport(session.store(), kind, *path, text, session.fileSystem()); !written) {
        auto message = exportFailureMessage(kind, written.error());
        prompter.alert(parent, QStringLiteral("Export Failed"), QString::fromStdString(message));
        return message;
    }
    return std::nullopt;
}

}  // namespace kestrova::ui
