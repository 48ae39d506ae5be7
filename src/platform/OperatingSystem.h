// What the running system says about itself, for support reports.
#pragma once

#include "platform/FileSystem.h"

#include <string>

namespace kestrova {

// The distribution's name from /etc/os-release (PRETTY_NAME) and the
// kernel release, e.g. "Debian GNU/Linux 12 (bookworm) (Linux 6.1.0-18-amd64)".
// Either part is left out when the system does not report it.
std::string operatingSystemVersionString(const FileSystem& fileSystem = realFileSystem());

}  // namespace kestrova
