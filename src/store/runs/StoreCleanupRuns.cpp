// Cleanup preset runs: the run journal written before any file moves, the
// chunks quarantined under it, the run's end, and the closing at start-up of
// runs an earlier session left pending.
#include "model/ProductStatus.h"
#include "planning/FormatCleanupPlan.h"
#include "store/PluginInventoryStore.h"

#include <fmt/format.h>

#include <algorithm>
#include <unordered_set>

namespace kestrova {
namespace {

constexpr std::string_view presetBlocked = "Cleanup Preset Blocked";

std::string presetTitle(FormatCleanupPresetKind preset) { return std::string(title(preset)); }

std::vector<PluginBundleSelection> uniqueSelections(const std::vector<PluginBundleSelection>& selections) {
    std::vector<PluginBundleSelection> unique;
    std::unordered_set<PluginBundleSelection> seen;
    for (const auto& selection : selections) {
        if (seen.insert(selection).second) {
            unique.push_back(selection);
        }
    }
    return unique;
}

FormatCleanupRunRecord* pendingCleanupRun(std::vector<FormatCleanupRunRecord>& runs, const Uuid& runID) {
    const auto run = std::find_if(runs.begin(), runs.end(),
                                  [&](const FormatCleanupRunRecord& record) { return record.id == runID; });
    return run != runs.end() && run->status == FormatCleanupRunStatus::pending ? &*run : nullptr;
}

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

std::optional<Uuid> PluginInventoryStore::startCleanupRun(
    const FormatCleanupPlan& plan, const std::vector<PluginBundleSelection>& confirmedSelections) {
    setLastOperationError(std::nullopt);
    if (fileActionsBlockedByStorage_) {
        showWarning(std::string(presetBlocked),
                    "The local inventory must be available before a cleanup preset can begin.");
        return std::nullopt;
    }
    if (plan.inventoryRevision != inventoryRevision_) {
        showWarning("Cleanup Preview Expired",
                    "The inventory changed after this preset was previewed. Build a new preview before moving any "
                    "files.");
        return std::nullopt;
    }
    if (hasPendingPrivilegedTransaction()) {
        showWarning(std::string(presetBlocked), "A previous privileged plugin transaction still needs reconciliation.");
        return std::nullopt;
    }
    auto selections = uniqueSelections(confirmedSelections);
    std::unordered_set<PluginBundleSelection> candidates;
    for (const auto& candidate : plan.candidates) {
        candidates.insert(candidate.selection);
    }
    const bool matchesPreview = std::all_of(selections.begin(), selections.end(),
                                            [&](const auto& selection) { return candidates.contains(selection); });
    if (selections.empty() || !matchesPreview) {
        showWarning(std::string(presetBlocked),
                    "The confirmed format list is empty or no longer matches the reviewed preview.");
        return std::nullopt;
    }
    std::sort(selections.begin(), selections.end(), storedSelectionOrder);

    FormatCleanupRunRecord run;
    run.id = Uuid::random();
    run.planID = plan.id;
    run.preset = plan.preset;
    run.createdAt = Date::now();
    run.status = FormatCleanupRunStatus::pending;
    run.selections = std::move(selections);
    const auto runID = run.id;
    const auto detail =
        fmt::format("{} reviewed format bundles queued for reversible quarantine", run.selections.size());
    formatCleanupRuns_.insert(formatCleanupRuns_.begin(), std::move(run));
    published(storeField::formatCleanupRuns);
    const auto historyID =
        prependHistory(makeHistoryItem(presetTitle(plan.preset), HistoryKind::cleanupPresetStarted, detail,
                                       historyTimeText(Date::now()), std::nullopt, std::nullopt, runID))
            .id;

    const auto written = persistState();
    if (!written) {
        std::erase_if(formatCleanupRuns_, [&](const FormatCleanupRunRecord& record) { return record.id == runID; });
        published(storeField::formatCleanupRuns);
        std::erase_if(history_, [&](const HistoryItem& item) { return item.id == historyID; });
        published(storeField::history);
        setLastStorageError(written.error().message);
        showWarning(std::string(presetBlocked),
                    "Kestrova could not save the preset-run journal. No plugin files were moved.");
        return std::nullopt;
    }
    setLastStorageError(std::nullopt);
    return runID;
}

std::optional<PrivilegedRequest> PluginInventoryStore::prepareCleanupRunChunk(
    const Uuid& runID, const std::vector<PluginBundleSelection>& chunk) {
    const auto* run = pendingCleanupRun(formatCleanupRuns_, runID);
    if (run == nullptr) {
        showWarning(std::string(presetBlocked), "The preset-run journal is missing or no longer pending.");
        return std::nullopt;
    }
    const std::unordered_set<PluginBundleSelection> reviewed(run->selections.begin(), run->selections.end());
    const bool allReviewed =
        std::all_of(chunk.begin(), chunk.end(), [&](const auto& selection) { return reviewed.contains(selection); });
    if (chunk.empty() || !allReviewed) {
        showWarning(std::string(presetBlocked),
                    "This child transaction contains a format that was not part of the reviewed preset preview.");
        return std::nullopt;
    }
    // The journal write appends the transaction to the run's children.
    return prepare(TransactionKind::quarantine, chunk, inventoryRevision_, runID);
}

void PluginInventoryStore::finishCleanupRun(const Uuid& runID, FormatCleanupRunStatus status) {
    auto* run = pendingCleanupRun(formatCleanupRuns_, runID);
    if (run == nullptr) {
        return;
    }
    run->status = status;
    published(storeField::formatCleanupRuns);

    HistoryKind kind = HistoryKind::cleanupPresetCompleted;
    std::string detail;
    std::string noticeTitle = "Cleanup Preset Stopped";
    switch (status) {
        case FormatCleanupRunStatus::pending:
            return;
        case FormatCleanupRunStatus::completed:
            kind = HistoryKind::cleanupPresetCompleted;
            detail = fmt::format("{} reviewed format bundles moved into reversible quarantine", run->selections.size());
            noticeTitle = "Cleanup Preset Completed";
            break;
        case FormatCleanupRunStatus::partiallyCompleted:
            kind = HistoryKind::cleanupPresetPartiallyCompleted;
            detail = fmt::format("{} child transactions completed before the run stopped",
                                 committedChildTransactionCount(*run, history_));
            break;
        case FormatCleanupRunStatus::canceled:
            kind = HistoryKind::cleanupPresetCanceled;
            detail = "The cleanup preset was canceled; no additional bundles were moved";
            break;
    }
    prependHistory(makeHistoryItem(presetTitle(run->preset), kind, detail, historyTimeText(Date::now()), std::nullopt,
                                   std::nullopt, runID));

    const auto written = persistState();
    if (!written) {
        // The run's new status and its history item stay in memory: the
        // files are where the transactions left them either way.
        setLastStorageError(written.error().message);
        showWarning("Preset History Not Saved",
                    "The plugin transaction result is unchanged, but Kestrova could not finish the preset-run "
                    "history record.");
        return;
    }
    setLastStorageError(std::nullopt);
    if (status == FormatCleanupRunStatus::completed) {
        setNotice(OperationNotice::success(std::move(noticeTitle), std::move(detail)));
    } else {
        setNotice(OperationNotice::warning(std::move(noticeTitle), std::move(detail)));
    }
}

void PluginInventoryStore::correctClosedCleanupRun(const std::string& transactionID) {
    const auto child = Uuid::parse(transactionID);
    if (!child) {
        return;
    }
    const auto run = std::find_if(formatCleanupRuns_.begin(), formatCleanupRuns_.end(), [&](const auto& record) {
        return std::find(record.childTransactionIDs.begin(), record.childTransactionIDs.end(), *child) !=
               record.childTransactionIDs.end();
    });
    // A pending run is closed later from the same facts; a completed one
    // already says everything moved.
    if (run == formatCleanupRuns_.end() || run->status == FormatCleanupRunStatus::pending ||
        run->status == FormatCleanupRunStatus::completed) {
        return;
    }
    const auto inQuarantine = cleanupRunSelectionsInQuarantine(run->id);
    const std::unordered_set<PluginBundleSelection> quarantined(inQuarantine.begin(), inQuarantine.end());
    const bool allQuarantined =
        !run->selections.empty() && std::all_of(run->selections.begin(), run->selections.end(),
                                                [&](const auto& selection) { return quarantined.contains(selection); });
    const auto corrected = allQuarantined         ? FormatCleanupRunStatus::completed
                           : !quarantined.empty() ? FormatCleanupRunStatus::partiallyCompleted
                                                  : run->status;
    if (corrected == run->status) {
        return;
    }
    const auto previous = run->status;
    run->status = corrected;
    published(storeField::formatCleanupRuns);
    const bool completed = corrected == FormatCleanupRunStatus::completed;
    const auto outcome =
        completed ? fmt::format("{} reviewed format bundles moved into reversible quarantine", run->selections.size())
                  : fmt::format("{} child transactions completed before the run stopped",
                                committedChildTransactionCount(*run, history_));
    // The earlier history item stays; this one says what really happened.
    const auto detail =
        fmt::format("Outcome corrected from {}: {}",
                    previous == FormatCleanupRunStatus::canceled ? "canceled" : "partially completed", outcome);
    prependHistory(
        makeHistoryItem(presetTitle(run->preset),
                        completed ? HistoryKind::cleanupPresetCompleted : HistoryKind::cleanupPresetPartiallyCompleted,
                        detail, historyTimeText(Date::now()), std::nullopt, std::nullopt, run->id));
    if (const auto written = persistState(); !written) {
        setLastStorageError(written.error().message);
        showWarning("Preset History Not Saved",
                    "The plugin transaction result is unchanged, but Kestrova could not finish the preset-run "
                    "history record.");
        return;
    }
    setNotice(completed ? OperationNotice::success("Cleanup Preset Corrected", detail)
                        : OperationNotice::warning("Cleanup Preset Corrected", detail));
}

std::vector<PluginBundleSelection> PluginInventoryStore::cleanupRunSelectionsInQuarantine(const Uuid& runID) const {
    std::vector<PluginBundleSelection> selections;
    for (const auto& product : plugins_) {
        for (const auto& record : bundleRecords(product)) {
            if (record.isQuarantined() && record.presetRunID == runID) {
                selections.push_back(PluginBundleSelection{product.id, record.id()});
            }
        }
    }
    std::sort(selections.begin(), selections.end(), storedSelectionOrder);
    return selections;
}

// A run left pending by a quit is judged by what is still in quarantine under
// it; while a journal is pending that picture is not settled yet, so the run
// waits for a later start.
void PluginInventoryStore::closePendingCleanupRuns() {
    if (hasPendingPrivilegedTransaction()) {
        return;
    }
    std::vector<Uuid> pending;
    for (const auto& run : formatCleanupRuns_) {
        if (run.status == FormatCleanupRunStatus::pending) {
            pending.push_back(run.id);
        }
    }
    for (const auto& runID : pending) {
        const auto* run = pendingCleanupRun(formatCleanupRuns_, runID);
        if (run == nullptr) {
            continue;
        }
        const auto inQuarantine = cleanupRunSelectionsInQuarantine(runID);
        const std::unordered_set<PluginBundleSelection> quarantined(inQuarantine.begin(), inQuarantine.end());
        const bool allQuarantined = !run->selections.empty() &&
                                    std::all_of(run->selections.begin(), run->selections.end(),
                                                [&](const auto& selection) { return quarantined.contains(selection); });
        finishCleanupRun(runID, allQuarantined         ? FormatCleanupRunStatus::completed
                                : !quarantined.empty() ? FormatCleanupRunStatus::partiallyCompleted
                                                       : FormatCleanupRunStatus::canceled);
    }
}

}  // namespace kestrova
