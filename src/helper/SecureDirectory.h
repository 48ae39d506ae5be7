// Folders opened one component at a time from "/" without following any
// symbolic link, so a path checked here cannot be redirected later: every
// move then works on these handles, not on path strings.
#pragma once

#include "platform/Result.h"
#include "platform/UnixSocket.h"

#include <sys/stat.h>

#include <optional>
#include <string>

namespace kestrova {

// Opens the folder at an absolute, standardized path. Fails with ELOOP or
// ENOTDIR when any component is a symbolic link or not a folder, ENOENT when
// one is missing.
Result<FileDescriptor> openDirectoryNoFollow(const std::string& path);

// The deepest folder of `path` (itself included) that exists, opened the
// same way; used where the daemon will create what is missing.
struct ExistingAncestor {
    FileDescriptor directory;
    std::string path;
};
Result<ExistingAncestor> openDeepestExistingDirectory(const std::string& path);

// lstat of a name inside an opened folder; absent when nothing is there.
Result<std::optional<struct stat>> statEntryNoFollow(int directoryFd, const std::string& name);

}  // namespace kestrova
