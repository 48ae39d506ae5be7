// Journals left in the state file by a quit or crash, resolved at start-up
// from what the disk shows.
#include "StoreSandbox.h"
#include "TransactionFixtures.h"
#include "planning/PathRules.h"
#include "support/TemporaryDirectory.h"

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
    TemporaryDirectory directory;
    TransactionStoreSandbox sandbox{SystemLayout{directory.makeDirectory("root"), directory.makeDirectory("home")}};
    std::string operationID = Uuid::random().string();

    std::string quarantined(const std::string& name) const {
        return quarantineRoot(sandbox.layout) + "/" + operationID + "/" + name;
    }
    static void move(const std::string& from, const std::string& to) {
        fs::create_directories(fs::path(to).parent_path());
        fs::rename(from, to);
    }

    // Echo with an AU and a VST3 bundle in their standard folders, and the
    // journal of a quarantine of both, written to the state file.
    std::pair<Plugin, PrivilegedQuarantineRequest> echoAndQuarantineJournal() {
        const auto echo = productOnDisk(sandbox.layout, "Acme", "Echo", {"AU", "VST3"});
        PrivilegedQuarantineRequest journal{Uuid::random().string(), {}};
        for (const auto& bundle : *echo.bundles) {
            journal.items.push_back({bundle.path, quarantined(lastPathComponent(bundle.path)), operationID});
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
    for (const auto& item : journal.items) {
        move(item.sourcePath, item.destinationPath);
    }

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
    const auto saved = sandbox.savedState();
    EXPECT_FALSE(saved.pendingPrivilegedQuarantine);
    EXPECT_EQ(saved.plugins, store->plugins());
}

TEST_F(StoreRecoveryTest, AJournalWhoseBundlesNeverLeftIsDroppedSilently) {
    auto [echo, journal] = echoAndQuarantineJournal();

    const auto store = sandbox.open();
    EXPECT_FALSE(store->hasPendingPrivilegedTransaction());
    EXPECT_FALSE(store->lastOperationError());
    EXPECT_EQ(store->plugins(), std::vector<Plugin>{echo});
    EXPECT_THAT(store->history(), IsEmpty());
    EXPECT_FALSE(sandbox.savedState().pendingPrivilegedQuarantine);
}

TEST_F(StoreRecoveryTest, AMixedDiskKeepsTheJournalAndBlocksEveryAction) {
    auto [echo, journal] = echoAndQuarantineJournal();
    const auto mixedText =
        "A pending privileged quarantine has a mixed disk state. Stop and verify plugin locations before taking "
        "another file action.";

    // One moved, one not.
    move(journal.items[0].sourcePath, journal.items[0].destinationPath);
    auto store = sandbox.open();
    EXPECT_EQ(store->pendingPrivilegedQuarantine(), journal);
    EXPECT_EQ(store->lastOperationError(), mixedText);
    EXPECT_EQ(store->plugins(), std::vector<Plugin>{echo});
    const auto vst3 = selectionOf(*store, "Echo", "VST3");
    EXPECT_EQ(store->quarantineBlockingReason({vst3}),
              "A previous privileged plugin transaction still needs reconciliation.");
    store->startScan({sandbox.layout.systemRoot});
    EXPECT_EQ(store->notice()->title, "Scan Blocked");
    EXPECT_EQ(store->notice()->message,
              "A privileged plugin transaction still needs reconciliation. Do not rescan until that transaction is "
              "resolved.");
    EXPECT_EQ(sandbox.savedState().pendingPrivilegedQuarantine, journal);

    // A copy at both ends is neither moved nor at its source.
    fs::copy(journal.items[0].destinationPath, journal.items[0].sourcePath, fs::copy_options::recursive);
    move(journal.items[1].sourcePath, journal.items[1].destinationPath);
    store = sandbox.open();
    EXPECT_EQ(store->pendingPrivilegedQuarantine(), journal);
    EXPECT_EQ(store->lastOperationError(), mixedText);

    // Put right by hand: the next launch commits.
    fs::remove_all(journal.items[0].sourcePath);
    store = sandbox.open();
    EXPECT_FALSE(store->hasPendingPrivilegedTransaction());
    EXPECT_EQ(findProduct(store->plugins(), "Echo")->status, PluginStatus::quarantined);
}

TEST_F(StoreRecoveryTest, JournalsOfEachKindAreResolvedByTheirOwnDiskTest) {
    // A restore that finished, a Trash move that never started, and a Trash
    // restore that finished, all in one state file.
    auto echo = productOnDisk(sandbox.layout, "Acme", "Echo", {"VST3"});
    auto& echoBundle = echo.bundles->front();
    const auto echoOriginal = echoBundle.path;
    recordQuarantined(sandbox.layout, echoBundle, operationID);
    echo.status = PluginStatus::quarantined;

    const auto trashOperation = Uuid::random().string();
    auto solo = productOnDisk(sandbox.layout, "Acme", "Solo", {"AU"});
    auto& soloBundle = solo.bundles->front();
    const auto soloOriginal = soloBundle.path;
    recordQuarantined(sandbox.layout, soloBundle, trashOperation);
    solo.status = PluginStatus::quarantined;
    move(soloOriginal, *soloBundle.quarantinePath);

    const auto trashed = TrashedBundleRecord{Uuid::random(),
                                             "Gone",
                                             "Acme",
                                             "VST2",
                                             sandbox.layout.system("/Library/Audio/Plug-Ins/VST/Gone.vst"),
                                             sandbox.layout.trashFolder() + "/Gone.vst",
                                             Date{700000000},
                                             "TX",
                                             std::nullopt,
                                             std::nullopt,
                                             std::nullopt,
                                             std::nullopt};
    makeBundleOnDisk(trashed.originalPath);  // already back

    auto state = minimalState();
    state.plugins = {echo, solo};
    state.trashedBundles = std::vector{trashed};
    state.pendingPrivilegedRestore =
        PrivilegedRestoreRequest{"R", {{*echoBundle.quarantinePath, echoOriginal, operationID}}};
    state.pendingPrivilegedTrash = PrivilegedTrashRequest{
        "T", {{*soloBundle.quarantinePath, sandbox.layout.trashFolder() + "/Solo.component", trashOperation}}};
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
    const auto saved = sandbox.savedState();
    EXPECT_FALSE(saved.pendingPrivilegedRestore);
    EXPECT_FALSE(saved.pendingPrivilegedTrash);
    EXPECT_FALSE(saved.pendingPrivilegedTrashRestore);
}

TEST_F(StoreRecoveryTest, AFinishedTrashMoveWritesRecoveryRecordsAndPrunesItsEmptyFolder) {
    auto solo = productOnDisk(sandbox.layout, "Acme", "Solo", {"AU"});
    auto& bundle = solo.bundles->front();
    const auto original = bundle.path;
    recordQuarantined(sandbox.layout, bundle, operationID);
    const auto trashPath = sandbox.layout.trashFolder() + "/Solo.component";
    auto state = minimalState();
    state.plugins = {solo};
    state.pendingPrivilegedTrash = PrivilegedTrashRequest{"T", {{*bundle.quarantinePath, trashPath, operationID}}};
    sandbox.writeState(state);
    move(original, trashPath);
    fs::create_directories(deletingLastPathComponent(*bundle.quarantinePath));  // left empty by the helper

    const auto store = sandbox.open();
    EXPECT_FALSE(store->hasPendingPrivilegedTransaction());
    EXPECT_THAT(store->plugins(), IsEmpty());
    ASSERT_THAT(store->trashedBundles(), SizeIs(1));
    EXPECT_EQ(store->trashedBundles().front().originalPath, original);
    EXPECT_EQ(store->trashedBundles().front().trashPath, trashPath);
    EXPECT_EQ(store->trashedBundles().front().trashTransactionID, "T");
    EXPECT_FALSE(existsAt(deletingLastPathComponent(*bundle.quarantinePath)));
    EXPECT_EQ(store->readyTrashRecoveryCount(), 1);
}

TEST_F(StoreRecoveryTest, AFailedSaveLeavesTheJournalInTheFileForTheNextLaunch) {
    auto [echo, journal] = echoAndQuarantineJournal();
    for (const auto& item : journal.items) {
        move(item.sourcePath, item.destinationPath);
    }

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
