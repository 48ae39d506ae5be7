// A Turtle reader for plug-in descriptions found on disk, where anything may
// stand: the whole grammar (prefixes and base, prefixed names, blank nodes,
// collections, every string form with its escapes, language tags,
// datatypes, numbers), nesting bounded, reading stopped at the first error
// with the statements before it kept. It never fails and never recurses
// deeper than `turtleNestingLimit`, so no input can crash or hang it.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace kestrova {

struct TurtleTerm {
    enum class Kind { iri, blank, literal };
    Kind kind = Kind::iri;
    // An absolute IRI (relative ones are resolved against the base), a blank
    // node's name (unique within one reading), or a literal's decoded text.
    std::string value;
    // A literal's language tag, lower-cased; empty when it has none.
    std::string language;

    friend bool operator==(const TurtleTerm&, const TurtleTerm&) = default;
};

inline constexpr int turtleNestingLimit = 64;

// Which predicates (absolute IRIs) the caller wants; statements with other
// predicates are parsed and dropped without building their objects.
using TurtlePredicateFilter = std::function<bool(std::string_view predicate)>;
using TurtleStatementSink =
    std::function<void(const TurtleTerm& subject, std::string_view predicate, TurtleTerm object)>;

// `base` is the document's own IRI; `blankPrefix` keeps the blank nodes of
// different documents apart. Returns false when reading stopped at an error.
bool readTurtle(std::string_view text, std::string_view base, std::string_view blankPrefix,
                const TurtlePredicateFilter& wanted, const TurtleStatementSink& sink);

// `reference` resolved against `base` as RFC 3986 says, for the hierarchical
// references plug-in descriptions use.
std::string resolvedIri(std::string_view base, std::string_view reference);

}  // namespace kestrova
