#include "store/runs/CleanupRunController.h"

#include "helperclient/PluginManagementService.h"
#include "planning/FormatCleanupPlanner.h"
#include "store/PluginInventoryStore.h"
#include "store/journal/CrashPoint.h"
#include "store/journal/TransactionRoad.h"
#include "store/runs/CleanupRunChunks.h"
#include "store/runs/CleanupRunTexts.h"

namespace kestrova {
namespace {

constexpr std::string_view crashScope = "cleanup-run";
// A chunk is committed; the next one (or the run's end) is not taken up yet.
constexpr std::string_view chunkCommitted = "chunk-committed";

std::unordered_set<PluginBundleSelection> defaultTicks(const FormatCleanupPlan& plan) {
    std::unordered_set<PluginBundleSelection> ticks;
    for (const auto& candidate : plan.candidates) {
        if (candidate.selectedByDefault) {
            ticks.insert(candidate.selection);
        }
    }
    return ticks;
}

}  // namespace

std::vector<RestorableCleanupRun> restorableCleanupRuns(const PluginInventoryStore& store) {
    std::vector<RestorableCleanupRun> runs;
    for (const auto& run : store.formatCleanupRuns()) {
        // Whatever a run's end state says, what it left in quarantine can go
        // back as a run; a pending one is still being decided.
        if (run.status == FormatCleanupRunStatus::pending) {
            continue;
        }
        const auto remaining = store.cleanupRunSelectionsInQuarantine(run.id).size();
        if (remaining > 0) {
            runs.push_back(RestorableCleanupRun{run.id, run.preset, remaining});
        }
    }
    return runs;
}

FormatCleanupPlan cleanupPreview(const PluginInventoryStore& store, FormatCleanupPresetKind preset,
                                 const std::set<std::string>& customFormats) {
    return buildFormatCleanupPlan(preset, customFormats, store.plugins(), store.inventoryRevision(), std::nullopt,
                                  store.hasPendingPrivilegedTransaction(), store.fileSystem(), store.layout(), true);
}

CleanupRunController::CleanupRunController(PluginInventoryStore& store, PluginManagementService& service)
    : store_(store), service_(service) {}

bool CleanupRunController::canBuildPreview(FormatCleanupPresetKind preset,
                                           const std::set<std::string>& customFormats) const {
    return !isBusy() && !store_.isScanning() && !(preset == FormatCleanupPresetKind::custom && customFormats.empty());
}

bool CleanupRunController::buildPreview(FormatCleanupPresetKind preset, std::set<std::string> customFormats) {
    if (!canBuildPreview(preset, customFormats)) {
        return false;
    }
    preset_ = preset;
    customFormats_ = std::move(customFormats);
    auto plan =
        buildFormatCleanupPlan(preset_, customFormats_, store_.plugins(), store_.inventoryRevision(), std::nullopt,
                               store_.hasPendingPrivilegedTransaction(), store_.fileSystem(), store_.layout(), true);
    auto ticks = defaultTicks(plan);
    setPlan(std::move(plan));
    setSelectedSet(std::move(ticks));
    return true;
}

void CleanupRunController::selectSafeDefaults() {
    setSelectedSet(plan_ ? defaultTicks(*plan_) : std::unordered_set<PluginBundleSelection>{});
}

void CleanupRunController::clearSelection() { setSelectedSet({}); }

void CleanupRunController::setSelected(const PluginBundleSelection& selection, bool isSelected) {
    auto selected = selected_;
    if (isSelected) {
        selected.insert(selection);
    } else {
        selected.erase(selection);
    }
    setSelectedSet(std::move(selected));
}

std::vector<PluginBundleSelection> CleanupRunController::tickedSelections() const {
    std::vector<PluginBundleSelection> ticked;
    if (!plan_) {
        return ticked;
    }
    for (const auto& candidate : plan_->candidates) {
        if (selected_.contains(candidate.selection)) {
            ticked.push_back(candidate.selection);
        }
    }
    return ticked;
}

// Each side's bundles in chunks of their own, since each side's helper moves
// only its own: the system side's first, then the user's.
std::vector<std::vector<PluginBundleSelection>> CleanupRunController::sideChunks(
    const std::vector<PluginBundleSelection>& selections) const {
    std::vector<std::vector<PluginBundleSelection>> chunks;
    for (const auto& group : store_.selectionsBySide(selections)) {
        auto groupChunks = chunkedSelections(group);
        chunks.insert(chunks.end(), std::make_move_iterator(groupChunks.begin()),
                      std::make_move_iterator(groupChunks.end()));
    }
    return chunks;
}

void CleanupRunController::start() {
    if (!plan_ || isBusy() || !service_.canSendPrivilegedRequest()) {
        return;
    }
    const auto ticked = tickedSelections();
    const auto runID = store_.startCleanupRun(*plan_, ticked);
    if (!runID) {
        return;
    }
    // The run stores its selections sorted; the chunks follow the order the
    // user reviewed them in.
    setActiveRunID(*runID);
    setCompletedChunkCount(0);
    setPendingChunks(sideChunks(ticked));
    nextChunkInNextTurn(&CleanupRunController::nextChunk);
}

void CleanupRunController::nextChunk() {
    if (!activeRunID_) {
        return;
    }
    const auto runID = *activeRunID_;
    if (pendingChunks_.empty()) {
        store_.finishCleanupRun(runID, FormatCleanupRunStatus::completed);
        setActiveRunID(std::nullopt);
        setCompletedChunkCount(0);
        // The old preview no longer matches the inventory; offer a fresh one.
        buildPreview(preset_, customFormats_);
        return;
    }
    auto chunks = pendingChunks_;
    auto chunk = std::move(chunks.front());
    chunks.erase(chunks.begin());
    setPendingChunks(std::move(chunks));

    // Each chunk is one side's; that side's helper must be free before its journal is written.
    const bool sent = runTransaction(
        store_, service_, TransactionKind::quarantine, sideOfChunk(chunk),
        [&] { return store_.prepareCleanupRunChunk(runID, chunk); },
        [this](const PrivilegedRequest&, bool committed) { chunkCompleted(committed); }, alive_);
    if (!sent) {
        stopRun();
    }
}

std::optional<BundleSide> CleanupRunController::sideOfChunk(const std::vector<PluginBundleSelection>& chunk) const {
    return chunk.empty() ? std::nullopt : std::optional<BundleSide>(store_.sideOf(chunk.front()));
}

void CleanupRunController::chunkCompleted(bool committed) {
    if (!committed) {
        stopRun();
        return;
    }
    setCompletedChunkCount(completedChunkCount_ + 1);
    crashPoint(crashScope, chunkCommitted);
    nextChunkInNextTurn(&CleanupRunController::nextChunk);
}

void CleanupRunController::nextChunkInNextTurn(void (CleanupRunController::*next)()) {
    // The commit has just written the state file and the next chunk's
    // journal writes it again; a turn of the main thread in between keeps a
    // window responsive through a long run.
    store_.mainThread().post([this, next, alive = std::weak_ptr<int>(alive_)] {
        if (alive.lock()) {
            (this->*next)();
        }
    });
}

void CleanupRunController::stopRun() {
    if (activeRunID_) {
        store_.finishCleanupRun(*activeRunID_, completedChunkCount_ >= 1 ? FormatCleanupRunStatus::partiallyCompleted
                                                                         : FormatCleanupRunStatus::canceled);
    }
    setActiveRunID(std::nullopt);
    setPendingChunks({});
}

void CleanupRunController::restoreRun(const Uuid& runID) {
    if (isBusy()) {
        return;
    }
    const auto selections = store_.cleanupRunSelectionsInQuarantine(runID);
    if (selections.empty()) {
        return;
    }
    restoredBundles_ = 0;
    restoredTransactions_ = 0;
    setRestoringRunID(runID);
    setRestoreChunks(sideChunks(selections));
    nextRestoreChunk();
}

void CleanupRunController::nextRestoreChunk() {
    if (!restoringRunID_) {
        return;
    }
    if (restoreChunks_.empty()) {
        // Each transaction announced its own part; a restore of several
        // ends with one notice for all of them, which is what is shown.
        if (restoredTransactions_ > 1) {
            store_.showSuccess("Plugins Restored", runRestoredText(restoredBundles_, restoredTransactions_));
        }
        setRestoringRunID(std::nullopt);
        return;
    }
    auto chunks = restoreChunks_;
    auto chunk = std::move(chunks.front());
    chunks.erase(chunks.begin());
    setRestoreChunks(std::move(chunks));

    const bool sent = runTransaction(
        store_, service_, TransactionKind::restore, sideOfChunk(chunk),
        [&] { return store_.prepare(TransactionKind::restore, chunk); },
        [this](const PrivilegedRequest& request, bool committed) { restoreChunkCompleted(request, committed); },
        alive_);
    if (!sent) {
        stopRestore();
    }
}

void CleanupRunController::restoreChunkCompleted(const PrivilegedRequest& request, bool committed) {
    if (!committed) {
        stopRestore();
        return;
    }
    restoredBundles_ += itemCount(request);
    ++restoredTransactions_;
    nextChunkInNextTurn(&CleanupRunController::nextRestoreChunk);
}

void CleanupRunController::stopRestore() {
    setRestoringRunID(std::nullopt);
    setRestoreChunks({});
}

void CleanupRunController::setPlan(std::optional<FormatCleanupPlan> plan) {
    plan_ = std::move(plan);
    publish(planField);
}

void CleanupRunController::setSelectedSet(std::unordered_set<PluginBundleSelection> selected) {
    selected_ = std::move(selected);
    publish(selectedField);
}

void CleanupRunController::setActiveRunID(std::optional<Uuid> runID) {
    activeRunID_ = runID;
    publish(activeRunIDField);
}

void CleanupRunController::setPendingChunks(std::vector<std::vector<PluginBundleSelection>> chunks) {
    pendingChunks_ = std::move(chunks);
    publish(pendingChunksField);
}

void CleanupRunController::setCompletedChunkCount(int count) {
    completedChunkCount_ = count;
    publish(completedChunkCountField);
}

void CleanupRunController::setRestoringRunID(std::optional<Uuid> runID) {
    restoringRunID_ = runID;
    publish(restoringRunIDField);
}

void CleanupRunController::setRestoreChunks(std::vector<std::vector<PluginBundleSelection>> chunks) {
    restoreChunks_ = std::move(chunks);
    publish(restoreChunksField);
}

}  // namespace kestrova
