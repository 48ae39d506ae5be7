// Paths as reports show them: the home folder abbreviated to "~".
#pragma once

#include <string>
#include <string_view>

namespace kestrova {

// Both sides standardized first; the home itself is "~", a path below it
// "~/rest", anything else the standardized path unchanged.
std::string displayPath(std::string_view path, std::string_view home);

}  // namespace kestrova
