#include "store/runs/CleanupRunRules.h"

#include "model/ProductStatus.h"

#include <fmt/format.h>

#include <algorithm>
#include <unordered_set>

namespace kestrova {
namespace {

// The run's child transactions whose bundles were committed to the
// inventory (each commit writes history under its transaction ID).
std::size_t committedChildTransactionCount(const FormatCleanupRunRecord& run, const std::vector<HistoryItem>& history) {
    std::unordered_set<std::string> committed;
    for (const auto& item : history) {
        if (item.kind == HistoryKind::quarantine && item.presetRunID == run.id && item.transactionID) {
            committed.insert(*item.transactionID);
        }
    }
    return static_cast<std::size_t>(
        std::count_if(run.childTransactionIDs.begin(), run.childTransactionIDs.end(),
                      [&](const Uuid& child) { return committed.contains(child.string()); }));
}

}  // namespace

std::optional<std::vector<PluginBundleSelection>> confirmedRunSelections(
    const FormatCleanupPlan& plan, const std::vector<PluginBundleSelection>& confirmed) {
    std::unordered_set<PluginBundleSelection> candidates;
    for (const auto& candidate : plan.candidates) {
        candidates.insert(candidate.selection);
    }
    std::vector<PluginBundleSelection> selections;
    std::unordered_set<PluginBundleSelection> seen;
    for (const auto& selection : confirmed) {
        if (!candidates.contains(selection)) {
            return std::nullopt;
        }
        if (seen.insert(selection).second) {
            selections.push_back(selection);
        }
    }
    if (selections.empty()) {
        return std::nullopt;
    }
    std::sort(selections.begin(), selections.end(), storedSelectionOrder);
    return selections;
}

bool isReviewedChunk(const FormatCleanupRunRecord& run, const std::vector<PluginBundleSelection>& chunk) {
    const std::unordered_set<PluginBundleSelection> reviewed(run.selections.begin(), run.selections.end());
    return !chunk.empty() &&
           std::all_of(chunk.begin(), chunk.end(), [&](const auto& selection) { return reviewed.contains(selection); });
}

std::vector<PluginBundleSelection> runSelectionsInQuarantine(const std::vector<Plugin>& plugins, const Uuid& runID) {
    std::vector<PluginBundleSelection> selections;
    for (const auto& product : plugins) {
        for (const auto& record : bundleRecords(product)) {
            if (record.isQuarantined() && record.presetRunID == runID) {
                selections.push_back(PluginBundleSelection{product.id, record.id()});
            }
        }
    }
    std::sort(selections.begin(), selections.end(), storedSelectionOrder);
    return selections;
}

FormatCleanupRunStatus runOutcome(const FormatCleanupRunRecord& run,
                                  const std::vector<PluginBundleSelection>& inQuarantine,
                                  FormatCleanupRunStatus nothingMoved) {
    const std::unordered_set<PluginBundleSelection> quarantined(inQuarantine.begin(), inQuarantine.end());
    const bool allQuarantined =
        !run.selections.empty() && std::all_of(run.selections.begin(), run.selections.end(),
                                               [&](const auto& selection) { return quarantined.contains(selection); });
    return allQuarantined         ? FormatCleanupRunStatus::completed
           : !quarantined.empty() ? FormatCleanupRunStatus::partiallyCompleted
                                  : nothingMoved;
}

CleanupRunEnding cleanupRunEnding(const FormatCleanupRunRecord& run, FormatCleanupRunStatus status,
                                  const std::vector<HistoryItem>& history) {
    switch (status) {
        case FormatCleanupRunStatus::pending:
        case FormatCleanupRunStatus::completed:
            return {HistoryKind::cleanupPresetCompleted,
                    fmt::format("{} reviewed format bundles moved into reversible quarantine", run.selections.size())};
        case FormatCleanupRunStatus::partiallyCompleted:
            return {HistoryKind::cleanupPresetPartiallyCompleted,
                    fmt::format("{} child transactions completed before the run stopped",
                                committedChildTransactionCount(run, history))};
        case FormatCleanupRunStatus::canceled:
            return {HistoryKind::cleanupPresetCanceled,
                    "The cleanup preset was canceled; no additional bundles were moved"};
    }
    return {};
}

}  // namespace kestrova
