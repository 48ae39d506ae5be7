// Who made a bundle, from what its information dictionary says: a table of
// known vendors first, then the manufacturer keys, then the bundle
// identifier.
#pragma once

#include "platform/PropertyList.h"

#include <optional>
#include <string>
#include <string_view>

namespace kestrova {

// A dictionary string counts only when something other than spaces and tabs
// is left after trimming them; it is then used as stored, untrimmed.
std::optional<std::string> nonBlankInfoValue(const InfoDictionary& info, std::string_view key);

// `identifier` is the non-blank CFBundleIdentifier, when there is one.
std::string bundleManufacturer(const InfoDictionary& info, const std::optional<std::string>& identifier);

// Each space-, tab- or newline-separated word with its first character upper
// case and the rest lower case ("u he" gives "U He").
std::string capitalizedWords(std::string_view text);

}  // namespace kestrova
