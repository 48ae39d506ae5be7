// The state document written straight from its records into one buffer: the
// text is byte for byte what dump(2) of the whole tree prints (sorted keys,
// two-space indentation, ": " after keys, invalid UTF-8 replaced), without
// building a tree of any of the long lists' records.
#include "store/state/PersistedInventory.h"
#include "store/state/PrettyJson.h"
#include "store/state/StateRecordFields.h"

#include <array>
#include <type_traits>

namespace kestrova {
namespace {

using stateFields::Fields;
using stateFields::Listed;

template <typename T>
struct IsOptional : std::false_type {};
template <typename T>
struct IsOptional<std::optional<T>> : std::true_type {};

class Writer {
public:
    // `drain` is offered the buffer after each element of a list once it
    // holds `pieceBytes`, and may take and clear it.
    Writer(std::string& out, std::size_t pieceBytes, std::function<void(std::string&)> drain)
        : out_(out), pieceBytes_(pieceBytes), drain_(std::move(drain)) {}

    template <Listed Record>
    void write(const Record& record, unsigned indent) {
        bool first = true;
        Fields<Record>::visit(record, [&](std::string_view key, const auto& member, auto...) {
            if constexpr (IsOptional<std::remove_cvref_t<decltype(member)>>::value) {
                if (member) {
                    writeKey(key, first, indent);
                    write(*member, indent + 2);
                }
            } else {
                writeKey(key, first, indent);
                write(member, indent + 2);
            }
        });
        if (first) {
            out_ += "{}";
            return;
        }
        out_ += '\n';
        out_.append(indent, ' ');
        out_ += '}';
    }

    template <typename T>
    void write(const std::vector<T>& values, unsigned indent) {
        if (values.empty()) {
            out_ += "[]";
            return;
        }
        out_ += "[\n";
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (i > 0) {
                out_ += ",\n";
            }
            out_.append(indent + 2, ' ');
            write(values[i], indent + 2);
            if (out_.size() >= pieceBytes_ && drain_) {
                drain_(out_);
            }
        }
        out_ += '\n';
        out_.append(indent, ' ');
        out_ += ']';
    }

    void write(const std::string& text, unsigned) { appendJsonString(out_, text); }
    void write(bool flag, unsigned) { out_ += flag ? "true" : "false"; }
    void write(PluginStatus status, unsigned) { appendJsonString(out_, rawValue(status)); }
    void write(HistoryKind kind, unsigned) { appendJsonString(out_, rawValue(kind)); }

    // Upper-case 8-4-4-4-12, as Uuid::string() gives it, without making a string.
    void write(const Uuid& uuid, unsigned) {
        static constexpr std::array<char, 16> hex{'0', '1', '2', '3', '4', '5', '6', '7',
                                                  '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};
        std::array<char, 38> text{};
        std::size_t at = 0;
        text[at++] = '"';
        const auto& bytes = uuid.bytes();
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (i == 4 || i == 6 || i == 8 || i == 10) {
                text[at++] = '-';
            }
            text[at++] = hex[bytes[i] >> 4];
            text[at++] = hex[bytes[i] & 0x0F];
        }
        text[at++] = '"';
        out_.append(text.data(), at);
    }

    // The small records, dates and integers: through their JsonCoder.
    template <typename T>
    void write(const T& value, unsigned indent) {
        appendPrettyJson(out_, JsonCoder<T>::encode(value), indent);
    }

private:
    void writeKey(std::string_view key, bool& first, unsigned indent) {
        out_ += first ? "{\n" : ",\n";
        first = false;
        out_.append(indent + 2, ' ');
        out_ += '"';
        out_ += key;  // the listed keys need no escaping
        out_ += "\": ";
    }

    std::string& out_;
    std::size_t pieceBytes_;
    std::function<void(std::string&)> drain_;
};

}  // namespace

void encodePersistedInventory(const PersistedInventory& state, const std::function<void(std::string_view)>& write) {
    // One buffer, handed on and reused a few megabytes at a time: the whole
    // document would add its own size to the peak memory of a save.
    constexpr std::size_t pieceBytes = std::size_t{4} << 20;
    std::string text;
    text.reserve(pieceBytes + pieceBytes / 4);
    Writer(text, pieceBytes, [&write](std::string& buffered) {
        write(buffered);
        buffered.clear();
    }).write(state, 0);
    write(text);
}

std::string encodePersistedInventory(const PersistedInventory& state) {
    std::string text;
    Writer(text, 0, {}).write(state, 0);
    return text;
}

}  // namespace kestrova
