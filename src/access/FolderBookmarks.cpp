#include "access/FolderBookmarks.h"

#include "platform/Paths.h"

#include <nlohmann/json.hpp>

#include <fmt/format.h>
#include <cerrno>

namespace kestrova {
namespace {

using Json = nlohmann::json;

Error missingFolder(const std::string& path) {
    return Error{fmt::format("The folder “{}” couldn’t be found.", lastPathComponent(path)), ENOENT};
}

}  // namespace

Result<std::string> FolderBookmarks::create(const std::string& folder) const {
    if (!isAbsolutePath(folder)) {
        return Error{fmt::format("“{}” is not an absolute path.", folder), EINVAL};
    }
    const auto path = standardizedPath(folder);
    const auto info = fileSystem_->status(path);
    if (!info) {
        return missingFolder(path);
    }
    if (!info->isDirectory) {
        return Error{fmt::format("“{}” is not a folder.", lastPathComponent(path)), ENOTDIR};
    }
    const auto identity = fileSystem_->identity(path);
    if (!identity) {
        return missingFolder(path);
    }
    const Json data = {{"path", path}, {"device", identity->device}, {"inode", identity->inode}};
    return data.dump();
}

Result<ResolvedBookmark> FolderBookmarks::resolve(std::string_view data) const {
    const auto bookmark = Json::parse(data, nullptr, false);
    const auto isValid = [&] {
        return bookmark.is_object() && bookmark.contains("path") && bookmark["path"].is_string() &&
               isAbsolutePath(bookmark["path"].get_ref<const std::string&>()) && bookmark.contains("device") &&
               bookmark["device"].is_number_unsigned() && bookmark.contains("inode") &&
               bookmark["inode"].is_number_unsigned();
    };
    if (bookmark.is_discarded() || !isValid()) {
        return Error{"The bookmark data is damaged.", EINVAL};
    }
    const auto path = standardizedPath(bookmark["path"].get<std::string>());
    const auto identity = fileSystem_->identity(path);
    if (!identity || !fileSystem_->isDirectory(path)) {
        return missingFolder(path);
    }
    const FileIdentity recorded{bookmark["device"].get<std::uint64_t>(), bookmark["inode"].get<std::uint64_t>()};
    return ResolvedBookmark{path, *identity != recorded};
}

bool FolderBookmarks::startAccessing(const std::string& folder) {
    return fileSystem_->isDirectory(folder) && fileSystem_->isReadable(folder);
}

}  // namespace kestrova
