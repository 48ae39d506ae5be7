#include "helper/TopdirTrash.h"

#include "helper/SecureDirectory.h"
#include "platform/Paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fmt/format.h>
#include <cerrno>
#include <cstring>

namespace kestrova {
namespace {

Result<FileDescriptor> ownedFolder(int parent, const std::string& parentPath, const std::string& name, uid_t uid,
                                   gid_t gid) {
    const auto path = appendingPathComponent(parentPath, name);
    const bool made = ::mkdirat(parent, name.c_str(), 0700) == 0;
    if (!made && errno != EEXIST) {
        return Error{fmt::format("Could not create the Trash folder “{}”: {}.", path, std::strerror(errno)), errno};
    }
    FileDescriptor folder(::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.valid()) {
        const int code = errno;
        struct stat entry {};
        const bool isLink = ::fstatat(parent, name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(entry.st_mode);
        return Error{fmt::format("“{}” is not a Trash folder: {}.", path,
                                 isLink ? "it is a symbolic link" : std::strerror(code)),
                     code};
    }
    if (made && ::geteuid() == 0 && ::fchown(folder.get(), uid, gid) != 0) {
        return Error{fmt::format("Could not give the Trash folder “{}” to its user: {}.", path, std::strerror(errno)),
                     errno};
    }
    struct stat info {};
    if (::fstat(folder.get(), &info) != 0 || info.st_uid != uid) {
        return Error{fmt::format("The Trash folder “{}” belongs to another user.", path), EPERM};
    }
    return folder;
}

}  // namespace

Status prepareTopdirTrash(const std::string& filesFolder, uid_t uid, gid_t gid) {
    const auto trash = deletingLastPathComponent(filesFolder);
    const auto topdir = deletingLastPathComponent(trash);
    auto top = openDirectoryNoFollow(topdir);
    if (!top) {
        return top.error();
    }
    auto trashFolder = ownedFolder(top->get(), topdir, lastPathComponent(trash), uid, gid);
    if (!trashFolder) {
        return trashFolder.error();
    }
    for (const auto* name : {"files", "info"}) {
        if (auto inside = ownedFolder(trashFolder->get(), trash, name, uid, gid); !inside) {
            return inside.error();
        }
    }
    return {};
}

}  // namespace kestrova
