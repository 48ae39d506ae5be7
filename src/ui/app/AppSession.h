// The window's session: the one every front end opens (the inventory store,
// the authorized folders, the management service, the cleanup run
// controller) on the Qt event loop, plus one signal adapter for each.
// Created once when the window is and kept until the application quits.
#pragma once

#include "platform/Result.h"
#include "session/Session.h"
#include "session/SessionOptions.h"
#include "store/runs/CleanupRunController.h"
#include "ui/app/ObservedObject.h"
#include "ui/app/QtExecutor.h"

#include <QString>

#include <memory>
#include <optional>
#include <string>

namespace kestrova::ui {

// What the command line and the environment name, as the CLI takes them.
using AppOptions = session::SessionOptions;
using ServiceFactory = session::ServiceFactory;

class AppSession {
public:
    // The service factory must give a service: every screen shares it.
    using Parts = session::Session::Parts;

    // Builds the session (the store loads the state file, the service reads
    // the daemon's status). Needs a running QCoreApplication.
    explicit AppSession(Parts parts);
    ~AppSession();
    AppSession(const AppSession&) = delete;
    AppSession& operator=(const AppSession&) = delete;

    const SystemLayout& layout() const { return session_.layout(); }
    // A text in the words of this layout's desktop (see platformWording).
    QString words(const QString& text) const;
    // Why an action is held back, in the same words.
    std::optional<std::string> wordedReason(const std::optional<std::string>& reason) const;
    FileSystem& fileSystem() { return session_.fileSystem(); }
    Executor& executor() { return executor_; }
    PluginInventoryStore& store() { return session_.store(); }
    PluginFolderAccess& folderAccess() { return session_.folderAccess(); }
    PluginManagementService& service() { return session_.service(); }
    CleanupRunController& cleanupRuns() { return session_.cleanupRuns(); }

    ObservedObject& storeEvents() { return *storeEvents_; }
    ObservedObject& folderAccessEvents() { return *folderAccessEvents_; }
    ObservedObject& serviceEvents() { return *serviceEvents_; }
    ObservedObject& cleanupRunEvents() { return *cleanupRunEvents_; }

private:
    QtExecutor executor_;
    session::Session session_;
    std::unique_ptr<ObservedObject> storeEvents_;
    std::unique_ptr<ObservedObject> folderAccessEvents_;
    std::unique_ptr<ObservedObject> serviceEvents_;
    std::unique_ptr<ObservedObject> cleanupRunEvents_;
};

// The session the installed application opens (see installedSessionParts)
// with the helper the environment's registration mode describes. Fails with
// a message to show when the root, home, registry or helper settings cannot
// be used.
Result<std::unique_ptr<AppSession>> openAppSession(const AppOptions& options);

}  // namespace kestrova::ui
