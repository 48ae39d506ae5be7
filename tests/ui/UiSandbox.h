// The desktop application over a sandbox root and home with the real
// KestrovaHelper in session mode, and a prompter that answers for the person
// and keeps what it was asked. Tests drive the window's real widgets.
#pragma once

#include "support/HelperSession.h"
#include "ui/app/AppSession.h"
#include "ui/app/MainWindow.h"
#include "ui/app/Prompter.h"
#include "ui/widgets/MetricCard.h"

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QTableView>
#include <QTest>
#include <QTimer>

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
    void copyToClipboard(const QString&) override {}

    // Runs while a confirmation is up, before it is answered: what changed
    // behind an open dialog.
    std::function<void()> whileAsking;
};

// Runs the event loop until `condition` holds; false after `milliseconds`.
inline bool waitFor(const std::function<bool()>& condition, int milliseconds = 30000) {
    return QTest::qWaitFor(condition, milliseconds);
}
// Lets the layout and the queued updates run.
inline void settle() {
    for (int turn = 0; turn < 4; ++turn) {
        QApplication::processEvents();
    }
}

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
    // Grants `folders` (by default the system Library folder) and scans them to the end.
    void authorizeAndScan(std::vector<std::string> folders = {});
    // The demo tree kestrova-cli writes, laid over root and home (not scanned).
    void layDemoTree(PlatformProfile profile = PlatformProfile::macOS);
    // The window open on the scanned demo tree, with the helper ready.
    ui::MainWindow& openOnDemoInventory();
    // Starts the session daemon and waits for its handshake.
    void enableHelper();
    // Unregisters the session daemon and lets the service read its status.
    void disableHelper();
    // The named products' bundles (or their `onlyFormat` one) into quarantine, and on to the Trash.
    void quarantine(const std::vector<std::string>& names, bool thenTrash = false,
                    const std::optional<std::string>& onlyFormat = std::nullopt);
    // Lets the window show the pending notice, then forgets the alerts so far.
    void settleNotices();

    // Shows the section and returns its screen.
    template <typename Screen = QWidget>
    Screen& show(ui::AppSection section) {
        window_->showSection(section);
        return *dynamic_cast<Screen*>(window_->screen(section));
    }

    // Set before open(): what the window asks through instead of `prompter`,
    // and what builds the service instead of the session daemon.
    ui::Prompter* windowPrompter = nullptr;
    ui::ServiceFactory serviceFactory;

private:
    std::shared_ptr<ServiceRegistration> registration_;
    std::string auRegistryFile_;
    std::unique_ptr<ui::AppSession> session_;
    std::unique_ptr<ui::MainWindow> window_;
};

// The first widget of type T under `root` whose text is `text`, a shown one
// first; fails the test when there is none.
template <typename T>
T* findByText(QWidget& root, const QString& text) {
    T* found = nullptr;
    for (auto* widget : root.findChildren<T*>()) {
        if (widget->text() == text && (!found || (widget->isVisible() && !found->isVisible()))) {
            found = widget;
        }
    }
    EXPECT_NE(found, nullptr) << "no widget with the text " << text.toStdString();
    return found;
}

// The rows of a table's "Plugin" column, top to bottom.
inline QStringList shownNames(const QTableView& table) {
    QStringList names;
    for (int row = 0; row < table.model()->rowCount(); ++row) {
        names << table.model()->index(row, 0).data().toString();
    }
    return names;
}

// Clicks the row whose "Plugin" column reads `name`, with the modifiers a
// multi-selection uses.
inline void clickRow(QTableView& table, const QString& name, Qt::KeyboardModifiers modifiers = {}) {
    const int row = static_cast<int>(shownNames(table).indexOf(name));
    ASSERT_GE(row, 0) << "no row named " << name.toStdString();
    const auto index = table.model()->index(row, 0);
    table.scrollTo(index);
    QTest::mouseClick(table.viewport(), Qt::LeftButton, modifiers, table.visualRect(index).center());
}

// The shown buttons under `root` whose text starts with `prefix`.
inline QStringList shownButtons(QWidget& root, const QString& prefix = {}) {
    QStringList texts;
    for (auto* button : root.findChildren<QPushButton*>()) {
        if (button->isVisible() && !button->text().isEmpty() && button->text().startsWith(prefix)) {
            texts << button->text();
        }
    }
    return texts;
}

// Whether some label under `root` that is shown says exactly `text`.
inline bool showsText(QWidget& root, const QString& text) {
    for (auto* label : root.findChildren<QLabel*>()) {
        if (label->text() == text && label->isVisibleTo(&root)) {
            return true;
        }
    }
    return false;
}

// The value of the metric card titled `title`.
inline QString cardValue(QWidget& screen, const QString& title) {
    for (auto* card : screen.findChildren<ui::MetricCard*>()) {
        if (card->title() == title) {
            return card->value();
        }
    }
    ADD_FAILURE() << "no card " << title.toStdString();
    return {};
}

// The child of `root` with this object name; fails the test when there is none.
template <typename T>
T& named(QWidget& root, const QString& name) {
    auto* widget = root.findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name.toStdString();
    return *widget;
}

// Shows `dialog` and, as soon as it is up, presses `keys` one after another
// where the dialog's focus is; what the dialog returned.
inline int answerWith(QDialog& dialog, const std::vector<Qt::Key>& keys) {
    QTimer::singleShot(0, &dialog, [&dialog, keys] {
        for (const auto key : keys) {
            auto* target = dialog.focusWidget();
            QTest::keyClick(target ? target : static_cast<QWidget*>(&dialog), key);
        }
    });
    return dialog.exec();
}

inline void click(QPushButton* button) {
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isEnabled()) << button->text().toStdString() << " is disabled";
    QTest::mouseClick(button, Qt::LeftButton);
}

}  // namespace kestrova::testing
