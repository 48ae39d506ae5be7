#include "scan/TurtleReader.h"

#include "platform/EscapedText.h"

#include <array>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace kestrova {
namespace {

constexpr std::string_view rdfType = "http://www.w3.org/1999/02/22-rdf-syntax-ns#type";
constexpr std::string_view rdfFirst = "http://www.w3.org/1999/02/22-rdf-syntax-ns#first";
constexpr std::string_view rdfRest = "http://www.w3.org/1999/02/22-rdf-syntax-ns#rest";
constexpr std::string_view rdfNil = "http://www.w3.org/1999/02/22-rdf-syntax-ns#nil";

bool isNameStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}

bool isNameCharacter(char c) { return isNameStart(c) || (c >= '0' && c <= '9') || c == '-'; }

// Removes "." and ".." segments (RFC 3986, 5.2.4).
std::string withoutDotSegments(std::string_view path) {
    std::vector<std::string_view> segments;
    std::size_t start = 0;
    const bool absolute = !path.empty() && path.front() == '/';
    if (absolute) {
        start = 1;
    }
    bool trailingSlash = false;
    while (start <= path.size()) {
        auto end = path.find('/', start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        const auto segment = path.substr(start, end - start);
        trailingSlash = end == path.size() ? false : trailingSlash;
        if (segment == ".") {
            trailingSlash = true;
        } else if (segment == "..") {
            if (!segments.empty()) {
                segments.pop_back();
            }
            trailingSlash = true;
        } else {
            segments.push_back(segment);
            trailingSlash = false;
        }
        start = end + 1;
    }
    std::string out = absolute ? "/" : "";
    for (std::size_t i = 0; i < segments.size(); ++i) {
        if (i > 0) {
            out += '/';
        }
        out += segments[i];
    }
    if (trailingSlash && !out.empty() && out.back() != '/') {
        out += '/';
    }
    return out;
}

bool hasScheme(std::string_view reference) {
    if (reference.empty() ||
        !((reference[0] >= 'a' && reference[0] <= 'z') || (reference[0] >= 'A' && reference[0] <= 'Z'))) {
        return false;
    }
    for (std::size_t i = 1; i < reference.size(); ++i) {
        const char c = reference[i];
        if (c == ':') {
            return true;
        }
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' || c == '-' ||
              c == '.')) {
            return false;
        }
    }
    return false;
}

class Reader {
public:
    Reader(std::string_view text, std::string base, std::string_view blankPrefix, const TurtlePredicateFilter& wanted,
           const TurtleStatementSink& sink)
        : text_(text), base_(std::move(base)), blankPrefix_(blankPrefix), wanted_(wanted), sink_(sink) {}

    bool read() {
        while (true) {
            skipSpace();
            if (position_ >= text_.size()) {
                return true;
            }
            if (!statement()) {
                return false;
            }
        }
    }

private:
    // ---- characters ----

    bool at(char c) const { return position_ < text_.size() && text_[position_] == c; }
    char peek(std::size_t ahead = 0) const {
        return position_ + ahead < text_.size() ? text_[position_ + ahead] : '\0';
    }

    void skipSpace() {
        while (position_ < text_.size()) {
            const char c = text_[position_];
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
                ++position_;
            } else if (c == '#') {
                const auto end = text_.find('\n', position_);
                position_ = end == std::string_view::npos ? text_.size() : end + 1;
            } else {
                return;
            }
        }
    }

    bool expect(char c) {
        skipSpace();
        if (!at(c)) {
            return false;
        }
        ++position_;
        return true;
    }

    // The keyword, case-insensitively, followed by something that cannot
    // continue a name.
    bool atKeyword(std::string_view keyword) const {
        if (text_.size() - position_ < keyword.size()) {
            return false;
        }
        for (std::size_t i = 0; i < keyword.size(); ++i) {
            char c = text_[position_ + i];
            if (c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c - 'A' + 'a');
            }
            if (c != keyword[i]) {
                return false;
            }
        }
        const char next = peek(keyword.size());
        return !isNameCharacter(next) && next != ':' && next != '.';
    }

    // ---- terms ----

    std::optional<std::uint32_t> hexCode(int digits) {
        if (text_.size() - position_ < static_cast<std::size_t>(digits)) {
            return std::nullopt;
        }
        std::uint32_t code = 0;
        for (int i = 0; i < digits; ++i) {
            const int digit = hexDigitValue(text_[position_++]);
            if (digit < 0) {
                return std::nullopt;
            }
            code = code * 16 + static_cast<std::uint32_t>(digit);
        }
        return code;
    }

    // "<...>", escapes decoded, resolved against the base into `out`; with
    // `keep` false only checked.
    bool iriReference(std::string& out, bool keep = true) {
        ++position_;
        const auto start = position_;
        bool escaped = false;
        while (position_ < text_.size()) {
            const char c = text_[position_];
            if (c == '>') {
                break;
            }
            if (c == '\n' || c == '\r' || c == '<' || c == '"') {
                return false;
            }
            if (c == '\\') {
                escaped = true;
                const char kind = peek(1);
                position_ += 2;
                if (!(kind == 'u' ? hexCode(4) : kind == 'U' ? hexCode(8) : std::nullopt)) {
                    return false;
                }
                continue;
            }
            ++position_;
        }
        if (position_ >= text_.size()) {
            return false;
        }
        const auto raw = text_.substr(start, position_ - start);
        ++position_;
        if (!keep) {
            return true;
        }
        if (!escaped) {
            out = resolvedIri(base_, raw);
            return true;
        }
        std::string decoded;
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] != '\\') {
                decoded.push_back(raw[i]);
                continue;
            }
            const auto saved = position_;
            position_ = static_cast<std::size_t>(raw.data() - text_.data()) + i + 2;
            const auto code = raw[i + 1] == 'u' ? hexCode(4) : hexCode(8);
            i += raw[i + 1] == 'u' ? 5 : 9;
            position_ = saved;
            appendUtf8(decoded, code.value_or(0xFFFD));
        }
        out = resolvedIri(base_, decoded);
        return true;
    }

    std::optional<std::string> iriReference() {
        std::string out;
        if (!iriReference(out)) {
            return std::nullopt;
        }
        return out;
    }

    // A prefixed name "p:local" (or "_:name" for a blank node, which the
    // caller tells apart), expanded into `out` unless `keep` is false. Local
    // names may carry "\x" escapes and "%XX". False when it is not one, or
    // its prefix was never declared.
    bool prefixedName(TurtleTerm::Kind& kind, std::string& out, bool keep = true) {
        const auto start = position_;
        while (position_ < text_.size() && (isNameCharacter(text_[position_]) || text_[position_] == '.')) {
            ++position_;
        }
        if (!at(':')) {
            position_ = start;
            return false;
        }
        const auto prefix = text_.substr(start, position_ - start);
        if (!prefix.empty() && (prefix.back() == '.' || !isNameStart(prefix.front()))) {
            return false;
        }
        ++position_;
        const auto localStart = position_;
        bool escaped = false;
        while (position_ < text_.size()) {
            const char c = text_[position_];
            if (isNameCharacter(c) || c == ':' || c == '%') {
                ++position_;
            } else if (c == '.' && position_ + 1 < text_.size() &&
                       (isNameCharacter(text_[position_ + 1]) || text_[position_ + 1] == ':' ||
                        text_[position_ + 1] == '%' || text_[position_ + 1] == '\\')) {
                ++position_;
            } else if (c == '\\' && position_ + 1 < text_.size()) {
                escaped = true;
                position_ += 2;
            } else {
                break;
            }
        }
        const auto appendLocal = [&] {
            const auto local = text_.substr(localStart, position_ - localStart);
            if (!escaped) {
                out += local;
                return;
            }
            for (std::size_t i = 0; i < local.size(); ++i) {
                if (local[i] == '\\' && i + 1 < local.size()) {
                    ++i;
                }
                out.push_back(local[i]);
            }
        };
        if (prefix == "_") {
            kind = TurtleTerm::Kind::blank;
            if (keep) {
                out = blankPrefix_;
                out += 'b';
                appendLocal();
            }
            return true;
        }
        for (auto it = prefixes_.rbegin(); it != prefixes_.rend(); ++it) {
            if (it->first == prefix) {
                kind = TurtleTerm::Kind::iri;
                if (keep) {
                    out = it->second;
                    appendLocal();
                }
                return true;
            }
        }
        return false;  // an undeclared prefix is an error
    }

    std::optional<TurtleTerm> prefixedName(bool keep = true) {
        TurtleTerm term;
        if (!prefixedName(term.kind, term.value, keep)) {
            return std::nullopt;
        }
        return term;
    }

    // An IRI written either way, into `out`.
    bool iri(std::string& out, bool keep = true) {
        if (at('<')) {
            return iriReference(out, keep);
        }
        TurtleTerm::Kind kind = TurtleTerm::Kind::iri;
        return prefixedName(kind, out, keep) && kind == TurtleTerm::Kind::iri;
    }

    std::optional<TurtleTerm> iri(bool keep = true) {
        TurtleTerm term;
        if (!iri(term.value, keep)) {
            return std::nullopt;
        }
        return term;
    }

    TurtleTerm freshBlank() {
        return TurtleTerm{TurtleTerm::Kind::blank, blankPrefix_ + "g" + std::to_string(++blankCount_), {}};
    }

    // One of the four string forms; `keep` false skips without decoding.
    bool quoted(std::string& out, bool keep) {
        const char quote = text_[position_];
        const bool isLong = peek(1) == quote && peek(2) == quote;
        position_ += isLong ? 3 : 1;
        while (position_ < text_.size()) {
            const char c = text_[position_];
            if (c == quote) {
                if (!isLong) {
                    ++position_;
                    return true;
                }
                if (peek(1) == quote && peek(2) == quote) {
                    // Up to two more quotes belong to the string itself.
                    std::size_t run = 3;
                    while (run < 5 && peek(run) == quote) {
                        ++run;
                    }
                    if (keep) {
                        out.append(run - 3, quote);
                    }
                    position_ += run;
                    return true;
                }
                if (keep) {
                    out.push_back(c);
                }
                ++position_;
                continue;
            }
            if (!isLong && (c == '\n' || c == '\r')) {
                return false;
            }
            if (c != '\\') {
                if (keep) {
                    out.push_back(c);
                }
                ++position_;
                continue;
            }
            const char escaped = peek(1);
            position_ += 2;
            std::optional<std::uint32_t> code;
            switch (escaped) {
                case 't':
                    code = '\t';
                    break;
                case 'b':
                    code = '\b';
                    break;
                case 'n':
                    code = '\n';
                    break;
                case 'r':
                    code = '\r';
                    break;
                case 'f':
                    code = '\f';
                    break;
                case '"':
                case '\'':
                case '\\':
                    code = static_cast<std::uint32_t>(escaped);
                    break;
                case 'u':
                    code = hexCode(4);
                    break;
                case 'U':
                    code = hexCode(8);
                    break;
                default:
                    break;
            }
            if (!code) {
                return false;
            }
            if (keep) {
                appendUtf8(out, *code);
            }
        }
        return false;
    }

    // A string with its language tag or datatype, a number or a boolean.
    std::optional<TurtleTerm> literal(bool keep) {
        TurtleTerm term{TurtleTerm::Kind::literal, {}, {}};
        const char c = peek();
        if (c == '"' || c == '\'') {
            if (!quoted(term.value, keep)) {
                return std::nullopt;
            }
            if (at('@')) {
                ++position_;
                const auto start = position_;
                while (position_ < text_.size() &&
                       (isNameCharacter(text_[position_]) && static_cast<unsigned char>(text_[position_]) < 0x80)) {
                    ++position_;
                }
                if (position_ == start) {
                    return std::nullopt;
                }
                for (const char letter : text_.substr(start, position_ - start)) {
                    term.language.push_back(letter >= 'A' && letter <= 'Z' ? static_cast<char>(letter - 'A' + 'a')
                                                                           : letter);
                }
            } else if (at('^') && peek(1) == '^') {
                position_ += 2;
                std::string ignored;
                if (!iri(ignored, false)) {
                    return std::nullopt;
                }
            }
            return term;
        }
        const auto start = position_;
        if (c == '+' || c == '-') {
            ++position_;
        }
        while (position_ < text_.size()) {
            const char d = text_[position_];
            if ((d >= '0' && d <= '9') || (d == '.' && position_ + 1 < text_.size() && text_[position_ + 1] >= '0' &&
                                           text_[position_ + 1] <= '9')) {
                ++position_;
            } else if ((d == 'e' || d == 'E') && position_ > start) {
                ++position_;
                if (at('+') || at('-')) {
                    ++position_;
                }
            } else {
                break;
            }
        }
        if (position_ == start || (position_ == start + 1 && (c == '+' || c == '-'))) {
            if (atKeyword("true") || atKeyword("false")) {
                term.value = at('t') || at('T') ? "true" : "false";
                position_ += term.value.size();
                return term;
            }
            position_ = start;
            return std::nullopt;
        }
        term.value.assign(text_.substr(start, position_ - start));
        return term;
    }

    // ---- grammar ----

    void emit(const TurtleTerm& subject, std::string_view predicate, TurtleTerm object) {
        sink_(subject, predicate, std::move(object));
    }

    // An object, or a subject when `predicate` is empty. `keep` says whether
    // its value will be used.
    std::optional<TurtleTerm> node(int depth, bool keep) {
        skipSpace();
        const char c = peek();
        if (c == '[') {
            return blankPropertyList(depth + 1);
        }
        if (c == '(') {
            return collection(depth + 1, keep);
        }
        if (c == '<') {
            return iri(keep);
        }
        if (c == '"' || c == '\'' || c == '+' || c == '-' || c == '.' || (c >= '0' && c <= '9')) {
            return literal(keep);
        }
        if ((c == 't' || c == 'f') && (atKeyword("true") || atKeyword("false"))) {
            return literal(keep);
        }
        return prefixedName(keep);
    }

    std::optional<TurtleTerm> blankPropertyList(int depth) {
        if (depth > turtleNestingLimit) {
            return std::nullopt;
        }
        ++position_;
        auto blank = freshBlank();
        skipSpace();
        if (at(']')) {
            ++position_;
            return blank;
        }
        if (!predicateObjectList(blank, depth) || !expect(']')) {
            return std::nullopt;
        }
        return blank;
    }

    std::optional<TurtleTerm> collection(int depth, bool keep) {
        if (depth > turtleNestingLimit) {
            return std::nullopt;
        }
        ++position_;
        std::optional<TurtleTerm> head;
        std::optional<TurtleTerm> previous;
        const bool listWanted = keep && wanted_(rdfFirst);
        while (true) {
            skipSpace();
            if (at(')')) {
                ++position_;
                if (previous && listWanted) {
                    emit(*previous, rdfRest, TurtleTerm{TurtleTerm::Kind::iri, std::string(rdfNil), {}});
                }
                return head ? *head : TurtleTerm{TurtleTerm::Kind::iri, std::string(rdfNil), {}};
            }
            auto item = node(depth, listWanted);
            if (!item) {
                return std::nullopt;
            }
            if (listWanted) {
                auto cell = freshBlank();
                if (previous) {
                    emit(*previous, rdfRest, cell);
                } else {
                    head = cell;
                }
                emit(cell, rdfFirst, std::move(*item));
                previous = std::move(cell);
            }
        }
    }

    bool objectList(const TurtleTerm& subject, std::string_view predicate, int depth) {
        const bool keep = wanted_(predicate);
        while (true) {
            auto object = node(depth, keep);
            if (!object) {
                return false;
            }
            if (keep) {
                emit(subject, predicate, std::move(*object));
            }
            skipSpace();
            if (!at(',')) {
                return true;
            }
            ++position_;
        }
    }

    bool predicateObjectList(const TurtleTerm& subject, int depth) {
        while (true) {
            skipSpace();
            auto& predicate = predicateBuffers_[static_cast<std::size_t>(depth)];
            if (at('a') && (peek(1) == ' ' || peek(1) == '\t' || peek(1) == '\n' || peek(1) == '\r' || peek(1) == '<' ||
                            peek(1) == '[' || peek(1) == '(' || peek(1) == '"')) {
                ++position_;
                predicate = rdfType;
            } else {
                if (!iri(predicate)) {
                    return false;
                }
            }
            if (!objectList(subject, predicate, depth)) {
                return false;
            }
            // ";" may repeat and may end the list.
            bool separated = false;
            while (true) {
                skipSpace();
                if (!at(';')) {
                    break;
                }
                ++position_;
                separated = true;
            }
            skipSpace();
            if (!separated || at('.') || at(']') || position_ >= text_.size()) {
                return true;
            }
        }
    }

    bool directive() {
        const bool sparql = !at('@');
        if (!sparql) {
            ++position_;
        }
        const bool isPrefix = atKeyword("prefix");
        if (!isPrefix && !atKeyword("base")) {
            return false;
        }
        if (!sparql &&
            !(isPrefix ? text_.compare(position_, 6, "prefix") == 0 : text_.compare(position_, 4, "base") == 0)) {
            return false;  // "@PREFIX" is not Turtle
        }
        position_ += isPrefix ? 6 : 4;
        skipSpace();
        std::string name;
        if (isPrefix) {
            const auto start = position_;
            while (position_ < text_.size() && (isNameCharacter(text_[position_]) || text_[position_] == '.')) {
                ++position_;
            }
            name.assign(text_.substr(start, position_ - start));
            if (!at(':')) {
                return false;
            }
            ++position_;
            skipSpace();
        }
        if (!at('<')) {
            return false;
        }
        auto value = iriReference();
        if (!value) {
            return false;
        }
        if (isPrefix) {
            prefixes_.emplace_back(std::move(name), std::move(*value));
        } else {
            base_ = std::move(*value);
        }
        return sparql || expect('.');
    }

    bool statement() {
        if (at('@') || atKeyword("prefix") || atKeyword("base")) {
            return directive();
        }
        TurtleTerm subject;
        if (at('[')) {
            auto blank = blankPropertyList(1);
            if (!blank) {
                return false;
            }
            subject = std::move(*blank);
            skipSpace();
            if (at('.')) {
                ++position_;
                return true;
            }
        } else {
            auto term = node(0, true);
            if (!term || term->kind == TurtleTerm::Kind::literal) {
                return false;
            }
            subject = std::move(*term);
        }
        return predicateObjectList(subject, 1) && expect('.');
    }

    std::string_view text_;
    std::size_t position_ = 0;
    std::string base_;
    std::string blankPrefix_;
    const TurtlePredicateFilter& wanted_;
    const TurtleStatementSink& sink_;
    std::vector<std::pair<std::string, std::string>> prefixes_;
    // One predicate per nesting level, reused so a predicate costs no
    // allocation once the reading has warmed up.
    std::array<std::string, turtleNestingLimit + 2> predicateBuffers_;
    unsigned long blankCount_ = 0;
};

}  // namespace

std::string resolvedIri(std::string_view base, std::string_view reference) {
    if (hasScheme(reference)) {
        return std::string(reference);
    }
    // The base split into scheme, authority, path, query.
    const auto schemeEnd = base.find(':');
    if (schemeEnd == std::string_view::npos) {
        return std::string(reference);
    }
    const auto scheme = base.substr(0, schemeEnd + 1);
    auto rest = base.substr(schemeEnd + 1);
    std::string_view authority;
    if (rest.starts_with("//")) {
        const auto end = rest.find_first_of("/?#", 2);
        authority = rest.substr(0, end == std::string_view::npos ? rest.size() : end);
        rest.remove_prefix(authority.size());
    }
    const auto fragmentAt = rest.find('#');
    if (fragmentAt != std::string_view::npos) {
        rest = rest.substr(0, fragmentAt);
    }
    const auto queryAt = rest.find('?');
    const auto basePath = rest.substr(0, queryAt == std::string_view::npos ? rest.size() : queryAt);
    const auto baseQuery = queryAt == std::string_view::npos ? std::string_view() : rest.substr(queryAt);

    std::string out(scheme);
    if (reference.starts_with("//")) {
        out += reference;
        return out;
    }
    out += authority;
    if (reference.empty() || reference.front() == '#') {
        out += basePath;
        out += baseQuery;
        out += reference;
        return out;
    }
    if (reference.front() == '?') {
        out += basePath;
        out += reference;
        return out;
    }
    const auto referenceEnd = reference.find_first_of("?#");
    const auto referencePath =
        reference.substr(0, referenceEnd == std::string_view::npos ? reference.size() : referenceEnd);
    const auto referenceTail =
        referenceEnd == std::string_view::npos ? std::string_view() : reference.substr(referenceEnd);
    std::string merged;
    if (referencePath.front() == '/') {
        merged = referencePath;
    } else {
        const auto slash = basePath.rfind('/');
        if (slash != std::string_view::npos) {
            merged = basePath.substr(0, slash + 1);
        } else if (!authority.empty()) {
            merged = "/";
        }
        merged += referencePath;
    }
    out += withoutDotSegments(merged);
    out += referenceTail;
    return out;
}

bool readTurtle(std::string_view text, std::string_view base, std::string_view blankPrefix,
                const TurtlePredicateFilter& wanted, const TurtleStatementSink& sink) {
    // A byte order mark is not part of the document.
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    Reader reader(text, std::string(base), blankPrefix, wanted, sink);
    return reader.read();
}

}  // namespace kestrova
