#include "helper/SecureDirectory.h"

#include "platform/Paths.h"

#include <fcntl.h>
#include <unistd.h>

#include <fmt/format.h>
#include <cerrno>
#include <cstring>
#include <vector>

namespace kestrova {
namespace {

std::vector<std::string> components(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 1;
    while (start < path.size()) {
        auto end = path.find('/', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        if (end > start) {
            parts.push_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return parts;
}

Error openError(const std::string& path, int code) {
    if (code == ELOOP || code == ENOTDIR) {
        return Error{fmt::format("“{}” passes through a symbolic link or something that is not a folder.", path), code};
    }
    return Error{fmt::format("Could not open the folder “{}”: {}.", path, std::strerror(code)), code};
}

constexpr int directoryFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

}  // namespace

Result<FileDescriptor> openDirectoryNoFollow(const std::string& path) {
    if (!isAbsolutePath(path) || standardizedPath(path) != path) {
        return Error{fmt::format("“{}” is not a standardized absolute path.", path), EINVAL};
    }
    FileDescriptor current(::open("/", directoryFlags));
    if (!current.valid()) {
        return openError("/", errno);
    }
    for (const auto& part : components(path)) {
        FileDescriptor next(::openat(current.get(), part.c_str(), directoryFlags));
        if (!next.valid()) {
            return openError(path, errno);
        }
        current = std::move(next);
    }
    return current;
}

Result<ExistingAncestor> openDeepestExistingDirectory(const std::string& path) {
    std::string candidate = path;
    while (true) {
        auto opened = openDirectoryNoFollow(candidate);
        if (opened) {
            return ExistingAncestor{std::move(*opened), candidate};
        }
        if (opened.error().code != ENOENT || candidate == "/") {
            return opened.error();
        }
        candidate = deletingLastPathComponent(candidate);
    }
}

Result<std::optional<struct stat>> statEntryNoFollow(int directoryFd, const std::string& name) {
    struct stat info {};
    if (::fstatat(directoryFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
        return std::optional<struct stat>(info);
    }
    if (errno == ENOENT) {
        return std::optional<struct stat>();
    }
    return Error{fmt::format("Could not examine “{}”: {}.", name, std::strerror(errno)), errno};
}

}  // namespace kestrova
