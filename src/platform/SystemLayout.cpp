#include "platform/SystemLayout.h"

#include "platform/LinuxLayout.h"
#include "platform/Paths.h"

#include <unistd.h>

#include <cstdlib>

namespace kestrova {

unsigned currentUserID() { return static_cast<unsigned>(::getuid()); }

std::string_view sideName(BundleSide side) { return side == BundleSide::user ? "user" : "system"; }

SystemLayout SystemLayout::fromEnvironment() {
    SystemLayout layout;
    if (const char* root = std::getenv("KESTROVA_ROOT"); root && *root) {
        layout.systemRoot = standardizedPath(root);
    }
    if (const char* home = std::getenv("HOME"); home && *home) {
        layout.home = standardizedPath(home);
    } else {
        layout.home = "/";
    }
    // Relative values are invalid and ignored, as the XDG rules say.
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && isAbsolutePath(data)) {
        layout.dataHome = standardizedPath(data);
    }
    const char* root = std::getenv("KESTROVA_ROOT");
    // An unknown KESTROVA_PROFILE keeps the macOS layout here; the front
    // ends validate it before they get this far.
    if (auto profile = choosePlatformProfile(std::nullopt, root && *root)) {
        layout.profile = *profile;
    }
    return layout;
}

std::string SystemLayout::system(std::string_view absolutePath) const {
    if (systemRoot.empty() || systemRoot == "/") {
        return standardizedPath(absolutePath);
    }
    return standardizedPath(appendingPathComponent(systemRoot, absolutePath));
}

std::string SystemLayout::user(std::string_view relativePath) const {
    return standardizedPath(appendingPathComponent(home, relativePath));
}

std::string SystemLayout::applicationSupport() const {
    if (profile == PlatformProfile::gnuLinux) {
        return dataHome.empty() ? user(linuxlayout::defaultDataHome) : standardizedPath(dataHome);
    }
    return user("Library/Application Support");
}

std::string SystemLayout::preferences() const {
    return user(profile == PlatformProfile::gnuLinux ? ".config" : "Library/Preferences");
}

std::string SystemLayout::trashFolder() const {
    if (profile == PlatformProfile::gnuLinux) {
        return appendingPathComponent(appendingPathComponent(applicationSupport(), linuxlayout::homeTrashName),
                                      "files");
    }
    return user(".Trash");
}

}  // namespace kestrova
