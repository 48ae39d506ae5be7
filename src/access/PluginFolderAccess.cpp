#include "access/PluginFolderAccess.h"

#include "platform/Paths.h"
#include "platform/Text.h"

#include <algorithm>

namespace kestrova {

std::string_view description(FolderAccessError error) {
    switch (error) {
        case FolderAccessError::accessCouldNotStart:
            return "Kestrova could not begin secure access to the selected folder.";
    }
    return {};
}

FolderChooserPrompt PluginFolderAccess::chooserPrompt() {
    return {"Authorize Plugin Folders", "Choose one or more plugin folders that Kestrova may scan and manage.",
            "Authorize Folders"};
}

PluginFolderAccess::PluginFolderAccess(UserDefaults& defaults, FolderBookmarks& bookmarks)
    : defaults_(&defaults), bookmarks_(&bookmarks) {
    restoreBookmarks();
}

void PluginFolderAccess::setAuthorizedFolders(std::vector<std::string> folders) {
    authorizedFolders_ = std::move(folders);
    publish("authorizedFolders");
}

void PluginFolderAccess::setLastError(std::optional<std::string> error) {
    lastError_ = std::move(error);
    publish("lastError");
}

void PluginFolderAccess::publishActiveFolders() {
    std::vector<std::string> folders;
    folders.reserve(activeFolders_.size());
    for (const auto& [path, folder] : activeFolders_) {
        folders.push_back(folder);
    }
    std::stable_sort(folders.begin(), folders.end(), [](const std::string& a, const std::string& b) {
        return localizedCaseInsensitiveCompare(a, b) < 0;
    });
    setAuthorizedFolders(std::move(folders));
}

void PluginFolderAccess::restoreBookmarks() {
    auto stored = defaults_->dataArray(bookmarksKey);
    if (!stored) {
        stored = defaults_->dataArray(legacyBookmarksKey);
    }
    if (!stored) {
        return;
    }
    for (const auto& data : *stored) {
        const auto resolved = bookmarks_->resolve(data);
        if (!resolved) {
            setLastError(resolved.error().message);
            continue;
        }
        const auto path = standardizedPath(resolved->path);
        if (!bookmarks_->startAccessing(path)) {
            continue;
        }
        activeFolders_[path] = path;
        if (!resolved->isStale) {
            bookmarksByPath_[path] = data;
            continue;
        }
        auto renewed = bookmarks_->create(path);
        if (!renewed) {
            setLastError(renewed.error().message);
            continue;
        }
        bookmarksByPath_[path] = std::move(*renewed);
    }
    publishActiveFolders();
    if (auto persisted = persistBookmarks(); !persisted) {
        setLastError(persisted.error().message);
    }
}

void PluginFolderAccess::authorizeFolders(FolderChooser& chooser) {
    setLastError(std::nullopt);
    const auto chosen = chooser.chooseFolders(chooserPrompt());
    if (!chosen) {
        return;
    }
    authorize(*chosen);
}

void PluginFolderAccess::authorize(const std::vector<std::string>& folders) {
    setLastError(std::nullopt);
    std::vector<std::string> lines;
    for (const auto& folder : folders) {
        const auto path = standardizedPath(folder);
        if (auto added = addFolder(path); !added) {
            lines.push_back(lastPathComponent(path) + ": " + added.error().message);
        }
    }
    if (lines.empty()) {
        return;
    }
    std::string joined;
    for (const auto& line : lines) {
        joined += joined.empty() ? line : "\n" + line;
    }
    setLastError(std::move(joined));
}

Status PluginFolderAccess::addFolder(const std::string& folder) {
    const auto path = standardizedPath(folder);
    auto bookmark = bookmarks_->create(path);
    if (!bookmark) {
        return bookmark.error();
    }
    if (!activeFolders_.contains(path)) {
        if (!bookmarks_->startAccessing(path)) {
            return Error{std::string(description(FolderAccessError::accessCouldNotStart))};
        }
        activeFolders_[path] = path;
    }
    bookmarksByPath_[path] = std::move(*bookmark);
    publishActiveFolders();
    return persistBookmarks();
}

Status PluginFolderAccess::persistBookmarks() {
    // std::map keeps the paths in plain string order.
    std::vector<std::string> items;
    items.reserve(bookmarksByPath_.size());
    for (const auto& [path, data] : bookmarksByPath_) {
        items.push_back(data);
    }
    return defaults_->setDataArray(bookmarksKey, items);
}

}  // namespace kestrova
