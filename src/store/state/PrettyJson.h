// Printing a JSON value the way Json::dump(2) prints it, byte for byte, but
// appending to a text and a good deal faster: plain strings are copied in
// one piece instead of being decoded character by character. The state file
// of a large studio is tens of megabytes of such strings.
#pragma once

#include "model/JsonCoding.h"

#include <string>
#include <string_view>

namespace kestrova {

// Appends `value` as dump(2) would print it nested at `indent` spaces.
// Invalid UTF-8 is replaced as dump's replacing error handler does.
void appendPrettyJson(std::string& out, const Json& value, unsigned indent);
// Appends `text` as a JSON string the way dump prints it, quotes included.
void appendJsonString(std::string& out, std::string_view text);

}  // namespace kestrova
