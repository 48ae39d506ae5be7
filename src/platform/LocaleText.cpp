#include "platform/LocaleText.h"

#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <memory>

namespace kestrova {
namespace {

std::string format(icu::DateFormat* formatter, Date when) {
    // The formatter is made per call: it is cheap next to the display work it
    // serves, and it picks up a changed default locale or time zone at once.
    std::unique_ptr<icu::DateFormat> owned(formatter);
    if (!owned) {
        return {};
    }
    icu::UnicodeString text;
    owned->format(when.unixSeconds() * 1000.0, text);
    std::string result;
    text.toUTF8String(result);
    return result;
}

}  // namespace

std::string shortTimeText(Date when) {
    return format(icu::DateFormat::createTimeInstance(icu::DateFormat::kShort, icu::Locale::getDefault()), when);
}

std::string shortDateText(Date when) {
    return format(icu::DateFormat::createDateInstance(icu::DateFormat::kShort, icu::Locale::getDefault()), when);
}

std::string shortDateTimeText(Date when) {
    return format(icu::DateFormat::createDateTimeInstance(icu::DateFormat::kShort, icu::DateFormat::kShort,
                                                          icu::Locale::getDefault()),
                  when);
}

std::string abbreviatedDateTimeText(Date when) {
    return format(icu::DateFormat::createDateTimeInstance(icu::DateFormat::kMedium, icu::DateFormat::kMedium,
                                                          icu::Locale::getDefault()),
                  when);
}

std::string abbreviatedDateShortTimeText(Date when) {
    return format(icu::DateFormat::createDateTimeInstance(icu::DateFormat::kMedium, icu::DateFormat::kShort,
                                                          icu::Locale::getDefault()),
                  when);
}

}  // namespace kestrova
