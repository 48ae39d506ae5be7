// Reading a state document straight into its records with simdjson: no JSON
// tree, no copy of the text when it comes with room after it, strings copied
// once from the text into the records.
#pragma once

#include "store/state/PersistedInventory.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>

namespace kestrova {

// The bytes simdjson may read past the end of a text.
inline constexpr std::size_t stateReaderPadding = 64;

// The records of a well-formed document, exactly as the record-by-record
// decoder would give them; nothing for any document that decoder refuses,
// and also for a few it takes but that are too unusual to be worth a fast
// path (a repeated key, an escaped key). The caller then asks that decoder, which also says what is wrong.
// `padding` is how many bytes after `text` can be read; with fewer than
// stateReaderPadding the text is copied first. `doneBefore`, when given, is
// told now and then of an offset before which the text is no longer read.
std::optional<PersistedInventory> decodeWellFormedInventory(std::string_view text, std::size_t padding = 0,
                                                            const std::function<void(std::size_t)>& doneBefore = {});

}  // namespace kestrova
