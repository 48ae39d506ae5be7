// The working half of the Format Cleanup screen, shared by the desktop screen
// and kestrova-cli: the preview under review with its ticks, and the two
// loops that feed a cleanup run's chunks (and a run restore's chunks) to the
// helper strictly one after another, each next chunk started from the
// previous chunk's completion on the main thread. It holds view state only;
// every decision and every journal is the store's.
#pragma once

#include "model/FormatCleanupRun.h"
#include "model/PluginBundleSelection.h"
#include "planning/FormatCleanupPlan.h"
#include "platform/Observable.h"
#include "platform/SystemLayout.h"
#include "platform/Uuid.h"
#include "protocol/TransactionKinds.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace kestrova {

class PluginInventoryStore;
class PluginManagementService;

// A run the user may still put back: it has ended, in any state, and some of
// its bundles are still in quarantine.
struct RestorableCleanupRun {
    Uuid runID;
    FormatCleanupPresetKind preset = FormatCleanupPresetKind::auOnly;
    std::size_t bundlesInQuarantine = 0;

    friend bool operator==(const RestorableCleanupRun&, const RestorableCleanupRun&) = default;
};

// Newest run first, as the store keeps them.
std::vector<RestorableCleanupRun> restorableCleanupRuns(const PluginInventoryStore& store);

// The preview the screen builds: against the store's current inventory and
// revision, blocked by a pending journal, with the existence check on.
FormatCleanupPlan cleanupPreview(const PluginInventoryStore& store, FormatCleanupPresetKind preset,
                                 const std::set<std::string>& customFormats);

class CleanupRunController final : public Observable {
public:
    // Published field names.
    static constexpr std::string_view planField = "plan";
    static constexpr std::string_view selectedField = "selected";
    static constexpr std::string_view activeRunIDField = "activeRunID";
    static constexpr std::string_view pendingChunksField = "pendingChunks";
    static constexpr std::string_view completedChunkCountField = "completedChunkCount";
    static constexpr std::string_view restoringRunIDField = "restoringRunID";
    static constexpr std::string_view restoreChunksField = "restoreChunks";

    // The store and the service must outlive the controller. A helper reply
    // that arrives after the controller is gone is dropped: its journal stays
    // for the next start to resolve, so keep the controller as long as the
    // store (the application shell owns it, not a screen).
    CleanupRunController(PluginInventoryStore& store, PluginManagementService& service);
    CleanupRunController(const CleanupRunController&) = delete;
    CleanupRunController& operator=(const CleanupRunController&) = delete;

    FormatCleanupPresetKind preset() const { return preset_; }
    const std::set<std::string>& customFormats() const { return customFormats_; }
    const std::optional<FormatCleanupPlan>& plan() const { return plan_; }
    const std::unordered_set<PluginBundleSelection>& selected() const { return selected_; }
    const std::optional<Uuid>& activeRunID() const { return activeRunID_; }
    const std::vector<std::vector<PluginBundleSelection>>& pendingChunks() const { return pendingChunks_; }
    int completedChunkCount() const { return completedChunkCount_; }
    const std::optional<Uuid>& restoringRunID() const { return restoringRunID_; }
    const std::vector<std::vector<PluginBundleSelection>>& restoreChunks() const { return restoreChunks_; }
    // While a run or a run restore is going, the run controls stay disabled.
    bool isBusy() const { return activeRunID_.has_value() || restoringRunID_.has_value(); }

    // False while busy, while the store scans, and for a custom preset
    // without formats.
    bool canBuildPreview(FormatCleanupPresetKind preset, const std::set<std::string>& customFormats) const;
    // Builds the preview against the store's current inventory and ticks its
    // safe defaults. False, changing nothing, when it cannot be built now.
    bool buildPreview(FormatCleanupPresetKind preset, std::set<std::string> customFormats);
    void selectSafeDefaults();
    void clearSelection();
    void setSelected(const PluginBundleSelection& selection, bool isSelected);
    // The ticked candidates in candidate order: what a start confirms.
    std::vector<PluginBundleSelection> tickedSelections() const;

    // The confirmation: starts a run over the ticked candidates and sends its
    // first chunk. Does nothing without a preview, while busy, or while the
    // helper cannot take a request; a refusal is the store's notice.
    void start();
    // Puts back, chunk by chunk, the run's bundles still in quarantine. The
    // run record itself does not change.
    void restoreRun(const Uuid& runID);

private:
    std::vector<std::vector<PluginBundleSelection>> sideChunks(
        const std::vector<PluginBundleSelection>& selections) const;
    void nextChunk();
    void nextChunkInNextTurn(void (CleanupRunController::*next)());
    // The side whose helper moves the chunk; an empty chunk, which the store
    // refuses, has none.
    std::optional<BundleSide> sideOfChunk(const std::vector<PluginBundleSelection>& chunk) const;
    void chunkCompleted(bool committed);
    // A chunk could not be prepared or committed: the run stops there.
    void stopRun();
    void nextRestoreChunk();
    void restoreChunkCompleted(const PrivilegedRequest& request, bool committed);
    void stopRestore();

    void setPlan(std::optional<FormatCleanupPlan> plan);
    void setSelectedSet(std::unordered_set<PluginBundleSelection> selected);
    void setActiveRunID(std::optional<Uuid> runID);
    void setPendingChunks(std::vector<std::vector<PluginBundleSelection>> chunks);
    void setCompletedChunkCount(int count);
    void setRestoringRunID(std::optional<Uuid> runID);
    void setRestoreChunks(std::vector<std::vector<PluginBundleSelection>> chunks);

    PluginInventoryStore& store_;
    PluginManagementService& service_;

    FormatCleanupPresetKind preset_ = FormatCleanupPresetKind::auOnly;
    std::set<std::string> customFormats_;
    std::optional<FormatCleanupPlan> plan_;
    std::unordered_set<PluginBundleSelection> selected_;
    std::optional<Uuid> activeRunID_;
    std::vector<std::vector<PluginBundleSelection>> pendingChunks_;
    int completedChunkCount_ = 0;
    std::optional<Uuid> restoringRunID_;
    std::vector<std::vector<PluginBundleSelection>> restoreChunks_;
    // What the run restore has committed so far, for its closing summary.
    std::size_t restoredBundles_ = 0;
    std::size_t restoredTransactions_ = 0;

    // Completions run only while this is alive.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace kestrova
