// Journals left in the state file by a quit or crash, resolved at start-up
// from what the disk shows.
#include "TransactionFixtures.h"
#include "support/StoreCalls.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace kestrova::testing {
namespace {

using ::testing::IsEmpty;
using ::testing::SizeIs;

namespace fs = std::filesystem;

class StoreRecoveryTest : public ::testing::Test {
protected:
    StoreSandbox sandbox;
    std::string operationID = Uuid::random().string();

    // Echo with an AU and a VST3 bundle in their standard folders, and the
    // journal of a quarantine of both, written to the state file.
    std::pair<Plugin, PrivilegedQuarantineRequest> echoAndQuarantineJournal() {
        const auto echo = productOnDisk(sandbox.layout, "Acme", "Echo", {"AU", "VST3"});
        PrivilegedQuarantineRequest journal{Uuid::random().string(), {}};
        for (const auto& bundle : *echo.bundles) {
            journal.items.push_back(
                {bundle.path, quarantineRoot(sandbox.layout) + "/" + operationID + "/" + lastPathComponent(bundle.path),
                 operationID});
        }
        auto state = minimalState();
        state.plugins = {echo};
        state.pendingPrivilegedQuarantine = journal;
        sandbox.writeState(state);
        return {echo, journal};
    }
};

TEST_F(StoreRecoveryTest, AQuarantineThatFinishedOnDiskIsCommittedAsTheCompletionWouldHave) {
    auto [echo, journal] = echoAndQuarantineJournal();
    moveAll(journal.items);

    const auto store = sandbox.open();
    EXPECT_FALSE(store->hasPendingPrivilegedTransaction());
    EXPECT_FALSE(store->lastOperationError());
    EXPECT_FALSE(store->notice());
    for (const auto& item : journal.items) {
        const auto* record = findBundle(store->plugins(), "Echo", item.sourcePath.ends_with(".vst3") ? "VST3" : "AU");
        ASSERT_TRUE(record);
        EXPECT_EQ(record->originalPath, item.sourcePath);
        EXPECT_EQ(record->quarantinePath, item.destinationPath);
        EXPECT_EQ(record->quarantineOperationID, operationID);
    }
    EXPECT_EQ(findProduct(store->plugins(), "Echo")->status, PluginStatus::quarantined);
    ASSERT_THAT(store->history(), SizeIs(2));
    for (const auto& item : store->history()) {
        EXPECT_EQ(item.kind, HistoryKind::quarantine);
        EXPECT_EQ(item.transactionID, journal.transactionID);
        EXPECT_EQ(item.detail,
                  "Moved " + *item.format + " bundle through the privileged atomic quarantine transaction");
    }
    EXPECT_EQ(sandbox.savedState(), store->persistedSnapshot());
}

TEST_F(StoreRecoveryTest, AMixedDiskKeepsTheJournalAndBlocksEveryActionUntilEveryBundleIsBackAtItsSource) {
    auto [echo, journal] = echoAndQuarantineJournal();
    const auto mixedText =
        "A pending privileged quarantine has a mixed disk state. Stop and verify plugin locations before taking "
        "another file action.";

    // One moved, one not.
    moveBundle(journal.items[0].sourcePath, journal.items[0].destinationPath);
    auto store = sandbox.open();
    EXPECT_EQ(pendingQuarantine(*store), journal);
    EXPECT_EQ(store->lastOperationError(), mixedText);
    EXPECT_EQ(store->plugins(), std::vector<Plugin>{echo});
    const auto vst3 = selectionOf(*store, "Echo", "VST3");
    EXPECT_EQ(store->blockingReason(TransactionKind::quarantine, {vst3}),
              "A previous privileged plugin transaction still needs reconciliation.");
    EXPECT_EQ(store->blockingReason(TransactionKind::restore, {vst3}),
              store->blockingReason(TransactionKind::quarantine, {vst3}));
    EXPECT_EQ(store->trashRestoreBlockingReason({Uuid::random()}),
              "A privileged plugin transaction still needs reconciliation.");
    store->startScan({sandbox.layout.systemRoot});
    EXPECT_FALSE(store->isScanning());
    EXPECT_TRUE(showsNotice(
        *store, "Scan Blocked",
        "A privileged plugin transaction still needs reconciliation. Do not rescan until that transaction is "
        "resolved."));
    EXPECT_EQ(sandbox.savedState().pendingPrivilegedQuarantine, journal);

    // A copy at both ends is neither moved nor at its source.
    fs::copy(journal.items[0].destinationPath, journal.items[0].sourcePath, fs::copy_options::recursive);
    moveBundle(journal.items[1].sourcePath, journal.items[1].destinationPath);
    store = sandbox.open();
    EXPECT_EQ(pendingQuarantine(*store), journal);
    EXPECT_EQ(store->lastOperationError(), mixedText);

    // Every bundle back at its source: the journal is dropped without a word.
    fs::remove_all(journal.items[0].destinationPath);
    moveBundle(journal.items[1].destinationPath, journal.items[1].sourcePath);
    store = sandbox.open();
    EXPECT_FALSE(store->hasPendingPrivilegedTransaction());
    EXPECT_FALSE(store->lastOperationError());
    EXPECT_EQ(store->plugins(), std::vector<Plugin>{echo});
    EXPECT_THAT(store->history(), IsEmpty());
    EXPECT_FALSE(sandbox.savedState().pendingPrivilegedQuarantine);
}

TEST_F(StoreRecoveryTest, JournalsOfEachKindAreResolvedByTheirOwnDiskTest) {
    // A restore that finished, a Trash move that never started, and a Trash
    // restore that finished, all in one state file.
    const auto echo = quarantinedProductOnDisk(sandbox.layout, "Echo", "VST3", operationID, false);
    const auto& echoBundle = echo.bundles->front();
    const auto trashOperation = Uuid::random().string();
    const auto solo = quarantinedProductOnDisk(sandbox.layout, "Solo", "AU", trashOperation);
    const auto trashed =
        trashRecord(sandbox.layout, "Gone", "VST2", sandbox.layout.system("/Library/Audio/Plug-Ins/VST/Gone.vst"));
    makeBundleOnDisk(trashed.originalPath);  // already back

    auto state = minimalState();
    state.plugins = {echo, solo};
    state.trashedBundles = std::vector{trashed};
    state.pendingPrivilegedRestore =
        PrivilegedRestoreRequest{"R", {{*echoBundle.quarantinePath, *echoBundle.originalPath, operationID}}};
    state.pendingPrivilegedTrash = PrivilegedTrashRequest{
        "T",
        {{*solo.bundles->front().quarantinePath, sandbox.layout.trashFolder() + "/Solo.component", trashOperation}}};
    state.pendingPrivilegedTrashRestore = PrivilegedTrashRestoreRequest{
        "TR", {{trashed.trashPath, trashed.originalPath, trashed.id.string(), "Gone.vst", "VST2"}}};
    sandbox.writeState(state);

    const auto store = sandbox.open();
    EXPECT_FALSE(store->hasPendingPrivilegedTransaction());
    EXPECT_FALSE(store->lastOperationError());
    EXPECT_FALSE(findBundle(store->plugins(), "Echo", "VST3")->isQuarantined());
    EXPECT_TRUE(findBundle(store->plugins(), "Solo", "AU")->isQuarantined()) << "the Trash move never happened";
    ASSERT_THAT(store->trashedBundles(), SizeIs(1));
    EXPECT_TRUE(store->trashedBundles().front().reconciledDate);
    EXPECT_EQ(store->trashedBundles().front().restoreTransactionID, "TR");
    ASSERT_THAT(store->history(), SizeIs(2));
    EXPECT_EQ(store->history()[0].kind, HistoryKind::trashRestore) << "recovered after the restore";
    EXPECT_EQ(store->history()[1].kind, HistoryKind::restore);
    EXPECT_EQ(sandbox.savedState(), store->persistedSnapshot());
}

TEST_F(StoreRecoveryTest, AFinishedTrashMoveWritesRecoveryRecordsAndPrunesItsEmptyFolder) {
    const auto solo = quarantinedProductOnDisk(sandbox.layout, "Solo", "AU", operationID, false);
    const auto& bundle = solo.bundles->front();
    const auto trashPath = sandbox.layout.trashFolder() + "/Solo.component";
    auto state = minimalState();
    state.plugins = {solo};
    state.pendingPrivilegedTrash = PrivilegedTrashRequest{"T", {{*bundle.quarantinePath, trashPath, operationID}}};
    sandbox.writeState(state);
    moveBundle(*bundle.originalPath, trashPath);
    fs::create_directories(deletingLastPathComponent(*bundle.quarantinePath));  // left empty by the helper

    const auto store = sandbox.open();
    EXPECT_FALSE(store->hasPendingPrivilegedTransaction());
    EXPECT_THAT(store->plugins(), IsEmpty());
    ASSERT_THAT(store->trashedBundles(), SizeIs(1));
    EXPECT_EQ(store->trashedBundles().front().originalPath, *bundle.originalPath);
    EXPECT_EQ(store->trashedBundles().front().trashPath, trashPath);
    EXPECT_EQ(store->trashedBundles().front().trashTransactionID, "T");
    EXPECT_FALSE(existsAt(deletingLastPathComponent(*bundle.quarantinePath)));
    EXPECT_EQ(store->readyTrashRecoveryCount(), 1);
}

TEST_F(StoreRecoveryTest, AFailedSaveLeavesTheJournalInTheFileForTheNextLaunch) {
    auto [echo, journal] = echoAndQuarantineJournal();
    moveAll(journal.items);

    sandbox.disk.failWritesUnder(sandbox.stateFolder());
    auto store = sandbox.open();
    EXPECT_EQ(store->lastOperationError(),
              "A completed privileged quarantine still needs inventory reconciliation. Do not retry the operation.");
    EXPECT_TRUE(store->lastStorageError());
    EXPECT_EQ(sandbox.savedState().pendingPrivilegedQuarantine, journal);

    sandbox.disk.clearFaults();
    store = sandbox.open();
    EXPECT_FALSE(store->hasPendingPrivilegedTransaction());
    EXPECT_FALSE(store->lastStorageError());
    EXPECT_THAT(store->history(), SizeIs(2));
}

}  // namespace
}  // namespace kestrova::testing
