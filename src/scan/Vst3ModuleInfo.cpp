#include "scan/Vst3ModuleInfo.h"

#include "platform/EscapedText.h"
#include "platform/Text.h"

#include <cstdint>

namespace kestrova {
namespace {

std::optional<std::string> nonBlank(const std::string& text) {
    auto value = trimmedWhitespace(text);
    if (value.empty()) {
        return std::nullopt;
    }
    return value;
}

// Deeper documents are refused: real files nest three levels.
constexpr int depthLimit = 64;

bool isIdentifierCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
           static_cast<unsigned char>(c) >= 0x80;
}

// The JSON5 that the VST3 SDK's module-info parser accepts: comments of
// both kinds, trailing commas, unquoted keys, single-quoted and multi-line
// strings, hexadecimal numbers, leading "+", leading or trailing decimal
// points, Infinity and NaN. Only the three values are kept; the rest of
// the document is checked and skipped.
class ModuleInfoParser {
public:
    explicit ModuleInfoParser(std::string_view text) : text_(text) {}

    // False when the text is not one JSON5 object.
    bool parse(Vst3ModuleInfo& info) {
        skipSpace();
        if (!at('{')) {
            return false;
        }
        if (!object(0, Context::top, info)) {
            return false;
        }
        skipSpace();
        return failed_ ? false : position_ == text_.size();
    }

private:
    enum class Context { top, factory, other };

    bool at(char c) const { return position_ < text_.size() && text_[position_] == c; }

    void skipSpace() {
        while (position_ < text_.size()) {
            const char c = text_[position_];
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
                ++position_;
            } else if (c == '/' && position_ + 1 < text_.size() && text_[position_ + 1] == '/') {
                const auto end = text_.find('\n', position_);
                position_ = end == std::string_view::npos ? text_.size() : end + 1;
            } else if (c == '/' && position_ + 1 < text_.size() && text_[position_ + 1] == '*') {
                const auto end = text_.find("*/", position_ + 2);
                if (end == std::string_view::npos) {
                    failed_ = true;
                    position_ = text_.size();
                    return;
                }
                position_ = end + 2;
            } else if (static_cast<unsigned char>(c) == 0xC2 && position_ + 1 < text_.size() &&
                       static_cast<unsigned char>(text_[position_ + 1]) == 0xA0) {
                position_ += 2;  // no-break space
            } else if (c == '\xEF' && text_.substr(position_, 3) == "\xEF\xBB\xBF") {
                position_ += 3;  // byte order mark
            } else {
                return;
            }
        }
    }

    bool string(std::string& out) {
        const char quote = text_[position_++];
        while (position_ < text_.size()) {
            const char c = text_[position_++];
            if (c == quote) {
                return true;
            }
            if (c == '\n' || c == '\r') {
                return false;  // only an escaped line break continues a string
            }
            if (c != '\\') {
                out.push_back(c);
                continue;
            }
            if (position_ >= text_.size()) {
                return false;
            }
            const char escaped = text_[position_++];
            switch (escaped) {
                case 'b':
                    out.push_back('\b');
                    break;
                case 'f':
                    out.push_back('\f');
                    break;
                case 'n':
                    out.push_back('\n');
                    break;
                case 'r':
                    out.push_back('\r');
                    break;
                case 't':
                    out.push_back('\t');
                    break;
                case 'v':
                    out.push_back('\v');
                    break;
                case '0':
                    out.push_back('\0');
                    break;
                case '\r':
                    if (at('\n')) {
                        ++position_;
                    }
                    break;
                case '\n':
                    break;
                case 'x': {
                    if (position_ + 2 > text_.size() || hexDigitValue(text_[position_]) < 0 ||
                        hexDigitValue(text_[position_ + 1]) < 0) {
                        return false;
                    }
                    appendUtf8(out, static_cast<std::uint32_t>(hexDigitValue(text_[position_]) * 16 +
                                                               hexDigitValue(text_[position_ + 1])));
                    position_ += 2;
                    break;
                }
                case 'u': {
                    auto code = unicodeEscape();
                    if (!code) {
                        return false;
                    }
                    // A surrogate pair written as two escapes.
                    if (*code >= 0xD800 && *code < 0xDC00 && text_.substr(position_, 2) == "\\u") {
                        position_ += 2;
                        const auto low = unicodeEscape();
                        if (!low) {
                            return false;
                        }
                        if (*low >= 0xDC00 && *low < 0xE000) {
                            *code = 0x10000 + ((*code - 0xD800) << 10) + (*low - 0xDC00);
                        } else {
                            appendUtf8(out, 0xFFFD);
                            *code = *low;
                        }
                    }
                    appendUtf8(out, *code >= 0xD800 && *code < 0xE000 ? 0xFFFD : *code);
                    break;
                }
                default:
                    out.push_back(escaped);
                    break;
            }
        }
        return false;
    }

    std::optional<std::uint32_t> unicodeEscape() {
        if (position_ + 4 > text_.size()) {
            return std::nullopt;
        }
        std::uint32_t code = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = hexDigitValue(text_[position_++]);
            if (digit < 0) {
                return std::nullopt;
            }
            code = code * 16 + static_cast<std::uint32_t>(digit);
        }
        return code;
    }

    // Numbers, true, false, null, Infinity, NaN: a run of the characters
    // they are made of, checked loosely.
    bool bareValue() {
        const auto start = position_;
        while (position_ < text_.size() && (isIdentifierCharacter(text_[position_]) || text_[position_] == '+' ||
                                            text_[position_] == '-' || text_[position_] == '.')) {
            ++position_;
        }
        auto word = text_.substr(start, position_ - start);
        if (!word.empty() && (word.front() == '+' || word.front() == '-')) {
            word.remove_prefix(1);
        }
        if (word == "true" || word == "false" || word == "null") {
            return text_[start] != '+' && text_[start] != '-';
        }
        if (word == "Infinity" || word == "NaN") {
            return true;
        }
        if (word.empty()) {
            return false;
        }
        bool digits = false;
        if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
            for (const char c : word.substr(2)) {
                if (hexDigitValue(c) < 0) {
                    return false;
                }
            }
            return true;
        }
        for (std::size_t i = 0; i < word.size(); ++i) {
            const char c = word[i];
            if (c >= '0' && c <= '9') {
                digits = true;
            } else if (c != '.' && c != 'e' && c != 'E' &&
                       !((c == '+' || c == '-') && i > 0 && (word[i - 1] == 'e' || word[i - 1] == 'E'))) {
                return false;
            }
        }
        return digits;
    }

    // A value; `text` receives it when it is a string.
    bool value(int depth, Context context, Vst3ModuleInfo& info, std::optional<std::string>& text, bool& isObject) {
        skipSpace();
        if (position_ >= text_.size()) {
            return false;
        }
        const char c = text_[position_];
        if (c == '{') {
            isObject = true;
            return object(depth + 1, context, info);
        }
        if (c == '[') {
            return array(depth + 1, info);
        }
        if (c == '"' || c == '\'') {
            std::string out;
            if (!string(out)) {
                return false;
            }
            text = std::move(out);
            return true;
        }
        return bareValue();
    }

    bool array(int depth, Vst3ModuleInfo& info) {
        if (depth > depthLimit) {
            return false;
        }
        ++position_;
        while (true) {
            skipSpace();
            if (at(']')) {
                ++position_;
                return true;
            }
            std::optional<std::string> ignored;
            bool isObject = false;
            if (!value(depth, Context::other, info, ignored, isObject)) {
                return false;
            }
            skipSpace();
            if (at(',')) {
                ++position_;
            } else if (!at(']')) {
                return false;
            }
        }
    }

    bool key(std::string& out) {
        if (at('"') || at('\'')) {
            return string(out);
        }
        const auto start = position_;
        while (position_ < text_.size() && isIdentifierCharacter(text_[position_])) {
            ++position_;
        }
        out.assign(text_.substr(start, position_ - start));
        return !out.empty() && !(out.front() >= '0' && out.front() <= '9');
    }

    bool object(int depth, Context context, Vst3ModuleInfo& info) {
        if (depth > depthLimit) {
            return false;
        }
        ++position_;
        while (true) {
            skipSpace();
            if (at('}')) {
                ++position_;
                return true;
            }
            std::string name;
            if (!key(name)) {
                return false;
            }
            skipSpace();
            if (!at(':')) {
                return false;
            }
            ++position_;
            const bool isFactory = context == Context::top && name == "Factory Info";
            if (isFactory) {
                info.vendor = std::nullopt;  // a later "Factory Info" replaces an earlier one
            }
            std::optional<std::string> text;
            bool isObject = false;
            if (!value(depth, isFactory ? Context::factory : Context::other, info, text, isObject)) {
                return false;
            }
            // A repeated key counts with its last value, as in a parsed object.
            const auto kept = text ? nonBlank(*text) : std::nullopt;
            if (context == Context::top) {
                if (name == "Name") {
                    info.name = kept;
                } else if (name == "Version") {
                    info.version = kept;
                }
            } else if (context == Context::factory && name == "Vendor") {
                info.vendor = kept;
            }
            skipSpace();
            if (at(',')) {
                ++position_;
            } else if (!at('}')) {
                return false;
            }
        }
    }

    std::string_view text_;
    std::size_t position_ = 0;
    bool failed_ = false;
};

}  // namespace

Vst3ModuleInfo parseVst3ModuleInfo(std::string_view text) {
    Vst3ModuleInfo info;
    ModuleInfoParser parser(text);
    if (!parser.parse(info)) {
        return {};
    }
    return info;
}

}  // namespace kestrova
