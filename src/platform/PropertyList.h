// Property lists as bundles carry them, XML or binary. Readers only ever need
// the top-level string values of a dictionary; writing (fixtures, the demo
// tree) also takes integers and Booleans.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace kestrova {

// Top-level keys whose values are strings; other values are left out, since
// no reader counts a non-string value.
using InfoDictionary = std::map<std::string, std::string>;

// The string entries of a property list whose root is a dictionary, in either
// encoding. Absent when the bytes are not a property list or the root is not
// a dictionary.
std::optional<InfoDictionary> parsePropertyListDictionary(std::string_view bytes);

enum class PropertyListFormat { xml, binary };
using PropertyListValue = std::variant<std::string, std::int64_t, bool>;
using PropertyListDictionary = std::map<std::string, PropertyListValue>;

std::string serializePropertyList(const PropertyListDictionary& dictionary, PropertyListFormat format);

}  // namespace kestrova
