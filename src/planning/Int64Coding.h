// 64-bit byte counts in plan records; the shared coders stop at 32 bits.
#pragma once

#include "model/JsonCoding.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kestrova {

inline void putOptionalInt64(Json& object, const std::string& key, const std::optional<std::int64_t>& value) {
    if (value) {
        object[key] = *value;
    }
}

inline std::optional<std::int64_t> optionalInt64Field(const Json& object, const std::string& key) {
    const auto found = object.find(key);
    if (found == object.end() || found->is_null()) {
        return std::nullopt;
    }
    if (!found->is_number_integer()) {
        throw DecodingError("The value of “" + key + "” is not an integer.");
    }
    return found->get<std::int64_t>();
}

}  // namespace kestrova
