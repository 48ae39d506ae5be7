#include "model/HistoryOperation.h"

#include "model/Plugin.h"
#include "platform/Text.h"

#include <algorithm>
#include <set>

namespace kestrova {
namespace {

bool mentionsAtomic(const HistoryItem& item) { return lowercased(item.detail).find("atomic") != std::string::npos; }

bool joins(const HistoryOperation& operation, const HistoryItem& item) {
    if (!isProductTransaction(item.kind) || item.kind != operation.kind || item.plugin != operation.plugin) {
        return false;
    }
    const auto& first = operation.items.front();
    if (item.transactionID) {
        return first.transactionID && *first.transactionID == *item.transactionID;
    }
    // Builds before transaction identifiers marked their grouped moves as
    // atomic and stamped them with one time.
    const bool anyTransaction = std::any_of(operation.items.begin(), operation.items.end(),
                                            [](const HistoryItem& member) { return member.transactionID.has_value(); });
    return !anyTransaction && item.time == operation.time && mentionsAtomic(item) &&
           std::all_of(operation.items.begin(), operation.items.end(), mentionsAtomic);
}

std::optional<std::string> formatOf(const HistoryItem& item) {
    if (item.format && !item.format->empty()) {
        return item.format;
    }
    const auto detail = lowercased(item.detail);
    for (const auto format : formats::all) {
        if (detail.find(lowercased(format) + " bundle") != std::string::npos) {
            return std::string(format);
        }
    }
    return std::nullopt;
}

}  // namespace

std::vector<HistoryOperation> groupedHistoryOperations(const std::vector<HistoryItem>& history) {
    std::vector<HistoryOperation> operations;
    for (const auto& item : history) {
        if (!operations.empty() && joins(operations.back(), item)) {
            operations.back().items.push_back(item);
        } else {
            operations.push_back(HistoryOperation{item.id, item.plugin, item.kind, item.time, {item}});
        }
    }
    return operations;
}

std::vector<std::string> operationFormats(const HistoryOperation& operation) {
    std::set<std::string> found;
    for (const auto& item : operation.items) {
        if (auto format = formatOf(item)) {
            found.insert(std::move(*format));
        }
    }
    std::vector<std::string> ordered;
    for (const auto format : formats::all) {
        if (found.erase(std::string(format)) > 0) {
            ordered.emplace_back(format);
        }
    }
    // What is left is outside the known five, already in ascending order.
    ordered.insert(ordered.end(), found.begin(), found.end());
    return ordered;
}

std::string operationSummary(const HistoryOperation& operation) {
    if (!isProductTransaction(operation.kind)) {
        return operation.items.empty() ? std::string() : operation.items.front().detail;
    }
    const auto formatNames = operationFormats(operation);
    const auto count = operation.items.size();
    std::string subject;
    if (formatNames.empty()) {
        subject = std::to_string(count) + (count == 1 ? " format bundle" : " format bundles");
    } else {
        for (const auto& name : formatNames) {
            subject += subject.empty() ? name : " + " + name;
        }
    }
    const std::string plural = count > 1 ? "s" : "";
    switch (operation.kind) {
        case HistoryKind::restore:
            return subject + " restored to the recorded original location" + plural + " as one product transaction.";
        case HistoryKind::quarantine:
            return subject + " moved to reversible quarantine as one product transaction.";
        case HistoryKind::trash:
            return subject + " moved to Finder Trash as one recoverable product transaction.";
        case HistoryKind::trashRestore:
            return subject + " restored from Finder Trash to the recorded original location" + plural + ".";
        default:
            return subject;
    }
}

std::string_view operationResult(HistoryKind kind) {
    switch (kind) {
        case HistoryKind::scanCanceled:
        case HistoryKind::canceled:
        case HistoryKind::cleanupPresetCanceled:
            return "No changes made";
        case HistoryKind::cleanupPresetPartiallyCompleted:
            return "Partially Completed";
        default:
            return "Successful";
    }
}

}  // namespace kestrova
