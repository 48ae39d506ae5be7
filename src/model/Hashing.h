// Hashing of records over all their fields, for records kept in sets.
#pragma once

#include "platform/Date.h"

#include <cstddef>
#include <functional>
#include <optional>

namespace kestrova {

template <typename T>
void hashCombine(std::size_t& seed, const T& value) {
    seed ^= std::hash<T>{}(value) + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
}

inline void hashCombine(std::size_t& seed, const Date& date) { hashCombine(seed, date.secondsSinceReferenceDate); }

template <typename T>
void hashCombine(std::size_t& seed, const std::optional<T>& value) {
    hashCombine(seed, value.has_value());
    if (value) {
        hashCombine(seed, *value);
    }
}

}  // namespace kestrova
