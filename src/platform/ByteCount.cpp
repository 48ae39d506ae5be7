#include "platform/ByteCount.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <limits>

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
    // KB without decimals, MB with one, GB and larger with two. Integer
    // arithmetic rounds half up exactly, where a double would turn 39.85 MB
    // into 39.8499... A value that rounds up to the next unit is shown in that
    // unit ("1 MB", not "1000 KB").
    constexpr std::array<const char*, 6> units{"KB", "MB", "GB", "TB", "PB", "EB"};
    constexpr std::array<int, 6> decimals{0, 1, 2, 2, 2, 2};
    std::uint64_t unitBytes = 1000;
    for (std::size_t unit = 0; unit < units.size(); ++unit) {
        std::uint64_t fractionScale = 1;
        for (int i = 0; i < decimals[unit]; ++i) {
            fractionScale *= 10;
        }
        const std::uint64_t step = unitBytes / fractionScale;  // bytes per last shown digit
        std::uint64_t steps = bytes / step;
        if ((bytes % step) * 2 >= step) {
            ++steps;
        }
        const bool last = unit + 1 == units.size();
        if (steps < 1000 * fractionScale || last) {
            const auto whole = steps / fractionScale;
            auto fraction = steps % fractionScale;
            int digits = decimals[unit];
            // Trailing zeros go, as the system formatter drops them ("40 MB").
            while (digits > 0 && fraction % 10 == 0) {
                fraction /= 10;
                --digits;
            }
            if (digits == 0) {
                return fmt::format("{} {}", whole, units[unit]);
            }
            return fmt::format("{}.{:0{}} {}", whole, fraction, digits, units[unit]);
        }
        unitBytes *= 1000;
    }
    return {};
}

std::int64_t addingByteCount(std::int64_t total, std::uint64_t size) {
    const auto clamped = static_cast<std::int64_t>(
        std::min<std::uint64_t>(size, static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())));
    std::int64_t sum = 0;
    if (__builtin_add_overflow(total, clamped, &sum)) {
        return std::numeric_limits<std::int64_t>::max();
    }
    return sum;
}

}  // namespace kestrova
