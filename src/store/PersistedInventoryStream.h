// Reading and writing the state document one record at a time. A state of
// tens of thousands of products and a hundred thousand history items would
// take several times its own size as a JSON tree; here only one record is a
// tree at any moment, and the text written is byte for byte what the tree
// would have printed.
#pragma once

#include "model/JsonCoding.h"

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace kestrova::stateStream {

// Where the elements of one streamed array go: `begin` when the array opens
// (again, if the key repeats), then `element` for each element as soon as it
// is complete. A DecodingError thrown here stops the reading and comes out of
// readDocument.
struct ElementSink {
    std::function<void()> begin;
    std::function<void(Json&& element, std::size_t index)> element;
};

struct ReadDocument {
    Json others = Json::object();    // every top-level value not streamed
    std::set<std::string> streamed;  // the keys whose arrays went to their sinks
};

// Parses a document that must be a JSON object. The elements of an array
// that is the value of a top-level key in `sinks` go to that key's sink;
// every other top-level value is collected whole. When a key occurs twice,
// the later value wins, as in a tree. Malformed JSON comes back as an error
// message; DecodingError from a sink propagates.
std::optional<std::string> readDocument(std::string_view text,
                                        const std::map<std::string, ElementSink, std::less<>>& sinks,
                                        ReadDocument& document);

// Writes an object with two-space indentation, one key at a time; keys must
// come in ascending order. Invalid UTF-8 is replaced, not refused.
class PrettyObjectWriter {
public:
    // `drain`, when given, is called with the text after each value and
    // array element and may take what is there so far (and clear it).
    explicit PrettyObjectWriter(std::string& out, std::function<void(std::string&)> drain = {});
    void value(std::string_view key, const Json& value);
    // An array written element by element; `element(i)` builds the i-th one.
    void array(std::string_view key, std::size_t count, const std::function<Json(std::size_t)>& element);
    void finish();

private:
    void keyPrefix(std::string_view key);
    void dump(const Json& value, unsigned indent);

    std::string* out_;
    std::function<void(std::string&)> drain_;
    bool first_ = true;
};

}  // namespace kestrova::stateStream
