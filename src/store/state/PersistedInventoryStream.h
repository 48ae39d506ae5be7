// Reading the state document one record at a time with nlohmann/json's
// event parser. A state of tens of thousands of products and a hundred
// thousand history items would take several times its own size as a JSON
// tree; here only one record is a tree at any moment. This is the reader
// that explains refusals; well-formed documents take the direct reader.
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

}  // namespace kestrova::stateStream
