// Enumerations stored as strings: one table of raw values per enumeration,
// indexed by the case's position, and strict decoding against it.
#pragma once

#include "model/JsonCoding.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kestrova {

template <typename Enum, std::size_t N>
std::string_view rawValueIn(const std::array<std::string_view, N>& table, Enum value) {
    return table.at(static_cast<std::size_t>(value));
}

template <typename Enum, std::size_t N>
std::optional<Enum> caseForRawValue(const std::array<std::string_view, N>& table, std::string_view raw) {
    for (std::size_t i = 0; i < N; ++i) {
        if (table[i] == raw) {
            return static_cast<Enum>(i);
        }
    }
    return std::nullopt;
}

// Reads a raw value and throws DecodingError naming `what` when it is unknown.
template <typename Enum, std::size_t N>
Enum decodeRawValue(const std::array<std::string_view, N>& table, const Json& json, const std::string& key,
                    std::string_view what) {
    const auto raw = JsonCoder<std::string>::decode(json, key);
    if (const auto value = caseForRawValue<Enum>(table, raw)) {
        return *value;
    }
    throw DecodingError("“" + raw + "” is not " + std::string(what) + ".");
}

}  // namespace kestrova
