// Dates and times as the user reads them: ICU's short styles for the current
// locale and time zone. Display text only; nothing parses it back.
#pragma once

#include "platform/Date.h"

#include <string>

namespace kestrova {

// The time of day alone, e.g. "3:07 PM" (ICU may put U+202F before "PM").
std::string shortTimeText(Date when);
// The date alone, e.g. "6/14/25".
std::string shortDateText(Date when);
// Date and time together, both in the short style.
std::string shortDateTimeText(Date when);
// Abbreviated date with the standard (seconds-bearing) time, e.g.
// "Jun 14, 2025, 3:07:12 PM": how reports stamp a moment.
std::string abbreviatedDateTimeText(Date when);
// Abbreviated date with the short time, e.g. "Jun 14, 2025, 3:07 PM".
std::string abbreviatedDateShortTimeText(Date when);

// Abbreviated date with the short time, e.g. "Jun 14, 2025, 3:07 PM": how
// screens show when something last happened.
std::string abbreviatedDateShortTimeText(Date when);

}  // namespace kestrova
