// What the readers and writers of text formats with escapes share (Turtle,
// JSON5, file URIs, the Trash's records): turning an escaped code point into
// UTF-8, reading hex digits, percent-encoding a path.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrova {

// Appends `code` as UTF-8. A surrogate or a value past U+10FFFF, which no
// valid escape names, becomes U+FFFD so the text stays valid UTF-8.
void appendUtf8(std::string& out, std::uint32_t code);
// The value of one hex digit, or -1.
int hexDigitValue(char c);
// `path` with every byte but the unreserved ones and "/" as %XX (upper-case
// hex), as file URIs and .trashinfo records write paths.
std::string percentEncodedPath(std::string_view path);

}  // namespace kestrova
