#include "platform/ByteCount.h"

#include <fmt/format.h>

#include <array>
#include <cmath>

namespace kestrova {

std::string formatFileByteCount(std::uint64_t bytes) {
    if (bytes == 0) {
        return "Zero KB";
    }
    if (bytes == 1) {
        return "1 byte";
    }
    if (bytes < 1000) {
        return fmt::format("{} bytes", bytes);
    }
    // KB without decimals, MB with one, GB and larger with two; a value that
    // rounds up to the next unit is shown in that unit ("1 MB", not "1,000 KB").
    constexpr std::array<const char*, 6> units{"KB", "MB", "GB", "TB", "PB", "EB"};
    constexpr std::array<int, 6> decimals{0, 1, 2, 2, 2, 2};
    double value = static_cast<double>(bytes) / 1000.0;
    std::size_t unit = 0;
    while (unit + 1 < units.size()) {
        const double scale = std::pow(10.0, decimals[unit]);
        if (std::round(value * scale) / scale < 1000.0) {
            break;
        }
        value /= 1000.0;
        ++unit;
    }
    // Trailing zeros go, as the system formatter drops them ("40 MB").
    auto number = fmt::format("{:.{}f}", value, decimals[unit]);
    if (number.find('.') != std::string::npos) {
        number.erase(number.find_last_not_of('0') + 1);
        if (number.back() == '.') {
            number.pop_back();
        }
    }
    return fmt::format("{} {}", number, units[unit]);
}

}  // namespace kestrova
