// Shared rules for reading and writing records as JSON: keys are field names,
// absent optionals are omitted, dates are seconds since 2001, UUIDs are
// upper-case strings. Decoding is strict: a missing required key, a wrong
// type or an unknown raw value throws DecodingError, which module edges turn
// into an error value.
#pragma once

#include "platform/Date.h"
#include "platform/Uuid.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kestrova {

using Json = nlohmann::json;

class DecodingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Value coders, so templates below can decode any field type the same way.
template <typename T>
struct JsonCoder {
    static Json encode(const T& value) { return Json(value); }
    static T decode(const Json& json, const std::string& key) {
        try {
            return json.get<T>();
        } catch (const nlohmann::json::exception&) {
            throw DecodingError("The value of “" + key + "” has the wrong type.");
        }
    }
};

template <>
struct JsonCoder<std::string> {
    static Json encode(const std::string& value) { return value; }
    static std::string decode(const Json& json, const std::string& key) {
        if (!json.is_string()) {
            throw DecodingError("The value of “" + key + "” is not a string.");
        }
        return json.get<std::string>();
    }
};

template <>
struct JsonCoder<bool> {
    static Json encode(bool value) { return value; }
    static bool decode(const Json& json, const std::string& key) {
        if (!json.is_boolean()) {
            throw DecodingError("The value of “" + key + "” is not a Boolean.");
        }
        return json.get<bool>();
    }
};

template <>
struct JsonCoder<int> {
    static Json encode(int value) { return value; }
    static int decode(const Json& json, const std::string& key) {
        if (!json.is_number_integer()) {
            throw DecodingError("The value of “" + key + "” is not an integer.");
        }
        const auto value = json.get<std::int64_t>();
        if (value < INT32_MIN || value > INT32_MAX) {
            throw DecodingError("The value of “" + key + "” is out of range.");
        }
        return static_cast<int>(value);
    }
};

template <>
struct JsonCoder<double> {
    static Json encode(double value) { return value; }
    static double decode(const Json& json, const std::string& key) {
        if (!json.is_number()) {
            throw DecodingError("The value of “" + key + "” is not a number.");
        }
        return json.get<double>();
    }
};

template <>
struct JsonCoder<Date> {
    static Json encode(const Date& value) { return value.secondsSinceReferenceDate; }
    static Date decode(const Json& json, const std::string& key) {
        return Date{JsonCoder<double>::decode(json, key)};
    }
};

template <>
struct JsonCoder<Uuid> {
    static Json encode(const Uuid& value) { return value.string(); }
    static Uuid decode(const Json& json, const std::string& key) {
        const auto text = JsonCoder<std::string>::decode(json, key);
        const auto uuid = Uuid::parse(text);
        if (!uuid) {
            throw DecodingError("The value of “" + key + "” is not a UUID.");
        }
        return *uuid;
    }
};

template <typename T>
struct JsonCoder<std::vector<T>> {
    static Json encode(const std::vector<T>& values) {
        Json array = Json::array();
        for (const auto& value : values) {
            array.push_back(JsonCoder<T>::encode(value));
        }
        return array;
    }
    static std::vector<T> decode(const Json& json, const std::string& key) {
        if (!json.is_array()) {
            throw DecodingError("The value of “" + key + "” is not an array.");
        }
        std::vector<T> values;
        values.reserve(json.size());
        for (const auto& element : json) {
            values.push_back(JsonCoder<T>::decode(element, key));
        }
        return values;
    }
};

inline const Json& requireObject(const Json& json, const std::string& what) {
    if (!json.is_object()) {
        throw DecodingError("The " + what + " is not a JSON object.");
    }
    return json;
}

template <typename T>
T requiredField(const Json& object, const std::string& key) {
    const auto found = object.find(key);
    if (found == object.end()) {
        throw DecodingError("The key “" + key + "” is missing.");
    }
    return JsonCoder<T>::decode(*found, key);
}

// A missing key or an explicit null reads as absent.
template <typename T>
std::optional<T> optionalField(const Json& object, const std::string& key) {
    const auto found = object.find(key);
    if (found == object.end() || found->is_null()) {
        return std::nullopt;
    }
    return JsonCoder<T>::decode(*found, key);
}

template <typename T>
void putField(Json& object, const std::string& key, const T& value) {
    object[key] = JsonCoder<T>::encode(value);
}

template <typename T>
void putField(Json& object, const std::string& key, const std::optional<T>& value) {
    if (value) {
        object[key] = JsonCoder<T>::encode(*value);
    }
}

}  // namespace kestrova
