#include "planning/ByteCountParsing.h"

#include "platform/Text.h"

#include <charconv>
#include <cmath>
#include <string>
#include <vector>

namespace kestrova {
namespace {

std::vector<std::string_view> splitAtWhitespace(std::string_view text) {
    constexpr std::string_view whitespace = " \t\n\r";
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while ((start = text.find_first_not_of(whitespace, start)) != std::string_view::npos) {
        const auto end = std::min(text.find_first_of(whitespace, start), text.size());
        parts.push_back(text.substr(start, end - start));
        start = end;
    }
    return parts;
}

}  // namespace

std::optional<std::int64_t> parseDisplaySize(std::string_view text) {
    const auto parts = splitAtWhitespace(text);
    if (parts.size() < 2) {
        return std::nullopt;
    }
    auto number = parts[0];
    if (number.size() > 1 && number.front() == '+' && number[1] != '-') {
        number.remove_prefix(1);
    }
    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || end != number.data() + number.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    const auto unit = uppercased(parts[1]);
    double factor = 0;
    if (unit == "KB") {
        factor = 1e3;
    } else if (unit == "MB") {
        factor = 1e6;
    } else if (unit == "GB") {
        factor = 1e9;
    } else {
        return std::nullopt;
    }
    const double bytes = std::trunc(value * factor);
    // 2^63 itself is out of range; every whole double below it converts exactly.
    if (!(bytes >= -9223372036854775808.0 && bytes < 9223372036854775808.0)) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(bytes);
}

}  // namespace kestrova
