// Cleanup preset runs in the store, without the helper: the run journal's
// start and its refusals, chunks prepared under it, its end, and the closing
// at start-up of runs left pending.
#include "../journal/DaemonStoreFixture.h"
#include "store/runs/CleanupRunChunks.h"
#include "store/runs/CleanupRunController.h"
#include "store/runs/CleanupRunTexts.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace kestrova::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;

class CleanupRunTest : public ::testing::Test, protected StoreSandbox {
protected:
    // Writes `runs` (and `plugins`) beside a quarantine journal whose bundle
    // stands at both ends: start-up keeps the journal, and with it every
    // pending run.
    std::unique_ptr<PluginInventoryStore> openBehindKeptJournal(std::vector<FormatCleanupRunRecord> runs,
                                                                std::vector<Plugin> plugins = {}) {
        const auto source = layout.system("/Library/Audio/Plug-Ins/VST/Kept.vst");
        makeBundleOnDisk(source, "source");
        const auto operationID = Uuid::random().string();
        const auto destination = quarantineRoot(layout) + "/" + operationID + "/Kept.vst";
        makeBundleOnDisk(destination, "copy");
        auto state = minimalState();
        state.plugins = std::move(plugins);
        state.formatCleanupRuns = std::move(runs);
        QuarantineKind::journalIn(state) =
            PrivilegedQuarantineRequest{Uuid::random().string(), {{source, destination, operationID}}};
        writeState(state);
        return open();
    }

    static void expectRefused(const PluginInventoryStore& store, std::string_view title = "Cleanup Preset Blocked") {
        EXPECT_TRUE(showsNotice(store, title, {}, NoticeStyle::warning));
        EXPECT_EQ(store.lastOperationError(), store.notice()->message);
    }
};

FormatCleanupRunRecord pendingRun(std::vector<PluginBundleSelection> selections, Uuid id = Uuid::random()) {
    FormatCleanupRunRecord run;
    run.id = id;
    run.planID = Uuid::random();
    std::sort(selections.begin(), selections.end(), storedSelectionOrder);
    run.selections = std::move(selections);
    return run;
}

PluginBundleSelection candidate(const FormatCleanupPlan& plan, std::string_view name, std::string_view format) {
    for (const auto& entry : plan.candidates) {
        if (entry.pluginName == name && entry.format == format) {
            return entry.selection;
        }
    }
    ADD_FAILURE() << "no candidate " << name << " " << format;
    return {};
}

TEST_F(CleanupRunTest, ARunAndEachChunkAreJournaledOnlyAsReviewed) {
    // Echo (AU, VST2, VST3) and Solo (VST3 only): an AU-only preview proposes
    // three bundles, Solo's unticked as it would keep no active format.
    writeProducts({productOnDisk(layout, "Acme", "Echo", {"AU", "VST2", "VST3"}),
                   productOnDisk(layout, "Acme", "Solo", {"VST3"})});
    auto store = open();
    const auto plan = cleanupPreview(*store, FormatCleanupPresetKind::auOnly, {});
    ASSERT_THAT(plan.candidates, SizeIs(3));
    const auto echoVST2 = candidate(plan, "Echo", "VST2");
    const auto echoVST3 = candidate(plan, "Echo", "VST3");
    const auto soloVST3 = candidate(plan, "Solo", "VST3");
    const auto before = savedState();

    // Nothing confirmed, a stranger, a stale preview, a journal that cannot be saved.
    EXPECT_FALSE(store->startCleanupRun(plan, {}));
    expectRefused(*store);
    EXPECT_FALSE(store->startCleanupRun(plan, {echoVST2, {Uuid::random(), "VST3|/library/vst3/other.vst3"}}));
    expectRefused(*store);
    auto stale = plan;
    stale.inventoryRevision = InventoryRevisionToken::random();
    EXPECT_FALSE(store->startCleanupRun(stale, {echoVST2}));
    expectRefused(*store, "Cleanup Preview Expired");
    disk.failWritesUnder(stateFolder());
    EXPECT_FALSE(store->startCleanupRun(plan, {echoVST2}));
    expectRefused(*store);
    EXPECT_TRUE(store->lastStorageError());
    disk.clearFaults();
    EXPECT_THAT(store->history(), IsEmpty());
    EXPECT_EQ(savedState(), before);

    // Solo's candidate is unticked (it would keep no active format), yet allowed.
    const auto runID = store->startCleanupRun(plan, {soloVST3, echoVST3, echoVST2, soloVST3});
    ASSERT_TRUE(runID);
    auto expected = pendingRun({soloVST3, echoVST3, echoVST2}, *runID);
    expected.planID = plan.id;
    expected.createdAt = store->formatCleanupRuns().at(0).createdAt;
    EXPECT_THAT(store->formatCleanupRuns(), ElementsAre(expected));
    ASSERT_THAT(store->history(), SizeIs(1));
    EXPECT_EQ(store->history().front().kind, HistoryKind::cleanupPresetStarted);
    EXPECT_EQ(savedState(), store->persistedSnapshot());
    EXPECT_FALSE(store->hasPendingPrivilegedTransaction());

    // A chunk under an unknown run, with a selection not reviewed, or none;
    // a quarantine named for a run that is not pending.
    store->finishCleanupRun(*runID, FormatCleanupRunStatus::canceled);
    const auto echoOnly =
        store->startCleanupRun(cleanupPreview(*store, FormatCleanupPresetKind::auOnly, {}), {echoVST2});
    ASSERT_TRUE(echoOnly);
    EXPECT_FALSE(QuarantineKind::prepareChunk(*store, *runID, {echoVST2}));
    expectRefused(*store);
    EXPECT_FALSE(QuarantineKind::prepareChunk(*store, Uuid::random(), {echoVST2}));
    EXPECT_FALSE(QuarantineKind::prepareChunk(*store, *echoOnly, {echoVST2, echoVST3}));
    EXPECT_FALSE(QuarantineKind::prepareChunk(*store, *echoOnly, {}));
    EXPECT_FALSE(QuarantineKind::prepareForRun(*store, {echoVST2}, Uuid::random()));
    expectRefused(*store);
    EXPECT_FALSE(store->hasPendingPrivilegedTransaction());

    const auto request = QuarantineKind::prepareChunk(*store, *echoOnly, {echoVST2});
    ASSERT_TRUE(request) << store->lastOperationError().value_or("");
    ASSERT_THAT(request->items, SizeIs(1));
    EXPECT_EQ(request->items.front().sourcePath, (*findProduct(store->plugins(), "Echo")->bundles)[1].path);
    EXPECT_THAT(store->formatCleanupRuns().front().childTransactionIDs,
                ElementsAre(*Uuid::parse(request->transactionID)));
    auto saved = savedState();
    EXPECT_EQ(QuarantineKind::journalIn(saved), request);
    EXPECT_EQ(saved.formatCleanupRuns, store->formatCleanupRuns());
}

// The texts of each final status are in the recorded runs and the daemon run
// tests; here that a run ends once.
TEST_F(CleanupRunTest, FinishingWritesOneHistoryItemAndNoticeAndAFinalRunNeverChanges) {
    auto run = pendingRun({{Uuid::random(), "VST2|/a.vst"}, {Uuid::random(), "VST2|/b.vst"}});
    run.preset = FormatCleanupPresetKind::retireVST2;
    auto store = openBehindKeptJournal({run});
    // While the journal is unresolved start-up leaves the run pending.
    ASSERT_EQ(store->formatCleanupRuns().front().status, FormatCleanupRunStatus::pending);
    store->finishCleanupRun(run.id, FormatCleanupRunStatus::pending);
    EXPECT_THAT(store->history(), IsEmpty());

    store->finishCleanupRun(run.id, FormatCleanupRunStatus::canceled);
    EXPECT_EQ(store->formatCleanupRuns().front().status, FormatCleanupRunStatus::canceled);
    ASSERT_THAT(store->history(), SizeIs(1));
    EXPECT_EQ(store->history().front().kind, HistoryKind::cleanupPresetCanceled);
    EXPECT_EQ(store->history().front().plugin, "Retire VST2");
    EXPECT_EQ(store->history().front().presetRunID, run.id);
    EXPECT_TRUE(showsNotice(*store, "Cleanup Preset Stopped", store->history().front().detail, NoticeStyle::warning));
    EXPECT_EQ(savedState().formatCleanupRuns, store->formatCleanupRuns());

    store->finishCleanupRun(run.id, FormatCleanupRunStatus::completed);
    EXPECT_EQ(store->formatCleanupRuns().front().status, FormatCleanupRunStatus::canceled);
    EXPECT_THAT(store->history(), SizeIs(1));
}

TEST_F(CleanupRunTest, AFinishThatCannotBeSavedKeepsItsStatusInMemoryAndSaysSo) {
    const auto run = pendingRun({{Uuid::random(), "VST2|/a.vst"}});
    auto store = openBehindKeptJournal({run});
    disk.failWritesUnder(stateFolder());
    store->finishCleanupRun(run.id, FormatCleanupRunStatus::completed);
    EXPECT_TRUE(showsNotice(*store, "Preset History Not Saved", {}, NoticeStyle::warning));
    EXPECT_TRUE(store->lastStorageError());
    EXPECT_EQ(store->formatCleanupRuns().front().status, FormatCleanupRunStatus::completed);
    EXPECT_EQ(store->history().front().kind, HistoryKind::cleanupPresetCompleted);
    disk.clearFaults();
    EXPECT_EQ(savedState().formatCleanupRuns->front().status, FormatCleanupRunStatus::pending);
}

TEST_F(CleanupRunTest, StartUpClosesPendingRunsByWhatIsStillInQuarantineUnderThem) {
    auto whole = productOnDisk(layout, "Acme", "Whole", {"AU", "VST2", "VST3"});
    auto half = productOnDisk(layout, "Acme", "Half", {"AU", "VST2", "VST3"});
    const auto none = productOnDisk(layout, "Acme", "None", {"AU", "VST2"});
    const auto completed = Uuid::random();
    const auto partial = Uuid::random();
    const auto canceled = Uuid::random();
    auto quarantineUnder = [&](Plugin& product, std::size_t index, const Uuid& runID) {
        auto& bundle = (*product.bundles)[index];
        bundle = markedQuarantinedBundle(layout, bundle, "moved");
        bundle.presetRunID = runID;
        return PluginBundleSelection{product.id, bundle.id()};
    };
    const auto wholeVST2 = quarantineUnder(whole, 1, completed);
    const auto wholeVST3 = quarantineUnder(whole, 2, completed);
    const auto halfVST2 = quarantineUnder(half, 1, partial);
    // Restored meanwhile: back in place, no longer under the run.
    const PluginBundleSelection halfVST3{half.id, (*half.bundles)[2].id()};
    const PluginBundleSelection noneVST2{none.id, (*none.bundles)[1].id()};
    auto finished = pendingRun({noneVST2});
    finished.status = FormatCleanupRunStatus::canceled;

    auto state = minimalState();
    state.plugins = {whole, half, none};
    state.formatCleanupRuns = {pendingRun({wholeVST2, wholeVST3}, completed), pendingRun({halfVST2, halfVST3}, partial),
                               pendingRun({noneVST2}, canceled), finished};
    writeState(state);

    const auto store = open();
    const auto& runs = store->formatCleanupRuns();
    ASSERT_THAT(runs, SizeIs(4));
    EXPECT_EQ(runs[0].status, FormatCleanupRunStatus::completed);
    EXPECT_EQ(runs[1].status, FormatCleanupRunStatus::partiallyCompleted);
    EXPECT_EQ(runs[2].status, FormatCleanupRunStatus::canceled);
    EXPECT_EQ(runs[3], finished);
    EXPECT_EQ(store->cleanupRunSelectionsInQuarantine(completed), runs[0].selections);
    EXPECT_THAT(store->cleanupRunSelectionsInQuarantine(partial), ElementsAre(halfVST2));
    ASSERT_THAT(store->history(), SizeIs(3));
    EXPECT_EQ(store->history()[0].kind, HistoryKind::cleanupPresetCanceled);
    EXPECT_EQ(store->history()[1].kind, HistoryKind::cleanupPresetPartiallyCompleted);
    EXPECT_EQ(store->history()[2].kind, HistoryKind::cleanupPresetCompleted);
    EXPECT_EQ(savedState().formatCleanupRuns, runs);

    // Only runs still holding bundles in quarantine are offered for a restore.
    EXPECT_THAT(restorableCleanupRuns(*store),
                ElementsAre(RestorableCleanupRun{completed, FormatCleanupPresetKind::auOnly, 2},
                            RestorableCleanupRun{partial, FormatCleanupPresetKind::auOnly, 1}));
}

TEST(CleanupRunChunks, AtTheLimitOneTransactionOnePastItTwo) {
    std::vector<PluginBundleSelection> selections;
    for (int index = 0; index < 257; ++index) {
        selections.push_back({Uuid::random(), "VST2|/" + std::to_string(index)});
    }
    EXPECT_THAT(chunkedSelections({}), IsEmpty());
    EXPECT_THAT(chunkedSelections({selections.begin(), selections.end() - 1}), SizeIs(1));
    const auto pastLimit = chunkedSelections(selections);
    ASSERT_THAT(pastLimit, SizeIs(2));
    EXPECT_THAT(pastLimit[1], ElementsAre(selections[256]));
}

// Plural counts and sizes are in the recorded cleanup runs.
TEST(CleanupRunTexts, ConfirmationCountsTheTickedCandidatesOnly) {
    FormatCleanupPlan plan;
    plan.candidates.resize(2);
    plan.candidates[0].selection = {Uuid::random(), "VST2|/ticked"};
    plan.candidates[0].sizeInBytes = 1'500'000;
    plan.candidates[1].selection = {Uuid::random(), "VST2|/unsized"};
    plan.candidates[1].removesLastActiveFormat = true;
    EXPECT_EQ(cleanupConfirmationMessage(plan, {plan.candidates[1].selection}),
              "Kestrova will move 1 exact format bundle across 1 product into reversible quarantine. This moves 0 "
              "bytes; it does not free disk space. You explicitly selected 1 candidate that leave a product with no "
              "active format.");
}

}  // namespace
}  // namespace kestrova::testing
