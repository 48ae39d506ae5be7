// Locale-aware text comparison and folding, as the user sees names ordered
// and matched. Backed by ICU for the current locale; glibc collation is not
// used because it ignores spaces and punctuation at the first level.
#pragma once

#include <string>
#include <string_view>

namespace kestrova {

// Collation of the current locale with case ignored (accents kept).
int localizedCaseInsensitiveCompare(std::string_view a, std::string_view b);
// The same with numbers compared by value ("Unit 9" before "Unit 10").
int localizedStandardCompare(std::string_view a, std::string_view b);
// A byte string whose plain order (std::string's <) is the order of
// localizedStandardCompare, for sorting many names without comparing each
// pair through the collator again. Equal keys mean the compare gives 0.
std::string localizedStandardSortKey(std::string_view text);
// Case- and diacritic-insensitive form: NFD, marks dropped, NFC, case folded.
std::string foldCaseAndDiacritics(std::string_view text);
// Case-folded form only (diacritics kept).
std::string foldCase(std::string_view text);
// Whether `text` contains `part`, ignoring case (localized).
bool localizedCaseInsensitiveContains(std::string_view text, std::string_view part);
// Whether `text` contains `part`, ignoring case and diacritics.
bool localizedStandardContains(std::string_view text, std::string_view part);
// ASCII-only lower-casing for keys built from paths and names; non-ASCII
// bytes pass unchanged.
std::string lowercased(std::string_view text);
std::string uppercased(std::string_view text);
// Unicode-aware lower-casing (root locale), for product and bundle keys.
std::string unicodeLowercased(std::string_view text);
std::string unicodeUppercased(std::string_view text);
// Spaces, tabs and newlines trimmed from both ends.
std::string trimmedWhitespace(std::string_view text);

}  // namespace kestrova
