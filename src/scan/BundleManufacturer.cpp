#include "scan/BundleManufacturer.h"

#include "platform/Text.h"

#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <array>
#include <vector>

namespace kestrova {
namespace {

struct Vendor {
    std::string_view searchString;
    std::string_view manufacturer;
};

// Checked in order: the first search string found anywhere wins, so the
// shell's own name is tried before the broader "waves".
constexpr std::array<Vendor, 15> knownVendors{{
    {"waveshell", "Waves"},
    {"waves", "Waves"},
    {"fabfilter", "FabFilter"},
    {"native instruments", "Native Instruments"},
    {"native-instruments", "Native Instruments"},
    {"izotope", "iZotope"},
    {"soundtoys", "Soundtoys"},
    {"valhalla", "Valhalla DSP"},
    {"universal audio", "Universal Audio"},
    {"arturia", "Arturia"},
    {"cradle", "Cradle"},
    {"akaipro", "Akai Pro"},
    {"analogobsession", "Analog Obsession"},
    {"acondigital", "Acon Digital"},
    {"29palms", "29Palms"},
}};

// Identifier pieces that name a domain or a plug-in kind, never a company.
constexpr std::array<std::string_view, 10> genericIdentifierPieces{
    "com", "net", "org", "audio", "audiounit", "plugin", "plugins", "vst", "vst3", "aax",
};

std::string trimmedSpacesAndTabs(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return std::string(text.substr(first, last - first + 1));
}

bool containsLetter(std::string_view text) {
    const auto unicode = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    for (int32_t i = 0; i < unicode.length(); i = unicode.moveIndex32(i, 1)) {
        if (u_isalpha(unicode.char32At(i))) {
            return true;
        }
    }
    return false;
}

std::optional<std::string> manufacturerFromIdentifier(std::string_view identifier) {
    std::size_t start = 0;
    while (start <= identifier.size()) {
        auto end = identifier.find('.', start);
        if (end == std::string_view::npos) {
            end = identifier.size();
        }
        const auto piece = identifier.substr(start, end - start);
        start = end + 1;
        if (piece.empty()) {
            continue;
        }
        const auto lower = unicodeLowercased(piece);
        if (std::find(genericIdentifierPieces.begin(), genericIdentifierPieces.end(), lower) !=
            genericIdentifierPieces.end()) {
            continue;
        }
        if (containsLetter(piece)) {
            std::string spaced(piece);
            std::replace(spaced.begin(), spaced.end(), '-', ' ');
            return capitalizedWords(spaced);
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> nonBlankInfoValue(const InfoDictionary& info, std::string_view key) {
    const auto found = info.find(std::string(key));
    if (found == info.end() || trimmedSpacesAndTabs(found->second).empty()) {
        return std::nullopt;
    }
    return found->second;
}

std::string capitalizedWords(std::string_view text) {
    const auto unicode = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    icu::UnicodeString result;
    bool atWordStart = true;
    for (int32_t i = 0; i < unicode.length(); i = unicode.moveIndex32(i, 1)) {
        const UChar32 c = unicode.char32At(i);
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            result.append(c);
            atWordStart = true;
            continue;
        }
        if (atWordStart) {
            result.append(u_totitle(c));
        } else {
            icu::UnicodeString character(c);
            character.toLower(icu::Locale::getRoot());
            result.append(character);
        }
        atWordStart = false;
    }
    std::string utf8;
    result.toUTF8String(utf8);
    return utf8;
}

std::string bundleManufacturer(const InfoDictionary& info, const std::optional<std::string>& identifier) {
    std::vector<std::string> searchParts;
    for (const auto key : {"CFBundleDisplayName", "CFBundleName"}) {
        if (auto value = nonBlankInfoValue(info, key)) {
            searchParts.push_back(std::move(*value));
        }
    }
    if (identifier) {
        searchParts.push_back(*identifier);
    }
    std::string searchText;
    for (const auto& part : searchParts) {
        if (!searchText.empty()) {
            searchText += ' ';
        }
        searchText += part;
    }
    searchText = unicodeLowercased(searchText);
    for (const auto& vendor : knownVendors) {
        if (searchText.find(vendor.searchString) != std::string::npos) {
            return std::string(vendor.manufacturer);
        }
    }
    for (const auto key : {"AudioUnitManufacturer", "Manufacturer"}) {
        if (auto value = nonBlankInfoValue(info, key)) {
            return *value;
        }
    }
    if (identifier) {
        if (auto fromIdentifier = manufacturerFromIdentifier(*identifier)) {
            return *fromIdentifier;
        }
    }
    return "Unknown";
}

}  // namespace kestrova
