// The CSV exports: the products still in service, the plug-ins installed
// more than once and the grouped operation history. Line feeds only, no byte-order mark, a line feed after
// the last record.
#pragma once

#include "model/History.h"
#include "model/Plugin.h"
#include "planning/DuplicateGroups.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

// Quotes doubled; the result enclosed in quotes when it holds a comma, a
// quote or a line feed. Spaces and other punctuation stay bare.
std::string csvField(std::string_view value);

// One record per product, in the order given: the caller passes the active
// products (fully quarantined ones are not exported).
std::string inventoryCSV(std::span<const Plugin> activeProducts);

// One record per copy of every duplicate group, the kept copy of each group
// first, with what the proposal does with it and why a copy stays.
std::string duplicatesCSV(const std::vector<DuplicateGroup>& groups);

// One record per grouped operation of the history, newest first.
std::string historyCSV(const std::vector<HistoryItem>& history);

}  // namespace kestrova
