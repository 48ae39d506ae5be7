#include "platform/Text.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <memory>
#include <mutex>

namespace kestrova {
namespace {

icu::UnicodeString fromUtf8(std::string_view text) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}

std::string toUtf8(const icu::UnicodeString& text) {
    std::string result;
    text.toUTF8String(result);
    return result;
}

// ICU maps the C and POSIX locales to en_US_POSIX, whose collation orders
// by code point: upper case before lower case and case never ignored. Names
// must compare the way a person reads them whatever the process locale, so
// that locale falls back to the root collation.
icu::Locale collationLocale() {
    const auto& locale = icu::Locale::getDefault();
    if (std::string_view(locale.getVariant()) == "POSIX") {
        return icu::Locale::getRoot();
    }
    return locale;
}

// Collators are expensive to open; one per thread per mode is reused. They
// are not shared across threads because ICU collators are not thread-safe.
icu::Collator& collator(bool numeric) {
    thread_local std::unique_ptr<icu::Collator> plain;
    thread_local std::unique_ptr<icu::Collator> withNumbers;
    auto& slot = numeric ? withNumbers : plain;
    if (!slot) {
        UErrorCode status = U_ZERO_ERROR;
        slot.reset(icu::Collator::createInstance(collationLocale(), status));
        if (U_FAILURE(status) || !slot) {
            status = U_ZERO_ERROR;
            slot.reset(icu::Collator::createInstance(icu::Locale::getRoot(), status));
        }
        slot->setStrength(icu::Collator::SECONDARY);
        status = U_ZERO_ERROR;
        slot->setAttribute(UCOL_NUMERIC_COLLATION, numeric ? UCOL_ON : UCOL_OFF, status);
    }
    return *slot;
}

int compareWith(icu::Collator& coll, std::string_view a, std::string_view b) {
    UErrorCode status = U_ZERO_ERROR;
    const auto result = coll.compareUTF8(icu::StringPiece(a.data(), static_cast<int32_t>(a.size())),
                                         icu::StringPiece(b.data(), static_cast<int32_t>(b.size())), status);
    if (U_FAILURE(status)) {
        return a < b ? -1 : (a == b ? 0 : 1);
    }
    return result == UCOL_LESS ? -1 : (result == UCOL_EQUAL ? 0 : 1);
}

icu::Transliterator* diacriticRemover() {
    thread_local std::unique_ptr<icu::Transliterator> remover;
    if (!remover) {
        UErrorCode status = U_ZERO_ERROR;
        remover.reset(
            icu::Transliterator::createInstance("NFD; [:Nonspacing Mark:] Remove; NFC", UTRANS_FORWARD, status));
        if (U_FAILURE(status)) {
            remover.reset();
        }
    }
    return remover.get();
}

}  // namespace

int localizedCaseInsensitiveCompare(std::string_view a, std::string_view b) {
    return compareWith(collator(false), a, b);
}

int localizedStandardCompare(std::string_view a, std::string_view b) { return compareWith(collator(true), a, b); }

std::string localizedStandardSortKey(std::string_view text) {
    const auto unicode = fromUtf8(text);
    auto& coll = collator(true);
    std::string key(64, '\0');
    auto length = coll.getSortKey(unicode, reinterpret_cast<uint8_t*>(key.data()), static_cast<int32_t>(key.size()));
    if (length > static_cast<int32_t>(key.size())) {
        key.resize(static_cast<std::size_t>(length));
        length = coll.getSortKey(unicode, reinterpret_cast<uint8_t*>(key.data()), length);
    }
    // The key ends in a terminating zero byte that plain order does not need.
    key.resize(length > 0 ? static_cast<std::size_t>(length - 1) : 0);
    return key;
}

std::string foldCaseAndDiacritics(std::string_view text) {
    auto unicode = fromUtf8(text);
    if (auto* remover = diacriticRemover()) {
        remover->transliterate(unicode);
    }
    unicode.foldCase();
    return toUtf8(unicode);
}

std::string foldCase(std::string_view text) {
    auto unicode = fromUtf8(text);
    unicode.foldCase();
    return toUtf8(unicode);
}

bool localizedCaseInsensitiveContains(std::string_view text, std::string_view part) {
    return foldCase(text).find(foldCase(part)) != std::string::npos;
}

bool localizedStandardContains(std::string_view text, std::string_view part) {
    return foldCaseAndDiacritics(text).find(foldCaseAndDiacritics(part)) != std::string::npos;
}

std::string lowercased(std::string_view text) {
    std::string result(text);
    for (auto& c : result) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return result;
}

std::string uppercased(std::string_view text) {
    std::string result(text);
    for (auto& c : result) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return result;
}

std::string unicodeLowercased(std::string_view text) {
    auto unicode = fromUtf8(text);
    unicode.toLower(icu::Locale::getRoot());
    return toUtf8(unicode);
}

std::string unicodeUppercased(std::string_view text) {
    auto unicode = fromUtf8(text);
    unicode.toUpper(icu::Locale::getRoot());
    return toUtf8(unicode);
}

std::string trimmedWhitespace(std::string_view text) {
    constexpr std::string_view whitespace = " \t\n\r";
    const auto first = text.find_first_not_of(whitespace);
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(whitespace);
    return std::string(text.substr(first, last - first + 1));
}

}  // namespace kestrova
