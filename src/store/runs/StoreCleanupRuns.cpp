// Cleanup preset runs: the run journal written before any file moves, the
// chunks quarantined under it, the run's end, and the closing at start-up of
// runs an earlier session left pending.
#include "planning/FormatCleanupPlan.h"
#include "store/PluginInventoryStore.h"
#include "store/runs/CleanupRunRules.h"

#include <fmt/format.h>

#include <algorithm>

namespace kestrova {
namespace {

constexpr std::string_view presetBlocked = "Cleanup Preset Blocked";
constexpr std::string_view historyNotSaved =
    "The plugin transaction result is unchanged, but Kestrova could not finish the preset-run history record.";

std::string presetTitle(FormatCleanupPresetKind preset) { return std::string(title(preset)); }

FormatCleanupRunRecord* pendingCleanupRun(std::vector<FormatCleanupRunRecord>& runs, const Uuid& runID) {
    const auto run = std::find_if(runs.begin(), runs.end(),
                                  [&](const FormatCleanupRunRecord& record) { return record.id == runID; });
    return run != runs.end() && run->status == FormatCleanupRunStatus::pending ? &*run : nullptr;
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
    auto selections = confirmedRunSelections(plan, confirmedSelections);
    if (!selections) {
        showWarning(std::string(presetBlocked),
                    "The confirmed format list is empty or no longer matches the reviewed preview.");
        return std::nullopt;
    }

    FormatCleanupRunRecord run;
    run.id = Uuid::random();
    run.planID = plan.id;
    run.preset = plan.preset;
    run.createdAt = Date::now();
    run.status = FormatCleanupRunStatus::pending;
    run.selections = std::move(*selections);
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
    if (!isReviewedChunk(*run, chunk)) {
        showWarning(std::string(presetBlocked),
                    "This child transaction contains a format that was not part of the reviewed preset preview.");
        return std::nullopt;
    }
    // The journal write appends the transaction to the run's children.
    return prepare(TransactionKind::quarantine, chunk, inventoryRevision_, runID);
}

void PluginInventoryStore::finishCleanupRun(const Uuid& runID, FormatCleanupRunStatus status) {
    auto* run = pendingCleanupRun(formatCleanupRuns_, runID);
    if (run == nullptr || status == FormatCleanupRunStatus::pending) {
        return;
    }
    run->status = status;
    published(storeField::formatCleanupRuns);
    auto ending = cleanupRunEnding(*run, status, history_);
    prependHistory(makeHistoryItem(presetTitle(run->preset), ending.kind, ending.detail, historyTimeText(Date::now()),
                                   std::nullopt, std::nullopt, runID));

    const auto written = persistState();
    if (!written) {
        // The run's new status and its history item stay in memory: the
        // files are where the transactions left them either way.
        setLastStorageError(written.error().message);
        showWarning("Preset History Not Saved", std::string(historyNotSaved));
        return;
    }
    setLastStorageError(std::nullopt);
    if (status == FormatCleanupRunStatus::completed) {
        setNotice(OperationNotice::success("Cleanup Preset Completed", std::move(ending.detail)));
    } else {
        setNotice(OperationNotice::warning("Cleanup Preset Stopped", std::move(ending.detail)));
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
    const auto corrected = runOutcome(*run, cleanupRunSelectionsInQuarantine(run->id), run->status);
    if (corrected == run->status) {
        return;
    }
    const auto previous = run->status;
    run->status = corrected;
    published(storeField::formatCleanupRuns);
    const auto ending = cleanupRunEnding(*run, corrected, history_);
    // The earlier history item stays; this one says what really happened.
    const auto detail =
        fmt::format("Outcome corrected from {}: {}",
                    previous == FormatCleanupRunStatus::canceled ? "canceled" : "partially completed", ending.detail);
    prependHistory(makeHistoryItem(presetTitle(run->preset), ending.kind, detail, historyTimeText(Date::now()),
                                   std::nullopt, std::nullopt, run->id));
    if (const auto written = persistState(); !written) {
        setLastStorageError(written.error().message);
        showWarning("Preset History Not Saved", std::string(historyNotSaved));
        return;
    }
    setNotice(corrected == FormatCleanupRunStatus::completed
                  ? OperationNotice::success("Cleanup Preset Corrected", detail)
                  : OperationNotice::warning("Cleanup Preset Corrected", detail));
}

std::vector<PluginBundleSelection> PluginInventoryStore::cleanupRunSelectionsInQuarantine(const Uuid& runID) const {
    return runSelectionsInQuarantine(plugins_, runID);
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
        if (const auto* run = pendingCleanupRun(formatCleanupRuns_, runID)) {
            finishCleanupRun(
                runID, runOutcome(*run, cleanupRunSelectionsInQuarantine(runID), FormatCleanupRunStatus::canceled));
        }
    }
}

}  // namespace kestrova
