#include "store/state/PrettyJson.h"

#include <array>
#include <cstdint>

namespace kestrova {
namespace {

// Whether `text` is well-formed UTF-8: no overlong forms, no surrogates,
// nothing past U+10FFFF, no truncated sequence.
bool isWellFormedUtf8(std::string_view text) {
    std::size_t i = 0;
    const auto byte = [&](std::size_t at) { return static_cast<std::uint8_t>(text[at]); };
    while (i < text.size()) {
        const auto lead = byte(i);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        std::uint8_t low = 0x80;
        std::uint8_t high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (i + length > text.size() || byte(i + 1) < low || byte(i + 1) > high) {
            return false;
        }
        for (std::size_t k = 2; k < length; ++k) {
            if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

}  // namespace

void appendJsonString(std::string& out, std::string_view text) {
    static constexpr std::array<char, 16> hex{'0', '1', '2', '3', '4', '5', '6', '7',
                                              '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
    bool needsEscaping = false;
    bool hasNonAscii = false;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        needsEscaping = needsEscaping || u < 0x20 || c == '"' || c == '\\';
        hasNonAscii = hasNonAscii || u >= 0x80;
    }
    if (hasNonAscii && !isWellFormedUtf8(text)) {
        // Rare enough to leave to the library, whose replacement rules for
        // broken sequences are subtle.
        out += Json(std::string(text)).dump(-1, ' ', false, Json::error_handler_t::replace);
        return;
    }
    out += '"';
    if (!needsEscaping) {
        out += text;
    } else {
        for (const char c : text) {
            switch (c) {
                case '"':
                    out += "\\\"";
                    break;
                case '\\':
                    out += "\\\\";
                    break;
                case '\b':
                    out += "\\b";
                    break;
                case '\f':
                    out += "\\f";
                    break;
                case '\n':
                    out += "\\n";
                    break;
                case '\r':
                    out += "\\r";
                    break;
                case '\t':
                    out += "\\t";
                    break;
                default:
                    if (static_cast<unsigned char>(c) < 0x20) {
                        out += "\\u00";
                        out += hex[static_cast<unsigned char>(c) >> 4];
                        out += hex[static_cast<unsigned char>(c) & 0xF];
                    } else {
                        out += c;
                    }
            }
        }
    }
    out += '"';
}

namespace {

// "{}" or "[]" when empty; otherwise one member a line, two spaces further in.
template <typename AppendMember>
void appendContainer(std::string& out, const Json& container, unsigned indent, std::string_view brackets,
                     const AppendMember& appendMember) {
    if (container.empty()) {
        out += brackets;
        return;
    }
    out += brackets.front();
    out += '\n';
    for (auto member = container.begin(); member != container.end(); ++member) {
        if (member != container.begin()) {
            out += ",\n";
        }
        out.append(indent + 2, ' ');
        appendMember(member);
    }
    out += '\n';
    out.append(indent, ' ');
    out += brackets.back();
}

}  // namespace

void appendPrettyJson(std::string& out, const Json& value, unsigned indent) {
    switch (value.type()) {
        case Json::value_t::object:
            appendContainer(out, value, indent, "{}", [&](const auto& member) {
                appendJsonString(out, member.key());
                out += ": ";
                appendPrettyJson(out, member.value(), indent + 2);
            });
            return;
        case Json::value_t::array:
            appendContainer(out, value, indent, "[]",
                            [&](const auto& member) { appendPrettyJson(out, *member, indent + 2); });
            return;
        case Json::value_t::string:
            appendJsonString(out, value.get_ref<const std::string&>());
            return;
        case Json::value_t::boolean:
            out += value.get<bool>() ? "true" : "false";
            return;
        default:
            // Numbers, null and the rest: the library's own text.
            out += value.dump();
            return;
    }
}

}  // namespace kestrova
