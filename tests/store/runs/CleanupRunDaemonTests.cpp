// Cleanup preset runs end to end: the run controller feeds chunks to the
// real KestrovaHelper (session mode, on a sandbox) and the store commits them.
#include "../journal/DaemonStoreFixture.h"
#include "store/runs/CleanupRunController.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <filesystem>

namespace kestrova::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Pair;
using ::testing::SizeIs;

class CleanupRunDaemonTest : public DaemonStoreFixture {
protected:
    // `count` products with AU, VST2 and VST3 bundles: an AU-only preview
    // proposes (and ticks) 2 × count bundles.
    void writeSynths(int count) {
        std::vector<Plugin> products;
        for (int index = 1; index <= count; ++index) {
            products.push_back(
                productOnDisk(layout(), "Acme", fmt::format("Synth {:03}", index), {"AU", "VST2", "VST3"}));
        }
        writeProducts(std::move(products));
    }

    // Every bundle exists exactly once, where the inventory says it is.
    void expectEveryBundleOnceAndAsRecorded() const {
        for (const auto& product : store->plugins()) {
            for (const auto& bundle : *product.bundles) {
                const auto original = bundle.originalPath.value_or(bundle.path);
                if (bundle.isQuarantined()) {
                    EXPECT_FALSE(existsAt(original)) << original;
                    EXPECT_EQ(bundleMarker(*bundle.quarantinePath), original);
                } else {
                    EXPECT_EQ(bundleMarker(original), original);
                }
            }
        }
    }

    void runController(CleanupRunController& controller) {
        runUntil([&] { return !controller.isBusy() && service->outstandingCalls() == 0; });
    }
};

TEST_F(CleanupRunDaemonTest, SixHundredBundlesGoInChunksOf256And256And88AndComeBackTheSameWay) {
    writeSynths(300);
    open();
    connect();
    CleanupRunController controller(*store, *service);
    ASSERT_TRUE(controller.buildPreview(FormatCleanupPresetKind::auOnly, {}));
    ASSERT_THAT(controller.tickedSelections(), SizeIs(600));
    std::vector<int> committedCounts;
    controller.observe([&](std::string_view field) {
        if (field == CleanupRunController::completedChunkCountField) {
            committedCounts.push_back(controller.completedChunkCount());
        }
    });
    controller.start();
    runController(controller);

    EXPECT_THAT(hooks->sent, ElementsAre(Pair(HelperCall::quarantine, 256), Pair(HelperCall::quarantine, 256),
                                         Pair(HelperCall::quarantine, 88)));
    EXPECT_THAT(committedCounts, ElementsAre(0, 1, 2, 3, 0));
    const auto run = store->formatCleanupRuns().front();
    EXPECT_EQ(run.status, FormatCleanupRunStatus::completed);
    EXPECT_THAT(run.childTransactionIDs, SizeIs(3));
    EXPECT_EQ(store->quarantinedBundleCount(), 600);
    EXPECT_EQ(store->cleanupRunSelectionsInQuarantine(run.id), run.selections);
    expectEveryBundleOnceAndAsRecorded();
    EXPECT_EQ(savedState(), store->persistedSnapshot());
    // The preview is built afresh: everything it proposed is now quarantined.
    EXPECT_THAT(controller.plan()->candidates, IsEmpty());

    // The run restore puts everything back, again in three transactions, and
    // leaves the run record as it was.
    hooks->sent.clear();
    const auto historyBefore = store->history().size();
    controller.restoreRun(run.id);
    runController(controller);
    EXPECT_THAT(hooks->sent, ElementsAre(Pair(HelperCall::restore, 256), Pair(HelperCall::restore, 256),
                                         Pair(HelperCall::restore, 88)));
    EXPECT_EQ(store->quarantinedBundleCount(), 0);
    EXPECT_EQ(store->formatCleanupRuns().front(), run);
    EXPECT_EQ(store->history().size(), historyBefore + 600);
    EXPECT_THAT(store->notice()->message, HasSubstr("600 format bundles returned"));
    EXPECT_THAT(store->notice()->message, HasSubstr("in 3 verified transactions."));
    expectEveryBundleOnceAndAsRecorded();
}

TEST_F(CleanupRunDaemonTest, ASecondChunkThatFailsStopsTheRunAndTheThirdIsNeverSent) {
    writeSynths(300);
    open();
    connect();
    // The second request's last operation folder is taken before the helper
    // sees it: the helper refuses the whole transaction and moves nothing.
    int quarantineCalls = 0;
    hooks->beforeCall = [&](HelperCall call, const Json& argument) {
        if (call == HelperCall::quarantine && ++quarantineCalls == 2) {
            const auto destination = argument["items"].back()["destinationPath"].get<std::string>();
            std::filesystem::create_directories(deletingLastPathComponent(destination));
        }
    };
    CleanupRunController controller(*store, *service);
    ASSERT_TRUE(controller.buildPreview(FormatCleanupPresetKind::auOnly, {}));
    controller.start();
    runController(controller);

    EXPECT_THAT(hooks->sent, ElementsAre(Pair(HelperCall::quarantine, 256), Pair(HelperCall::quarantine, 256)));
    const auto run = store->formatCleanupRuns().front();
    EXPECT_EQ(run.status, FormatCleanupRunStatus::partiallyCompleted);
    EXPECT_THAT(run.childTransactionIDs, SizeIs(2));
    // Two journals were written, but only the first chunk committed.
    EXPECT_EQ(store->history().front().detail, "1 child transactions completed before the run stopped");
    EXPECT_THAT(store->history(), SizeIs(256 + 2));
    // The failed child failed safely: its journal is gone, nothing of it moved.
    EXPECT_FALSE(store->hasPendingPrivilegedTransaction());
    EXPECT_EQ(store->cleanupRunSelectionsInQuarantine(run.id).size(), 256u);
    expectEveryBundleOnceAndAsRecorded();
    EXPECT_THAT(controller.pendingChunks(), IsEmpty());
}

TEST_F(CleanupRunDaemonTest, ARunInterruptedBetweenChunksIsClosedAtTheNextStart) {
    if (!crashPointsEnabled()) {
        GTEST_SKIP() << "crash points are compiled out of this build";
    }
    writeSynths(150);  // 300 bundles: chunks of 256 and 44
    const auto status = runUntilCrash("cleanup-run.chunk-committed", [&] {
        open();
        connect();
        CleanupRunController controller(*store, *service);
        controller.buildPreview(FormatCleanupPresetKind::auOnly, {});
        controller.start();
        runController(controller);
    });
    ASSERT_TRUE(killedByCrashPoint(status)) << "wait status " << status;

    // The first chunk was committed and saved; the run was still pending.
    EXPECT_EQ(savedState().formatCleanupRuns->at(0).status, FormatCleanupRunStatus::pending);
    open();
    const auto run = store->formatCleanupRuns().front();
    EXPECT_EQ(run.status, FormatCleanupRunStatus::partiallyCompleted);
    EXPECT_THAT(run.childTransactionIDs, SizeIs(1));
    EXPECT_EQ(store->history().front().kind, HistoryKind::cleanupPresetPartiallyCompleted);
    EXPECT_EQ(store->cleanupRunSelectionsInQuarantine(run.id).size(), 256u);
    expectEveryBundleOnceAndAsRecorded();
    EXPECT_EQ(savedState().formatCleanupRuns, store->formatCleanupRuns());
}

}  // namespace
}  // namespace kestrova::testing
