#include "platform/SystemLayout.h"

#include "platform/Paths.h"

#include <cstdlib>

namespace kestrova {

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

}  // namespace kestrova
