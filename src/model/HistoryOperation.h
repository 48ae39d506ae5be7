// History as the user reads it: a privileged move writes one item per format
// bundle, and neighbouring items of one product transaction show as one row.
#pragma once

#include "model/History.h"

#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

struct HistoryOperation {
    Uuid id;  // of the first (newest) item
    std::string plugin;
    HistoryKind kind = HistoryKind::scan;
    std::string time;
    std::vector<HistoryItem> items;  // in history order, newest first

    friend bool operator==(const HistoryOperation&, const HistoryOperation&) = default;
};

// Groups neighbouring items of one product transaction, keeping history order.
std::vector<HistoryOperation> groupedHistoryOperations(const std::vector<HistoryItem>& history);
// The formats an operation touched: the five known ones in their fixed
// order, then any others in ascending order.
std::vector<std::string> operationFormats(const HistoryOperation& operation);
// The sentence shown for an operation.
std::string operationSummary(const HistoryOperation& operation);
// How an operation of `kind` ended, as the History screen and its CSV say
// it: "No changes made", "Partially Completed" or "Successful".
std::string_view operationResult(HistoryKind kind);

}  // namespace kestrova
