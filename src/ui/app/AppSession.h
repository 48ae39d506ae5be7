// The three long-lived objects every screen shares (the inventory store, the
// authorized folders, the management service) with what they run on, plus
// the cleanup run controller that must live as long as the store, and one
// signal adapter for each. Created once when the window is and kept until
// the application quits.
#pragma once

#include "access/FolderBookmarks.h"
#include "access/PluginFolderAccess.h"
#include "helperclient/PluginManagementService.h"
#include "platform/FileSystem.h"
#include "platform/Result.h"
#include "platform/SystemLayout.h"
#include "platform/UserDefaults.h"
#include "store/PluginInventoryStore.h"
#include "store/runs/CleanupRunController.h"
#include "ui/app/ObservedObject.h"
#include "ui/app/QtExecutor.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kestrova::ui {

// What the command line and the environment name, as the CLI takes them.
struct AppOptions {
    std::string root;        // --root, else KESTROVA_ROOT, else "/"
    std::string home;        // --home, else $HOME
    std::string auRegistry;  // --au-registry, else KESTROVA_AU_REGISTRY
    std::string profile;     // --profile, else KESTROVA_PROFILE, else by the root
};

using ServiceFactory = std::function<std::shared_ptr<PluginManagementService>(Executor&)>;

class AppSession {
public:
    struct Parts {
        SystemLayout layout;
        FileSystem* fileSystem = nullptr;  // must outlive the session
        ScanRunner scanRunner;
        ServiceFactory makeService;
        // Asked about each pending journal while the store loads, before the
        // window opens (see PluginInventoryStore); empty leaves it to the disk.
        TransactionLookup transactionLookup;
        // Linux: the user side's helper, for a journal of the user side.
        TransactionLookup userTransactionLookup;
    };

    // Builds the store (which loads the state file) and the service (which
    // reads the daemon's status). Needs a running QCoreApplication.
    explicit AppSession(Parts parts);
    ~AppSession();
    AppSession(const AppSession&) = delete;
    AppSession& operator=(const AppSession&) = delete;

    const SystemLayout& layout() const { return layout_; }
    // A text in the words of this layout's desktop (see platformWording).
    QString words(const QString& text) const;
    // Why an action is held back, in the same words.
    std::optional<std::string> wordedReason(const std::optional<std::string>& reason) const;
    FileSystem& fileSystem() { return *fileSystem_; }
    Executor& executor() { return executor_; }
    PluginInventoryStore& store() { return *store_; }
    PluginFolderAccess& folderAccess() { return *folderAccess_; }
    PluginManagementService& service() { return *service_; }
    CleanupRunController& cleanupRuns() { return *cleanupRuns_; }

    ObservedObject& storeEvents() { return *storeEvents_; }
    ObservedObject& folderAccessEvents() { return *folderAccessEvents_; }
    ObservedObject& serviceEvents() { return *serviceEvents_; }
    ObservedObject& cleanupRunEvents() { return *cleanupRunEvents_; }

private:
    SystemLayout layout_;
    FileSystem* fileSystem_;
    QtExecutor executor_;
    std::unique_ptr<UserDefaults> defaults_;
    std::unique_ptr<FolderBookmarks> bookmarks_;
    std::unique_ptr<PluginFolderAccess> folderAccess_;
    std::shared_ptr<PluginManagementService> service_;
    std::unique_ptr<PluginInventoryStore> store_;
    std::unique_ptr<CleanupRunController> cleanupRuns_;
    std::unique_ptr<ObservedObject> storeEvents_;
    std::unique_ptr<ObservedObject> folderAccessEvents_;
    std::unique_ptr<ObservedObject> serviceEvents_;
    std::unique_ptr<ObservedObject> cleanupRunEvents_;
};

// The session the installed application opens: the real disk, the layout
// and Audio Unit registry the options name, and the helper the environment's
// registration mode describes. Fails with a message to show when the root,
// home or registry cannot be used.
Result<std::unique_ptr<AppSession>> openAppSession(const AppOptions& options);

}  // namespace kestrova::ui
