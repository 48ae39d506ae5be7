#include "store/DisplayPath.h"

#include "platform/Paths.h"

namespace kestrova {

std::string displayPath(std::string_view path, std::string_view home) {
    auto standardized = standardizedPath(path);
    const auto standardizedHome = standardizedPath(home);
    // Without a known home nothing abbreviates.
    if (standardizedHome.empty()) {
        return standardized;
    }
    if (standardized == standardizedHome) {
        return "~";
    }
    if (standardized.size() > standardizedHome.size() && standardized.starts_with(standardizedHome) &&
        standardized[standardizedHome.size()] == '/') {
        return "~" + standardized.substr(standardizedHome.size());
    }
    return standardized;
}

}  // namespace kestrova
