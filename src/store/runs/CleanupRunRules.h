// The rules of a cleanup preset run that need nothing of the store: which
// confirmed selections may start a run or a chunk of it, how a run's outcome
// follows from what is in quarantine under it, and the words of each ending.
#pragma once

#include "model/FormatCleanupRun.h"
#include "model/History.h"
#include "model/Plugin.h"
#include "model/PluginBundleSelection.h"
#include "planning/FormatCleanupPlan.h"

#include <optional>
#include <string>
#include <vector>

namespace kestrova {

// The confirmed selections without repeats, in stored order; nothing when
// there are none or one was not among the preview's candidates.
std::optional<std::vector<PluginBundleSelection>> confirmedRunSelections(
    const FormatCleanupPlan& plan, const std::vector<PluginBundleSelection>& confirmed);

// A chunk may only move bundles the run reviewed, and at least one.
bool isReviewedChunk(const FormatCleanupRunRecord& run, const std::vector<PluginBundleSelection>& chunk);

// The run's bundles in quarantine under it, in stored selection order.
std::vector<PluginBundleSelection> runSelectionsInQuarantine(const std::vector<Plugin>& plugins, const Uuid& runID);

// Completed when every selection of the run is in quarantine under it,
// partially completed when some are, otherwise `nothingMoved`.
FormatCleanupRunStatus runOutcome(const FormatCleanupRunRecord& run,
                                  const std::vector<PluginBundleSelection>& inQuarantine,
                                  FormatCleanupRunStatus nothingMoved);

// The history kind and detail of a run that ended with `status` (not
// pending); the partial count is of child transactions committed by history.
struct CleanupRunEnding {
    HistoryKind kind = HistoryKind::cleanupPresetCompleted;
    std::string detail;
};
CleanupRunEnding cleanupRunEnding(const FormatCleanupRunRecord& run, FormatCleanupRunStatus status,
                                  const std::vector<HistoryItem>& history);

}  // namespace kestrova
