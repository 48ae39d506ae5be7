#include "helper/TrashInfoFile.h"

#include "platform/FreedesktopTrash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fmt/format.h>
#include <cerrno>
#include <cstring>

namespace kestrova {

Status createTrashInfoFile(int infoFolder, const std::string& name, const std::string& originalPath,
                           std::time_t deletedAt) {
    const int fd = ::openat(infoFolder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int code = errno;
        return Error{fmt::format("Could not create the Trash record “{}”: {}.", name,
                                 code == EEXIST ? "one by that name already exists" : std::strerror(code)),
                     code};
    }
    const auto text = trashInfoText(originalPath, trashDeletionDate(deletedAt));
    std::size_t written = 0;
    int code = 0;
    while (written < text.size()) {
        const auto count = ::write(fd, text.data() + written, text.size() - written);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            code = errno;
            break;
        }
        written += static_cast<std::size_t>(count);
    }
    if (code == 0 && ::fsync(fd) != 0) {
        code = errno;
    }
    // The helper runs as root; the record belongs to whoever owns the Trash.
    struct stat folder {};
    if (code == 0 && ::geteuid() == 0 && ::fstat(infoFolder, &folder) == 0) {
        static_cast<void>(::fchown(fd, folder.st_uid, folder.st_gid));
    }
    ::close(fd);
    if (code != 0) {
        ::unlinkat(infoFolder, name.c_str(), 0);
        return Error{fmt::format("Could not write the Trash record “{}”: {}.", name, std::strerror(code)), code};
    }
    return {};
}

void removeTrashInfoFile(int infoFolder, const std::string& name) { ::unlinkat(infoFolder, name.c_str(), 0); }

}  // namespace kestrova
