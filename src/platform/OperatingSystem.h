// What the running system says about itself, for support reports.
#pragma once

#include "platform/FileSystem.h"

#include <string>
#include <string_view>

namespace kestrova {

// The distribution's name from /etc/os-release (PRETTY_NAME) and the
// kernel release, e.g. "Debian GNU/Linux 12 (bookworm) (Linux 6.1.0-18-amd64)".
// Either part is left out when the system does not report it.
std::string operatingSystemVersionString(const FileSystem& fileSystem = realFileSystem());

// The processor this computer runs, as uname names it ("x86_64", "aarch64").
std::string machineName();
// The same in the words the Linux inventory uses for plug-in code ("x86-64",
// "ARM64", "ARM", "x86"); other machines keep uname's name.
std::string machineArchitectureName(std::string_view machine);

}  // namespace kestrova
