// The long-lived objects a front end works with: the layout, the folder
// access with the defaults and bookmarks it keeps, the helper's management
// service, the inventory store and the cleanup run controller that must live
// as long as both. The front end owns the executor they run on and adds its
// own ways of showing what they publish.
#pragma once

#include "access/FolderBookmarks.h"
#include "access/PluginFolderAccess.h"
#include "helperclient/PluginManagementService.h"
#include "helperclient/TransactionLookup.h"
#include "platform/Executor.h"
#include "platform/FileSystem.h"
#include "platform/SystemLayout.h"
#include "platform/UserDefaults.h"
#include "store/PluginInventoryStore.h"

#include <functional>
#include <memory>

namespace kestrova {
class CleanupRunController;
}

namespace kestrova::session {

using ServiceFactory = std::function<std::shared_ptr<PluginManagementService>(Executor&)>;

class Session {
public:
    struct Parts {
        SystemLayout layout;
        FileSystem* fileSystem = nullptr;  // must outlive the session
        ScanRunner scanRunner;
        // Empty for a session that opens the service per action instead (the
        // command line); then there are no cleanup runs either.
        ServiceFactory makeService;
        // Asked about each pending journal while the store loads (see
        // PluginInventoryStore); empty leaves it to the disk.
        TransactionLookup transactionLookup;
        // Linux: the user side's helper, for a journal of the user side.
        TransactionLookup userTransactionLookup;
    };

    // Builds the folder access, the service and the store, which loads the
    // state file and settles what a pending journal left. The executor must
    // outlive the session.
    Session(Parts parts, Executor& executor);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    const SystemLayout& layout() const { return layout_; }
    FileSystem& fileSystem() { return *fileSystem_; }
    Executor& executor() { return executor_; }
    PluginFolderAccess& folderAccess() { return *folderAccess_; }
    PluginInventoryStore& store() { return *store_; }
    bool hasService() const { return service_ != nullptr; }
    PluginManagementService& service() { return *service_; }
    CleanupRunController& cleanupRuns() { return *cleanupRuns_; }

private:
    SystemLayout layout_;
    FileSystem* fileSystem_;
    Executor& executor_;
    std::unique_ptr<UserDefaults> defaults_;
    std::unique_ptr<FolderBookmarks> bookmarks_;
    std::unique_ptr<PluginFolderAccess> folderAccess_;
    std::shared_ptr<PluginManagementService> service_;
    std::unique_ptr<PluginInventoryStore> store_;
    std::unique_ptr<CleanupRunController> cleanupRuns_;
};

}  // namespace kestrova::session
