// The desktop application over a sandbox: a temporary system root and home,
// the real KestrovaHelper serving it in session mode, the session every
// screen shares, and a prompter that answers for the person and keeps what
// it was asked. Tests drive the real widgets of the window it opens.
#pragma once

#include "support/HelperSession.h"
#include "ui/app/AppSession.h"
#include "ui/app/MainWindow.h"
#include "ui/app/Prompter.h"

#include <gtest/gtest.h>

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kestrova::testing {

class ScriptedPrompter final : public ui::Prompter {
public:
    std::vector<ui::ConfirmationRequest> confirmations;
    std::vector<std::pair<QString, QString>> alerts;
    std::vector<ui::SaveRequest> saveRequests;
    std::vector<std::string> revealed;
    QString clipboard;

    // How the next confirmations and panels are answered.
    bool confirmAnswer = true;
    std::optional<std::string> savePathAnswer;
    std::optional<std::vector<std::string>> foldersAnswer;

    bool confirm(QWidget*, const ui::ConfirmationRequest& request) override {
        confirmations.push_back(request);
        if (whileAsking) {
            whileAsking();
        }
        return confirmAnswer;
    }
    void alert(QWidget*, const QString& title, const QString& message) override { alerts.emplace_back(title, message); }
    std::optional<std::string> savePath(QWidget*, const ui::SaveRequest& request) override {
        saveRequests.push_back(request);
        return savePathAnswer;
    }
    std::optional<std::vector<std::string>> chooseFolders(QWidget*, const FolderChooserPrompt&) override {
        return foldersAnswer;
    }
    void reveal(const std::string& path) override { revealed.push_back(path); }
    void copyToClipboard(const QString& text) override { clipboard = text; }

    // Runs while a confirmation is up, before it is answered: what changed
    // behind an open dialog.
    std::function<void()> whileAsking;
};

// Runs the event loop until `condition` holds; false after `milliseconds`.
bool waitFor(const std::function<bool()>& condition, int milliseconds = 30000);

class UiSandbox {
public:
    explicit UiSandbox(PlatformProfile profile = PlatformProfile::macOS);
    ~UiSandbox();

    HelperSandbox helper;
    ScriptedPrompter prompter;

    // Opens the session and the window (shown) over the sandbox as it is now.
    ui::MainWindow& open();
    ui::MainWindow& window() { return *window_; }
    ui::AppSession& session() { return *session_; }
    PluginInventoryStore& store() { return session_->store(); }
    PluginManagementService& service() { return session_->service(); }

    // A bundle folder under root/Library/Audio/Plug-Ins/<folder>/ with an
    // Info.plist naming its product and maker.
    std::string installBundle(const std::string& fileName, const std::string& folder, const std::string& name,
                              const std::string& manufacturer) const;
    // Grants the system Library folder and scans it to the end.
    void authorizeAndScan();
    // Lays the demo tree kestrova-cli writes over the sandbox's root and home
    // and opens the window on it, scanned (with the demo's Audio Unit
    // registry) and with the helper ready: the inventory the screenshots show.
    ui::MainWindow& openOnDemoInventory();
    // Starts the session daemon and waits for its handshake.
    void enableHelper();
    // Unregisters the session daemon and lets the service read its status.
    void disableHelper();
    // Every bundle (or only the `onlyFormat` one) of the named products into quarantine (and with `thenTrash`
    // on to the Trash), each step one transaction through the session daemon.
    void quarantine(const std::vector<std::string>& names, bool thenTrash = false,
                    const std::optional<std::string>& onlyFormat = std::nullopt);
    // Lets the window show the store's pending notice (a scan's, a move's) and
    // forgets the alerts so far, so the next alert is the one under test.
    void settleNotices();

    // Shows the section and returns its screen.
    template <typename Screen = QWidget>
    Screen& show(ui::AppSection section) {
        window_->showSection(section);
        return *dynamic_cast<Screen*>(window_->screen(section));
    }

    // When set before open(), the window asks through this instead of
    // `prompter` (the real dialogs, say).
    ui::Prompter* windowPrompter = nullptr;
    // When set before open(), the service is built by this instead of over
    // the session daemon (a stand-in registration or connection).
    ui::ServiceFactory serviceFactory;

private:
    std::shared_ptr<ServiceRegistration> registration_;
    std::string auRegistryFile_;
    std::unique_ptr<ui::AppSession> session_;
    std::unique_ptr<ui::MainWindow> window_;
};

// The first widget of type T under `root` whose text (or object name) is
// `text`, a shown one first; fails the test when there is none.
template <typename T>
T* findByText(QWidget& root, const QString& text) {
    for (auto* widget : root.findChildren<T*>()) {
        if (widget->text() == text && widget->isVisible()) {
            return widget;
        }
    }
    for (auto* widget : root.findChildren<T*>()) {
        if (widget->text() == text) {
            return widget;
        }
    }
    ADD_FAILURE() << "no widget with the text " << text.toStdString();
    return nullptr;
}

}  // namespace kestrova::testing
