#include "session/Session.h"

#include "store/runs/CleanupRunController.h"

namespace kestrova::session {

Session::Session(Parts parts, Executor& executor)
    : layout_(std::move(parts.layout)), fileSystem_(parts.fileSystem), executor_(executor) {
    defaults_ = std::make_unique<UserDefaults>(UserDefaults::standardFile(layout_), *fileSystem_);
    bookmarks_ = std::make_unique<FolderBookmarks>(*fileSystem_);
    folderAccess_ = std::make_unique<PluginFolderAccess>(*defaults_, *bookmarks_);
    if (parts.makeService) {
        service_ = parts.makeService(executor_);
    }
    store_ = std::make_unique<PluginInventoryStore>(layout_, *fileSystem_, executor_, std::move(parts.scanRunner),
                                                    std::move(parts.transactionLookup),
                                                    std::move(parts.userTransactionLookup));
    if (service_) {
        cleanupRuns_ = std::make_unique<CleanupRunController>(*store_, *service_);
    }
}

Session::~Session() {
    // The controller goes before the store and the service it drives.
    cleanupRuns_.reset();
    store_.reset();
    service_.reset();
}

}  // namespace kestrova::session
