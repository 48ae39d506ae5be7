// Plans carry byte counts, but bundles only keep their display sizes
// ("39.8 MB"); this reads them back.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kestrova {

// A number, white space, and KB, MB or GB (decimal units, any case); the
// result truncated toward zero. Absent for anything else, including plain
// byte counts and values beyond 64 bits.
std::optional<std::int64_t> parseDisplaySize(std::string_view text);

}  // namespace kestrova
