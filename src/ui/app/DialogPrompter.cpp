#include "ui/app/Prompter.h"
#include "ui/app/QtText.h"
#include "ui/widgets/AlertDialog.h"
#include "ui/widgets/ConfirmationDialog.h"

#include "platform/FileManagerReveal.h"
#include "platform/PlatformWording.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QUrl>

namespace kestrova::ui {

QString DialogPrompter::words(const QString& text) const {
    return toQString(platformWording(text.toStdString(), profile_));
}

bool DialogPrompter::confirm(QWidget* parent, const ConfirmationRequest& request) {
    auto worded = request;
    for (auto* text : {&worded.title, &worded.message, &worded.confirmButton}) {
        *text = words(*text);
    }
    for (auto& [label, value] : worded.rows) {
        label = words(label);
    }
    if (worded.acknowledgement) {
        worded.acknowledgement = words(*worded.acknowledgement);
    }
    ConfirmationDialog dialog(worded, parent);
    return dialog.exec() == QDialog::Accepted;
}

void DialogPrompter::alert(QWidget* parent, const QString& title, const QString& message) {
    AlertDialog dialog(words(title), words(message), parent);
    dialog.exec();
}

std::optional<std::string> DialogPrompter::savePath(QWidget* parent, const SaveRequest& request) {
    const auto filter = QStringLiteral("%1 (*.%2)").arg(request.extension.toUpper(), request.extension);
    const auto path =
        QFileDialog::getSaveFileName(parent, request.title, QDir::home().filePath(request.proposedName), filter);
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path.toStdString();
}

std::optional<std::vector<std::string>> DialogPrompter::chooseFolders(QWidget* parent,
                                                                      const FolderChooserPrompt& prompt) {
    QFileDialog dialog(parent, toQString(prompt.title));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setLabelText(QFileDialog::Accept, toQString(prompt.confirmButton));
    dialog.setToolTip(toQString(prompt.message));
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    std::vector<std::string> folders;
    for (const auto& folder : dialog.selectedFiles()) {
        folders.push_back(folder.toStdString());
    }
    return folders;
}

void DialogPrompter::reveal(const std::string& path) {
    // On Linux the file manager selects the item where it offers the
    // freedesktop service. Opening the folder that holds it works everywhere.
    if (profile_ == PlatformProfile::gnuLinux && revealInFileManager(path)) {
        return;
    }
    const QFileInfo info(toQString(path));
    QDesktopServices::openUrl(QUrl::fromLocalFile(info.absolutePath()));
}

void DialogPrompter::copyToClipboard(const QString& text) { QApplication::clipboard()->setText(text); }

}  // namespace kestrova::ui
