// Everything a screen asks of the person or of the desktop outside the
// window: confirmations, alerts, the save panel, the folder chooser, showing
// a file in the file manager and the clipboard. Screens go through this
// interface so tests can answer for the person and read what was asked.
#pragma once

#include "access/FolderChooser.h"
#include "platform/PlatformProfile.h"

#include <QString>

#include <optional>
#include <string>
#include <utility>
#include <vector>

class QWidget;

namespace kestrova::ui {

struct ConfirmationRequest {
    QString title;
    QString message;
    QString confirmButton;
    QString cancelButton = QStringLiteral("Cancel");
    // Labelled rows shown under the message ("Recorded Original Location").
    std::vector<std::pair<QString, QString>> rows;
    // A box the person must tick before the confirm button is enabled.
    std::optional<QString> acknowledgement;

    friend bool operator==(const ConfirmationRequest&, const ConfirmationRequest&) = default;
};

struct SaveRequest {
    QString title;
    QString proposedName;
    QString extension;  // the one file type offered, without the dot
};

class Prompter {
public:
    virtual ~Prompter() = default;
    // True when the person confirmed.
    virtual bool confirm(QWidget* parent, const ConfirmationRequest& request) = 0;
    // A modal alert with one "OK" button.
    virtual void alert(QWidget* parent, const QString& title, const QString& message) = 0;
    // The chosen path, or nothing when the panel was cancelled.
    virtual std::optional<std::string> savePath(QWidget* parent, const SaveRequest& request) = 0;
    virtual std::optional<std::vector<std::string>> chooseFolders(QWidget* parent,
                                                                  const FolderChooserPrompt& prompt) = 0;
    // Opens the folder holding `path` in the file manager, the item selected
    // where the file manager can.
    virtual void reveal(const std::string& path) = 0;
    virtual void copyToClipboard(const QString& text) = 0;
};

// The real dialogs and desktop services, in the words of the profile's
// desktop.
class DialogPrompter final : public Prompter {
public:
    explicit DialogPrompter(PlatformProfile profile = PlatformProfile::macOS) : profile_(profile) {}
    bool confirm(QWidget* parent, const ConfirmationRequest& request) override;
    void alert(QWidget* parent, const QString& title, const QString& message) override;
    std::optional<std::string> savePath(QWidget* parent, const SaveRequest& request) override;
    std::optional<std::vector<std::string>> chooseFolders(QWidget* parent, const FolderChooserPrompt& prompt) override;
    void reveal(const std::string& path) override;
    void copyToClipboard(const QString& text) override;

private:
    QString words(const QString& text) const;

    PlatformProfile profile_;
};

// The folder access object's chooser, answered through a prompter.
class PromptingFolderChooser final : public FolderChooser {
public:
    PromptingFolderChooser(Prompter& prompter, QWidget* parent) : prompter_(prompter), parent_(parent) {}
    std::optional<std::vector<std::string>> chooseFolders(const FolderChooserPrompt& prompt) override {
        return prompter_.chooseFolders(parent_, prompt);
    }

private:
    Prompter& prompter_;
    QWidget* parent_;
};

}  // namespace kestrova::ui
