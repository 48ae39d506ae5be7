// The store's side of privileged transactions with the helper played by the
// test: it moves the bundles by hand (or not) and hands over the result, so
// every check of prepare and complete can be reached exactly.
#include "TransactionFixtures.h"
#include "support/StoreCalls.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace kestrova::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;

namespace fs = std::filesystem;

class StoreTransactionTest : public ::testing::Test {
protected:
    StoreSandbox sandbox;

    void SetUp() override { fs::create_directories(sandbox.layout.trashFolder()); }

    template <typename Result, typename Item>
    static Result succeeded(const std::string& transactionID, const std::vector<Item>& items) {
        Result result;
        result.transactionID = transactionID;
        result.succeeded = true;
        for (const auto& item : items) {
            destinationPaths(result).push_back(item.destinationPath);
        }
        result.message = "Moved.";
        return result;
    }
};

TEST_F(StoreTransactionTest, EveryRefusalOfPrepareHappensBeforeAJournalIsSavedOrSent) {
    const auto echo = productOnDisk(sandbox.layout, "Acme", "Echo", {"AU", "VST3"});
    auto state = minimalState();
    state.plugins = {echo};
    FormatCleanupRunRecord finishedRun;
    finishedRun.id = Uuid::random();
    finishedRun.status = FormatCleanupRunStatus::completed;
    state.formatCleanupRuns = std::vector{finishedRun};
    sandbox.writeState(state);
    auto store = sandbox.open();
    const auto vst3 = selectionOf(*store, "Echo", "VST3");
    const auto writesBefore = sandbox.disk.attemptedWrites().size();

    EXPECT_FALSE(prepareQuarantine(*store, {}));
    EXPECT_TRUE(showsNotice(*store, "Privileged Quarantine Blocked", "No eligible format bundles are selected."));

    EXPECT_FALSE(prepareQuarantine(*store, {vst3}, InventoryRevisionToken::random()));
    EXPECT_EQ(store->notice()->message,
              "The inventory changed after this action was previewed. Review the current formats and try again.");

    EXPECT_FALSE(prepareRestore(*store, {vst3}));
    EXPECT_TRUE(showsNotice(*store, "Privileged Restore Blocked",
                            "Echo — VST3: The verified quarantine record is missing or no longer matches disk."));
    EXPECT_EQ(store->blockingReason(TransactionKind::restore, {vst3}), store->notice()->message);

    EXPECT_FALSE(prepareQuarantine(*store, {vst3}, std::nullopt, finishedRun.id));
    EXPECT_TRUE(showsNotice(*store, "Cleanup Preset Blocked",
                            "The preset-run journal no longer matches this helper transaction."));
    EXPECT_EQ(store->lastOperationError(), store->notice()->message);
    EXPECT_FALSE(store->hasPendingPrivilegedTransaction());
    EXPECT_EQ(sandbox.disk.attemptedWrites().size(), writesBefore) << "nothing was saved";

    sandbox.disk.failWritesUnder(sandbox.stateFolder());
    EXPECT_FALSE(prepareQuarantine(*store, {vst3}));
    EXPECT_TRUE(showsNotice(*store, "Privileged Quarantine Blocked",
                            "Kestrova could not save the pending transaction journal. No plugin files were moved."));
    EXPECT_TRUE(store->lastStorageError());
    EXPECT_FALSE(store->hasPendingPrivilegedTransaction());
    EXPECT_THAT(store->trashedBundles(), IsEmpty());
    sandbox.disk.clearFaults();

    const auto request = prepareQuarantine(*store, {vst3}, store->inventoryRevision());
    ASSERT_TRUE(request);
    EXPECT_FALSE(store->lastStorageError());
    EXPECT_EQ(request->transactionID, Uuid::parse(request->transactionID)->string()) << "upper-case UUID text";
    ASSERT_THAT(request->items, SizeIs(1));
    EXPECT_EQ(request->items[0].sourcePath, findBundle(store->plugins(), "Echo", "VST3")->path);
    EXPECT_EQ(request->items[0].destinationPath,
              quarantineRoot(sandbox.layout) + "/" + request->items[0].operationID + "/Echo.vst3");
    const auto saved = sandbox.savedState();
    EXPECT_EQ(saved.pendingPrivilegedQuarantine, request);
    EXPECT_TRUE(existsAt(request->items[0].sourcePath)) << "preparing moves nothing";

    // While the journal is pending every plan is blocked.
    EXPECT_FALSE(prepareTrash(*store, {selectionOf(*store, "Echo", "AU")}));
    EXPECT_TRUE(showsNotice(*store, "Privileged Trash Move Blocked",
                            "A previous privileged plugin transaction still needs reconciliation."));
    EXPECT_EQ(pendingQuarantine(*store), request);
}

TEST_F(StoreTransactionTest, ASuccessIsCommittedOnlyWhenPathsAndDiskAgree) {
    const auto echo = productOnDisk(sandbox.layout, "Acme", "Echo", {"AU", "VST3"});
    sandbox.writeProducts({echo});
    auto store = sandbox.open();
    const auto request =
        prepareQuarantine(*store, {selectionOf(*store, "Echo", "AU"), selectionOf(*store, "Echo", "VST3")});
    ASSERT_TRUE(request);
    const auto& id = request->transactionID;
    const auto& items = request->items;
    const auto verifyText =
        "The helper reported success, but Kestrova could not verify every final bundle location. Stop before "
        "retrying.";

    // Only the first bundle moved, though the helper claims both.
    moveBundle(items[0].sourcePath, items[0].destinationPath);
    auto result = succeeded<PrivilegedQuarantineResult>(id, items);
    EXPECT_FALSE(complete(*store, result));
    EXPECT_TRUE(showsNotice(*store, "Quarantine Needs Attention", verifyText));
    EXPECT_EQ(pendingQuarantine(*store), request);

    // Both moved, but the path list misses one, or names one too many.
    moveBundle(items[1].sourcePath, items[1].destinationPath);
    auto missing = result;
    missing.movedDestinationPaths.pop_back();
    EXPECT_FALSE(complete(*store, missing));
    EXPECT_EQ(store->notice()->message, verifyText);
    auto extra = result;
    extra.movedDestinationPaths.push_back(items[0].destinationPath + "x");
    EXPECT_FALSE(complete(*store, extra));
    EXPECT_EQ(store->notice()->message, verifyText);
    EXPECT_THAT(store->history(), IsEmpty());

    // A failure whose rollback the disk does not show keeps the journal.
    auto failed = result;
    failed.succeeded = false;
    failed.rollbackComplete = true;
    failed.message = "The helper stopped.";
    EXPECT_FALSE(complete(*store, failed));
    EXPECT_EQ(store->notice()->message,
              "The helper stopped. Kestrova kept the pending transaction journal. Stop and verify the listed plugin "
              "locations before retrying.");
    EXPECT_TRUE(pendingQuarantine(*store));

    // The same paths in another order are accepted.
    const auto revision = store->inventoryRevision();
    std::reverse(result.movedDestinationPaths.begin(), result.movedDestinationPaths.end());
    EXPECT_TRUE(complete(*store, result));
    EXPECT_TRUE(
        showsNotice(*store, "Plugins Moved to Quarantine",
                    "2 format bundles moved through the administrator-approved helper as one verified transaction.",
                    NoticeStyle::success));
    EXPECT_NE(store->inventoryRevision(), revision);
    EXPECT_EQ(findProduct(store->plugins(), "Echo")->status, PluginStatus::quarantined);
    ASSERT_THAT(store->history(), SizeIs(2));
    EXPECT_EQ(store->history()[0].format, "VST3") << "items are prepended in order";
    EXPECT_EQ(store->history()[1].format, "AU");
    EXPECT_FALSE(sandbox.savedState().pendingPrivilegedQuarantine);

    // A second completion of the same transaction finds no journal.
    const auto plugins = store->plugins();
    EXPECT_FALSE(complete(*store, result));
    EXPECT_EQ(store->notice()->title, "Quarantine Needs Attention");
    EXPECT_EQ(store->plugins(), plugins);
    EXPECT_THAT(store->history(), SizeIs(2));
}

TEST_F(StoreTransactionTest, AConfirmedMoveThatCannotBeSavedIsUndoneInMemoryAndFinishedAtTheNextLaunch) {
    const auto echo = quarantinedProductOnDisk(sandbox.layout, "Echo", "VST3", Uuid::random().string());
    const auto originalPath = *echo.bundles->front().originalPath;
    sandbox.writeProducts({echo});
    auto store = sandbox.open();
    const auto before = store->plugins();

    const auto request = prepareRestore(*store, {selectionOf(*store, "Echo", "VST3")});
    ASSERT_TRUE(request);
    ASSERT_EQ(request->items.front().destinationPath, originalPath);
    moveAll(request->items);
    sandbox.disk.failWritesUnder(sandbox.stateFolder());
    EXPECT_FALSE(complete(*store, succeeded<PrivilegedRestoreResult>(request->transactionID, request->items)));
    EXPECT_TRUE(showsNotice(
        *store, "Restore Needs Attention",
        "The files returned successfully, but Kestrova could not finish its inventory journal. Do not rescan or "
        "retry; reopen the app to reconcile the pending transaction."));
    EXPECT_TRUE(store->lastStorageError());
    EXPECT_EQ(store->plugins(), before) << "the commit is put back";
    EXPECT_THAT(store->history(), IsEmpty());
    EXPECT_EQ(pendingRestore(*store), request);
    sandbox.disk.clearFaults();

    const auto reopened = sandbox.open();
    EXPECT_FALSE(reopened->hasPendingPrivilegedTransaction());
    EXPECT_FALSE(findBundle(reopened->plugins(), "Echo", "VST3")->isQuarantined());
    ASSERT_THAT(reopened->history(), SizeIs(1));
    EXPECT_EQ(reopened->history().front().kind, HistoryKind::restore);
    EXPECT_EQ(reopened->history().front().transactionID, request->transactionID);
}

TEST_F(StoreTransactionTest, AMoveWithoutAMatchingRecordKeepsItsJournalThroughEveryLaunch) {
    const auto echo = productOnDisk(sandbox.layout, "Acme", "Echo", {"VST3"});
    // The journal names a bundle the inventory never had, and the disk shows
    // it moved.
    const auto stranger = sandbox.layout.system("/Library/Audio/Plug-Ins/VST3/Stranger.vst3");
    makeBundleOnDisk(stranger);
    const auto operationID = Uuid::random().string();
    const PrivilegedQuarantineRequest journal{
        Uuid::random().string(),
        {{stranger, quarantineRoot(sandbox.layout) + "/" + operationID + "/Stranger.vst3", operationID}}};
    moveAll(journal.items);
    auto state = minimalState();
    state.plugins = {echo};
    state.pendingPrivilegedQuarantine = journal;
    sandbox.writeState(state);

    // Recovery finds the move complete but no record: it keeps the journal
    // and says the transaction needs reconciliation, at every launch.
    for (int launch = 0; launch < 2; ++launch) {
        const auto store = sandbox.open();
        EXPECT_EQ(pendingQuarantine(*store), journal);
        EXPECT_EQ(store->lastOperationError(),
                  "A completed privileged quarantine still needs inventory reconciliation. Do not retry the "
                  "operation.");
        EXPECT_EQ(store->lastStorageError(), "A plugin bundle no longer has a matching inventory record.");
        EXPECT_EQ(sandbox.savedState().pendingPrivilegedQuarantine, journal);
    }
    EXPECT_TRUE(existsAt(journal.items[0].destinationPath));
}

TEST_F(StoreTransactionTest, TrashRestoreSelectionsAreCheckedRecordByRecord) {
    const auto record = [&](std::string name, std::string folder) {
        return trashRecord(sandbox.layout, name, "VST3", folder + "/" + name + ".vst3");
    };
    const auto vst3 = sandbox.layout.system("/Library/Audio/Plug-Ins/VST3");
    const auto ready = record("Ready", vst3);
    auto closed = record("Closed", vst3);
    closed.reconciledDate = Date{700000100};
    const auto gone = record("Gone", vst3);
    const auto occupied = record("Taken", vst3);
    const auto back = record("Back", vst3);
    const auto personal = record("Mine", sandbox.layout.user("Library/Audio/Plug-Ins/VST3"));
    for (const auto& inTrash : {ready, closed, occupied, personal}) {
        makeBundleOnDisk(inTrash.trashPath);
    }
    makeBundleOnDisk(occupied.originalPath);
    makeBundleOnDisk(back.originalPath);
    auto state = minimalState();
    state.trashedBundles = std::vector{ready, closed, gone, occupied, back, personal};
    sandbox.writeState(state);
    auto store = sandbox.open();

    EXPECT_EQ(store->trashRestoreBlockingReason({}), "No Finder Trash recovery records are selected.");
    EXPECT_EQ(store->trashRestoreBlockingReason(std::vector<Uuid>(257, ready.id)),
              "A Trash recovery transaction can contain no more than 256 bundles.");
    EXPECT_EQ(store->trashRestoreBlockingReason({ready.id, ready.id}),
              "The Trash recovery selection contains a duplicate record.");
    EXPECT_EQ(store->trashRestoreBlockingReason({ready.id, Uuid::random()}),
              "A selected Trash recovery record no longer exists.");
    EXPECT_EQ(store->trashRestoreBlockingReason({closed.id}), "Closed — VST3 has already been reconciled.");
    EXPECT_EQ(store->trashRestoreBlockingReason({gone.id}), "Gone — VST3: Missing from Trash.");
    EXPECT_EQ(store->trashRestoreBlockingReason({occupied.id}), "Taken — VST3: Destination Occupied.");
    EXPECT_EQ(store->trashRestoreBlockingReason({back.id}), "Back — VST3: Already Restored.");
    EXPECT_EQ(store->trashRestoreBlockingReason({personal.id}), "Mine — VST3: Needs Verification.");
    EXPECT_EQ(store->trashRestoreBlockingReason({ready.id}), std::nullopt);

    EXPECT_FALSE(prepareTrashRestore(*store, {ready.id, gone.id}));
    EXPECT_TRUE(showsNotice(*store, "Finder Trash Restore Blocked", "Gone — VST3: Missing from Trash."));

    const auto request = prepareTrashRestore(*store, {ready.id});
    ASSERT_TRUE(request);
    EXPECT_THAT(request->items, ElementsAre(PrivilegedTrashRestoreItem{ready.trashPath, ready.originalPath,
                                                                       ready.id.string(), "Ready.vst3", "VST3"}));
    EXPECT_EQ(sandbox.savedState().pendingPrivilegedTrashRestore, request);
    moveAll(request->items);
    ASSERT_TRUE(complete(*store, succeeded<PrivilegedTrashRestoreResult>(request->transactionID, request->items)));
    const auto& closedNow = store->trashedBundles().front();
    EXPECT_TRUE(closedNow.reconciledDate);
    EXPECT_EQ(closedNow.restoreTransactionID, request->transactionID);
    EXPECT_EQ(store->history().front().detail,
              "Restored VST3 bundle from Finder Trash to its exact recorded original location");
    EXPECT_EQ(store->trashedBundles()[1], closed) << "other records are untouched";
}

}  // namespace
}  // namespace kestrova::testing
