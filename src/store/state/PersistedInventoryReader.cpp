#include "store/state/PersistedInventoryReader.h"

#include "store/state/StateRecordFields.h"

#include <simdjson.h>

#include <array>
#include <cstdint>
#include <type_traits>
#include <vector>

namespace kestrova {
namespace {

namespace ondemand = simdjson::ondemand;
using stateFields::DefaultWhenAbsent;
using stateFields::Fields;
using stateFields::Listed;

static_assert(stateReaderPadding >= simdjson::SIMDJSON_PADDING);

template <typename T>
struct IsOptional : std::false_type {};
template <typename T>
struct IsOptional<std::optional<T>> : std::true_type {};

// The keys of a listed record in list order, and which of them must be there.
template <typename Record>
struct FieldTable {
    std::vector<std::string_view> keys;
    std::uint32_t required = 0;
};

template <typename Record>
const FieldTable<Record>& fieldTable() {
    static const FieldTable<Record> table = [] {
        FieldTable<Record> built;
        Record sample;
        Fields<Record>::visit(sample, [&built](std::string_view key, auto& member, auto... flags) {
            if (!IsOptional<std::remove_cvref_t<decltype(member)>>::value && sizeof...(flags) == 0) {
                built.required |= std::uint32_t{1} << built.keys.size();
            }
            built.keys.push_back(key);
        });
        return built;
    }();
    return table;
}

// Roughly what one element of the two long arrays takes in the file. Room
// for the count a document of that size could hold is reserved up front:
// growing a vector of a hundred thousand records by doubling moves each of
// them again and touches twice the memory, while reserved room that is never
// filled is only address space.
template <typename T>
constexpr std::size_t typicalEncodedBytes = 0;
template <>
constexpr std::size_t typicalEncodedBytes<HistoryItem> = 256;
template <>
constexpr std::size_t typicalEncodedBytes<Plugin> = 2048;

bool isJsonWhitespace(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }

// Every call answers false for what the record-by-record decoder would
// refuse (and for the few things it takes that are left to it); on true the
// member holds what that decoder would have put there.
class Reader {
public:
    Reader(std::string_view text, const std::function<void(std::size_t)>& doneBefore)
        : text_(text), doneBefore_(doneBefore) {}

    template <Listed Record>
    bool readObject(ondemand::object& object, Record& record) {
        const auto& table = fieldTable<Record>();
        std::uint32_t seen = 0;
        std::size_t expected = 0;  // keys usually come in list order
        for (auto field : object) {
            if (field.error()) {
                return false;
            }
            const auto key = keyText(field.value_unsafe().key());
            if (!key) {
                return false;
            }
            const auto index = indexOf(table.keys, *key, expected);
            ondemand::value value = field.value_unsafe().value();
            if (index == table.keys.size()) {
                // Unknown keys are ignored, but their values must still be JSON.
                if (!isWellFormed(value)) {
                    return false;
                }
                continue;
            }
            const auto bit = std::uint32_t{1} << index;
            if (seen & bit) {
                return false;  // a repeated key: the later value would win
            }
            seen |= bit;
            expected = index + 1;
            if (!readField(value, record, index)) {
                return false;
            }
        }
        return (seen & table.required) == table.required;
    }

private:
    template <Listed Record>
    bool read(ondemand::value& value, Record& record) {
        ondemand::object object;
        return !value.get_object().get(object) && readObject(object, record);
    }

    template <typename T>
    bool read(ondemand::value& value, std::vector<T>& values) {
        ondemand::array array;
        if (value.get_array().get(array)) {
            return false;
        }
        values.clear();
        if constexpr (typicalEncodedBytes < T >> 0) {
            values.reserve(text_.size() / typicalEncodedBytes<T>);
        }
        for (auto element : array) {
            ondemand::value item;
            if (element.get(item)) {
                return false;
            }
            passing(item);
            if (!read(item, values.emplace_back())) {
                return false;
            }
        }
        return true;
    }

    // Everything before a list element about to be read is done with.
    void passing(ondemand::value& item) {
        constexpr std::size_t step = std::size_t{4} << 20;
        const auto at = static_cast<std::size_t>(item.raw_json_token().data() - text_.data());
        if (doneBefore_ && at >= doneUpTo_ + step) {
            doneBefore_(at);
            doneUpTo_ = at;
        }
    }

    bool read(ondemand::value& value, std::string& out) {
        std::string_view text;
        if (!readText(value, text)) {
            return false;
        }
        out.assign(text);
        return true;
    }

    bool read(ondemand::value& value, bool& out) { return !value.get_bool().get(out); }

    bool read(ondemand::value& value, Uuid& out) {
        std::string_view text;
        if (!readText(value, text)) {
            return false;
        }
        const auto uuid = Uuid::parse(text);
        if (uuid) {
            out = *uuid;
        }
        return uuid.has_value();
    }

    bool read(ondemand::value& value, PluginStatus& out) {
        return readCase(value, out, [](std::string_view raw) { return pluginStatusFromRawValue(raw); });
    }

    bool read(ondemand::value& value, HistoryKind& out) {
        return readCase(value, out, [](std::string_view raw) { return historyKindFromRawValue(raw); });
    }

    bool read(ondemand::value& value, std::int64_t& out) {
        return readThroughTree(value, [&out](const Json& json) { out = decodeSchemaVersion(json); });
    }

    // The small records, and numbers: their own JsonCoder on their own text.
    template <typename T>
    bool read(ondemand::value& value, T& out) {
        return readThroughTree(value, [&out](const Json& json) { out = JsonCoder<T>::decode(json, ""); });
    }

    template <typename Record>
    bool readField(ondemand::value& value, Record& record, std::size_t index) {
        bool ok = false;
        std::size_t position = 0;
        Fields<Record>::visit(record, [&](std::string_view, auto& member, auto... flags) {
            if (position++ == index) {
                ok = readMember(value, member, flags...);
            }
        });
        return ok;
    }

    template <typename T>
    bool readMember(ondemand::value& value, std::optional<T>& member) {
        if (isNull(value)) {
            member.reset();
            return consumeNull(value);
        }
        return read(value, member.emplace());
    }

    template <typename T>
    bool readMember(ondemand::value& value, T& member, DefaultWhenAbsent) {
        if (isNull(value)) {
            member = T{};
            return consumeNull(value);
        }
        return read(value, member);
    }

    template <typename T>
    bool readMember(ondemand::value& value, T& member) {
        return read(value, member);
    }

    static bool isNull(ondemand::value& value) { return value.raw_json_token().starts_with('n'); }
    static bool consumeNull(ondemand::value& value) {
        bool null = false;
        return !value.is_null().get(null) && null;
    }

    template <typename Enum, typename FromRaw>
    bool readCase(ondemand::value& value, Enum& out, const FromRaw& fromRaw) {
        std::string_view text;
        if (!readText(value, text)) {
            return false;
        }
        const auto found = fromRaw(text);
        if (found) {
            out = *found;
        }
        return found.has_value();
    }

    // A string's text. One without escapes is taken from the document as it
    // is: stage one of the parser has checked its UTF-8 and that it holds no
    // control characters. The rare escaped one is decoded by the library
    // the record-by-record decoder uses, so both agree on every escape.
    bool readText(ondemand::value& value, std::string_view& out) {
        auto token = value.raw_json_token();
        while (!token.empty() && isJsonWhitespace(token.back())) {
            token.remove_suffix(1);
        }
        if (token.size() < 2 || token.front() != '"' || token.back() != '"') {
            return false;
        }
        const auto inside = token.substr(1, token.size() - 2);
        if (inside.find('\\') == std::string_view::npos) {
            ondemand::raw_json_string consumed;
            if (value.get_raw_json_string().get(consumed)) {
                return false;
            }
            out = inside;
            return true;
        }
        try {
            const auto json = Json::parse(token);
            if (!json.is_string()) {
                return false;
            }
            unescaped_ = json.get_ref<const std::string&>();
        } catch (const Json::exception&) {
            return false;
        }
        out = unescaped_;
        return true;
    }

    // A key without escapes, as it stands in the document.
    static std::optional<std::string_view> keyText(ondemand::raw_json_string key) {
        const char* start = key.raw();
        std::size_t length = 0;
        while (start[length] != '"') {
            if (start[length] == '\\') {
                return std::nullopt;
            }
            ++length;
        }
        return std::string_view(start, length);
    }

    static std::size_t indexOf(const std::vector<std::string_view>& keys, std::string_view key, std::size_t expected) {
        if (expected < keys.size() && keys[expected] == key) {
            return expected;
        }
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (keys[i] == key) {
                return i;
            }
        }
        return keys.size();
    }

    // The text of a value not yet read, found by its brackets and quotes.
    // The parser skips the value itself when the iteration moves on; what is
    // returned is only trusted once the library has parsed it.
    std::optional<std::string_view> valueText(ondemand::value& value) const {
        const auto token = value.raw_json_token();
        if (token.empty() || std::string_view("{[\"-0123456789tfn").find(token.front()) == std::string_view::npos) {
            return std::nullopt;
        }
        const auto start = static_cast<std::size_t>(token.data() - text_.data());
        std::size_t at = start;
        const auto end = text_.size();
        const char first = text_[at];
        if (first == '"' || first == '{' || first == '[') {
            int depth = 0;
            bool inString = false;
            for (; at < end; ++at) {
                const char c = text_[at];
                if (inString) {
                    if (c == '\\') {
                        ++at;
                    } else if (c == '"') {
                        inString = false;
                        if (depth == 0) {
                            return text_.substr(start, at + 1 - start);
                        }
                    }
                } else if (c == '"') {
                    inString = true;
                } else if (c == '{' || c == '[') {
                    ++depth;
                } else if ((c == '}' || c == ']') && --depth == 0) {
                    return text_.substr(start, at + 1 - start);
                }
            }
            return std::nullopt;
        }
        while (at < end && std::string_view(",}] \t\n\r").find(text_[at]) == std::string_view::npos) {
            ++at;
        }
        return text_.substr(start, at - start);
    }

    template <typename Decode>
    bool readThroughTree(ondemand::value& value, const Decode& decode) {
        const auto text = valueText(value);
        if (!text) {
            return false;
        }
        try {
            decode(Json::parse(*text));
            return true;
        } catch (const std::exception&) {
            return false;
        }
    }

    bool isWellFormed(ondemand::value& value) const {
        const auto text = valueText(value);
        return text && Json::accept(*text);
    }

    std::string_view text_;
    const std::function<void(std::size_t)>& doneBefore_;
    std::size_t doneUpTo_ = 0;
    std::string unescaped_;
};

}  // namespace

std::optional<PersistedInventory> decodeWellFormedInventory(std::string_view text, std::size_t padding,
                                                            const std::function<void(std::size_t)>& doneBefore) {
    // The byte order mark the other decoder also skips.
    std::size_t skipped = 0;
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
        skipped = 3;
    }
    simdjson::padded_string copy;
    const bool copied = padding < simdjson::SIMDJSON_PADDING;
    if (copied) {
        copy = simdjson::padded_string(text);
        text = copy;
    }
    ondemand::parser parser;
    ondemand::document document;
    if (parser.iterate(simdjson::padded_string_view(text, text.size() + simdjson::SIMDJSON_PADDING)).get(document)) {
        return std::nullopt;
    }
    ondemand::object root;
    if (document.get_object().get(root)) {
        return std::nullopt;
    }
    PersistedInventory state;
    std::function<void(std::size_t)> doneInOriginal;
    if (doneBefore && !copied) {
        doneInOriginal = [&doneBefore, skipped](std::size_t offset) { doneBefore(offset + skipped); };
    }
    Reader reader(text, doneInOriginal);
    if (!reader.readObject(root, state)) {
        return std::nullopt;
    }
    // Anything after the document's object.
    if (document.current_location().error() != simdjson::OUT_OF_BOUNDS) {
        return std::nullopt;
    }
    return state;
}

}  // namespace kestrova
