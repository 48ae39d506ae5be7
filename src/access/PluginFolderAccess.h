// The plug-in folders the user granted access to: restored from the user
// defaults at construction, extended through the folder chooser, and handed
// to every scan as the roots it may walk. Main thread only.
#pragma once

#include "access/FolderBookmarks.h"
#include "access/FolderChooser.h"
#include "platform/Observable.h"
#include "platform/Result.h"
#include "platform/UserDefaults.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

enum class FolderAccessError { accessCouldNotStart };

std::string_view description(FolderAccessError error);

class PluginFolderAccess final : public Observable {
public:
    static constexpr std::string_view bookmarksKey = "KestrovaAuthorizedFolderBookmarks";
    // Written by earlier builds; read, never written or removed.
    static constexpr std::string_view legacyBookmarksKey = "HalvernAuthorizedFolderBookmarks";

    static FolderChooserPrompt chooserPrompt();

    // Restores the stored grants.
    PluginFolderAccess(UserDefaults& defaults, FolderBookmarks& bookmarks);
    PluginFolderAccess(const PluginFolderAccess&) = delete;
    PluginFolderAccess& operator=(const PluginFolderAccess&) = delete;

    // Published. Sorted by path, localized and case-insensitively.
    const std::vector<std::string>& authorizedFolders() const { return authorizedFolders_; }
    // Published. The last problem to show the user.
    const std::optional<std::string>& lastError() const { return lastError_; }
    const std::map<std::string, std::string>& bookmarksByPath() const { return bookmarksByPath_; }

    void restoreBookmarks();
    // Asks the chooser and adds every folder chosen.
    void authorizeFolders(FolderChooser& chooser);
    // What follows a confirmed choice: adds each folder in order and collects
    // one line per failure, "name: reason", into lastError.
    void authorize(const std::vector<std::string>& folders);
    // Fails with a bookmark error (nothing changes) or accessCouldNotStart.
    Status addFolder(const std::string& folder);
    Status persistBookmarks();

private:
    void setAuthorizedFolders(std::vector<std::string> folders);
    void setLastError(std::optional<std::string> error);
    void publishActiveFolders();

    UserDefaults* defaults_;
    FolderBookmarks* bookmarks_;
    std::vector<std::string> authorizedFolders_;
    std::optional<std::string> lastError_;
    std::map<std::string, std::string> bookmarksByPath_;
    // Folders whose access has started; kept for the life of the process.
    std::map<std::string, std::string> activeFolders_;
};

}  // namespace kestrova
