// Bookmarks of granted folders, standing in for the platform's
// security-scoped bookmarks: the data is the folder's standardized path and
// the identity (device and inode) it had when the bookmark was made, enough to
// tell a folder that is gone from one that was replaced in place (stale).
#pragma once

#include "platform/FileSystem.h"
#include "platform/Result.h"

#include <string>
#include <string_view>

namespace kestrova {

struct ResolvedBookmark {
    std::string path;
    bool isStale = false;

    friend bool operator==(const ResolvedBookmark&, const ResolvedBookmark&) = default;
};

class FolderBookmarks {
public:
    explicit FolderBookmarks(FileSystem& fileSystem = realFileSystem()) : fileSystem_(&fileSystem) {}
    virtual ~FolderBookmarks() = default;

    // Opaque bookmark data of an existing folder, named by an absolute path.
    virtual Result<std::string> create(const std::string& folder) const;
    // The folder a bookmark names; stale when a different folder now stands there.
    virtual Result<ResolvedBookmark> resolve(std::string_view data) const;
    // Whether the folder can be used from now on (it is a readable folder).
    virtual bool startAccessing(const std::string& folder);

private:
    FileSystem* fileSystem_;
};

}  // namespace kestrova
