#include "scan/Lv2Manifest.h"

#include "platform/Text.h"

#include <algorithm>
#include <map>

namespace kestrova {
namespace {

constexpr std::string_view lv2Binary = "http://lv2plug.in/ns/lv2core#binary";
constexpr std::string_view doapName = "http://usefulinc.com/ns/doap#name";

enum class TokenKind { iri, prefixedName, literal, punctuation, keyword };

struct Token {
    TokenKind kind;
    std::string text;
};

bool isNameCharacter(char c) {
    return c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '<' && c != '"' && c != '\'' && c != ';' &&
           c != ',' && c != '#' && c != '(' && c != ')' && c != '[' && c != ']';
}

// Splits the text into tokens; an unterminated IRI or string ends the text.
std::vector<Token> tokenize(std::string_view text) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++i;
        } else if (c == '#') {
            const auto end = text.find('\n', i);
            i = end == std::string_view::npos ? text.size() : end + 1;
        } else if (c == '<') {
            const auto end = text.find('>', i + 1);
            if (end == std::string_view::npos) {
                break;
            }
            tokens.push_back({TokenKind::iri, std::string(text.substr(i + 1, end - i - 1))});
            i = end + 1;
        } else if (c == '"' || c == '\'') {
            const std::string_view longQuote = c == '"' ? "\"\"\"" : "'''";
            const bool isLong = text.substr(i, 3) == longQuote;
            const std::size_t open = isLong ? 3 : 1;
            std::string value;
            std::size_t j = i + open;
            bool closed = false;
            while (j < text.size()) {
                if (text[j] == '\\' && j + 1 < text.size()) {
                    const char escaped = text[j + 1];
                    value.push_back(escaped == 'n' ? '\n' : escaped == 't' ? '\t' : escaped);
                    j += 2;
                } else if (isLong ? text.substr(j, 3) == longQuote : text[j] == c) {
                    closed = true;
                    j += open;
                    break;
                } else if (!isLong && text[j] == '\n') {
                    break;  // a short string cannot span lines
                } else {
                    value.push_back(text[j++]);
                }
            }
            if (!closed) {
                break;
            }
            tokens.push_back({TokenKind::literal, std::move(value)});
            // A language tag or datatype belongs to the literal; skip it.
            if (j < text.size() && text[j] == '@') {
                while (j < text.size() && isNameCharacter(text[j]) && text[j] != '.') {
                    ++j;
                }
            }
            i = j;
        } else if (c == ';' || c == ',' || c == '(' || c == ')' || c == '[' || c == ']') {
            tokens.push_back({TokenKind::punctuation, std::string(1, c)});
            ++i;
        } else {
            std::size_t j = i;
            while (j < text.size() && isNameCharacter(text[j])) {
                ++j;
            }
            auto word = std::string(text.substr(i, j - i));
            // A statement's closing "." may stick to the last name.
            bool closesStatement = false;
            while (word.size() > 1 && word.back() == '.') {
                word.pop_back();
                closesStatement = true;
            }
            if (word == "." || word.empty()) {
                tokens.push_back({TokenKind::punctuation, "."});
            } else if (word.front() == '@' || word == "PREFIX" || word == "prefix" || word == "a" ||
                       word.find(':') == std::string::npos) {
                tokens.push_back({TokenKind::keyword, std::move(word)});
            } else {
                tokens.push_back({TokenKind::prefixedName, std::move(word)});
            }
            if (closesStatement) {
                tokens.push_back({TokenKind::punctuation, "."});
            }
            i = std::max(j, i + 1);
        }
    }
    return tokens;
}

// A bundle-relative file: no scheme, not absolute, no query or fragment, no
// ".." and nothing hidden.
bool isBundleRelative(std::string_view reference) {
    if (reference.empty() || reference.front() == '/' || reference.find(':') != std::string_view::npos ||
        reference.find_first_of("?#%\\") != std::string_view::npos) {
        return false;
    }
    std::size_t start = 0;
    while (start <= reference.size()) {
        auto end = reference.find('/', start);
        if (end == std::string_view::npos) {
            end = reference.size();
        }
        const auto part = reference.substr(start, end - start);
        if (part.empty() || part.front() == '.') {
            return false;
        }
        start = end + 1;
    }
    return true;
}

}  // namespace

Lv2Manifest parseLv2Manifest(std::string_view turtle) {
    const auto tokens = tokenize(turtle);
    std::map<std::string, std::string, std::less<>> prefixes;
    const auto expand = [&](const Token& token) -> std::optional<std::string> {
        if (token.kind == TokenKind::iri) {
            return token.text;
        }
        if (token.kind != TokenKind::prefixedName) {
            return std::nullopt;
        }
        const auto colon = token.text.find(':');
        const auto found = prefixes.find(std::string_view(token.text).substr(0, colon));
        if (found == prefixes.end()) {
            return std::nullopt;
        }
        return found->second + token.text.substr(colon + 1);
    };

    Lv2Manifest manifest;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const auto& token = tokens[i];
        // "@prefix p: <iri> ." or "PREFIX p: <iri>"; "p:" alone is a prefixed
        // name with nothing after the colon.
        if (token.kind == TokenKind::keyword && (token.text == "@prefix" || lowercased(token.text) == "prefix") &&
            i + 2 < tokens.size() && tokens[i + 1].kind == TokenKind::prefixedName &&
            tokens[i + 1].text.back() == ':' && tokens[i + 2].kind == TokenKind::iri) {
            auto name = tokens[i + 1].text;
            name.pop_back();
            prefixes[name] = tokens[i + 2].text;
            i += 2;
            continue;
        }
        const auto predicate = expand(token);
        if (!predicate || i + 1 >= tokens.size()) {
            continue;
        }
        // The objects of the predicate: one, or several separated by ",".
        for (std::size_t j = i + 1; j < tokens.size(); j += 2) {
            const auto& object = tokens[j];
            if (*predicate == lv2Binary && object.kind == TokenKind::iri && isBundleRelative(object.text) &&
                std::find(manifest.binaries.begin(), manifest.binaries.end(), object.text) == manifest.binaries.end()) {
                manifest.binaries.push_back(object.text);
            } else if (*predicate == doapName && object.kind == TokenKind::literal && !manifest.name) {
                if (auto name = trimmedWhitespace(object.text); !name.empty()) {
                    manifest.name = std::move(name);
                }
            }
            if (j + 1 >= tokens.size() || tokens[j + 1].text != ",") {
                break;
            }
        }
    }
    return manifest;
}

}  // namespace kestrova
