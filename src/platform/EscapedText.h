// What the readers of text formats with escapes (Turtle, JSON5) share:
// turning an escaped code point into UTF-8 and reading hex digits.
#pragma once

#include <cstdint>
#include <string>

namespace kestrova {

// Appends `code` as UTF-8. A surrogate or a value past U+10FFFF, which no
// valid escape names, becomes U+FFFD so the text stays valid UTF-8.
void appendUtf8(std::string& out, std::uint32_t code);
// The value of one hex digit, or -1.
int hexDigitValue(char c);

}  // namespace kestrova
