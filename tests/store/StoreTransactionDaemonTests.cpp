// Privileged transactions end to end: the store prepares and completes, the
// real KestrovaHelper (session mode, on a sandbox) moves the bundles; and a
// stand-in helper that never answers.
#include "CleanupRunFixtures.h"
#include "store/journal/TransactionRoad.h"
#include "support/StandInHelper.h"
#include "support/StoreCalls.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace kestrova::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::SizeIs;
using ::testing::StartsWith;

class StoreTransactionDaemonTest : public DaemonStoreFixture {
protected:
    void SetUp() override {
        DaemonStoreFixture::SetUp();
        connect();
    }

    // Prepares, sends and completes one transaction, as a screen does.
    bool run(TransactionKind kind, const std::function<std::optional<PrivilegedRequest>()>& prepare) {
        std::optional<bool> committed;
        if (!runTransaction(*store, *service, kind, std::nullopt, prepare,
                            [&](const PrivilegedRequest&, bool ok) { committed = ok; })) {
            return false;
        }
        settle();
        EXPECT_TRUE(committed.has_value()) << "the completion never ran";
        return committed.value_or(false);
    }

    bool quarantine(const std::vector<PluginBundleSelection>& selections) {
        return run(TransactionKind::quarantine,
                   [&] { return store->prepare(TransactionKind::quarantine, selections); });
    }
    bool restore(const std::vector<PluginBundleSelection>& selections) {
        return run(TransactionKind::restore, [&] { return store->prepare(TransactionKind::restore, selections); });
    }
    bool trash(const std::vector<PluginBundleSelection>& selections) {
        return run(TransactionKind::trash, [&] { return store->prepare(TransactionKind::trash, selections); });
    }
    bool trashRestore(const std::vector<Uuid>& records) {
        return run(TransactionKind::trashRestore, [&] { return store->prepareTrashRestore(records); });
    }
};

// The quarantine notice is the helper-free tests' to check; here the rest.
TEST_F(StoreTransactionDaemonTest, QuarantineRestoreTrashAndTrashRestoreRoundTripKeepEveryByte) {
    const auto echo = productOnDisk(sandbox.layout, "Acme", "Echo", {"AU", "VST3"});
    const auto solo = productOnDisk(sandbox.layout, "Acme", "Solo", {"VST3"});
    sandbox.writeProducts({echo, solo});
    const auto vst3Path = findBundle({echo}, "Echo", "VST3")->path;
    const auto soloPath = solo.bundles->front().path;
    const auto echoBytes = bundleContents(vst3Path);
    const auto soloBytes = bundleContents(soloPath);
    ASSERT_THAT(echoBytes, SizeIs(2));

    open();

    // Quarantine.
    ASSERT_TRUE(quarantine({selectionOf(*store, "Echo", "VST3")})) << store->lastOperationError().value_or("");
    EXPECT_FALSE(pendingQuarantine(*store));
    auto record = *findBundle(store->plugins(), "Echo", "VST3");
    ASSERT_TRUE(record.isQuarantined());
    EXPECT_EQ(record.originalPath, vst3Path);
    EXPECT_EQ(record.path, vst3Path);
    EXPECT_EQ(*record.quarantinePath,
              quarantineRoot(sandbox.layout) + "/" + *record.quarantineOperationID + "/Echo.vst3");
    EXPECT_FALSE(existsAt(vst3Path));
    EXPECT_EQ(bundleContents(*record.quarantinePath), echoBytes);
    EXPECT_EQ(findProduct(store->plugins(), "Echo")->status, PluginStatus::partiallyQuarantined);
    EXPECT_THAT(store->history(), SizeIs(1));
    EXPECT_FALSE(sandbox.savedState().pendingPrivilegedQuarantine);

    // Restore puts the very same bytes back at the recorded original path.
    ASSERT_TRUE(restore({selectionOf(*store, "Echo", "VST3")})) << store->lastOperationError().value_or("");
    EXPECT_TRUE(showsNotice(
        *store, "Plugins Restored",
        "1 format bundles returned through the administrator-approved helper as one verified transaction."));
    record = *findBundle(store->plugins(), "Echo", "VST3");
    EXPECT_FALSE(record.quarantinePath || record.quarantineOperationID);
    EXPECT_EQ(bundleContents(vst3Path), echoBytes);
    EXPECT_EQ(findProduct(store->plugins(), "Echo")->status, PluginStatus::ok);
    EXPECT_EQ(store->history().front().detail,
              "Restored VST3 bundle through the privileged atomic restore transaction");

    // Quarantine both products' VST3 bundles together, then send them to the Trash.
    ASSERT_TRUE(quarantine({selectionOf(*store, "Echo", "VST3"), selectionOf(*store, "Solo", "VST3")}));
    const auto operationFolder =
        deletingLastPathComponent(*findBundle(store->plugins(), "Solo", "VST3")->quarantinePath);
    ASSERT_TRUE(trash({selectionOf(*store, "Echo", "VST3"), selectionOf(*store, "Solo", "VST3")}))
        << store->lastOperationError().value_or("");
    EXPECT_TRUE(showsNotice(
        *store, "Plugins Moved to Finder Trash",
        "2 format bundles moved through the administrator-approved helper as one recoverable transaction."));
    EXPECT_FALSE(findBundle(store->plugins(), "Echo", "VST3"));
    EXPECT_FALSE(findProduct(store->plugins(), "Solo")) << "a product without bundles leaves the inventory";
    EXPECT_FALSE(existsAt(operationFolder)) << "the emptied operation folder is pruned";
    ASSERT_THAT(store->trashedBundles(), SizeIs(2));
    const auto& trashed = store->trashedBundles().front();
    EXPECT_EQ(trashed.originalPath, vst3Path);
    EXPECT_EQ(trashed.trashPath, sandbox.layout.trashFolder() + "/Echo.vst3");
    EXPECT_EQ(bundleContents(trashed.trashPath), echoBytes);
    EXPECT_EQ(store->readyTrashRecoveryCount(), 2);

    // Both come back from the Trash to their exact original paths.
    std::vector<Uuid> records;
    for (const auto& entry : store->trashedBundles()) {
        records.push_back(entry.id);
    }
    ASSERT_TRUE(trashRestore(records)) << store->lastOperationError().value_or("");
    EXPECT_TRUE(showsNotice(
        *store, "Plugins Restored from Finder Trash",
        "2 format bundles returned to their exact recorded original locations. Run a read-only scan to refresh "
        "Inventory."));
    EXPECT_EQ(bundleContents(vst3Path), echoBytes);
    EXPECT_EQ(bundleContents(soloPath), soloBytes);
    for (const auto& entry : store->trashedBundles()) {
        EXPECT_TRUE(entry.reconciledDate);
        EXPECT_EQ(entry.restoreTransactionID, store->history().front().transactionID);
    }
    EXPECT_EQ(store->history().front().kind, HistoryKind::trashRestore);
    EXPECT_EQ(sandbox.savedState(), store->persistedSnapshot());
}

TEST_F(StoreTransactionDaemonTest, AReplyForAnotherTransactionIsRejectedAndTheJournalKept) {
    const auto echo = productOnDisk(sandbox.layout, "Acme", "Echo", {"VST3"});
    sandbox.writeProducts({echo});
    open();

    const auto request = prepareQuarantine(*store, {selectionOf(*store, "Echo", "VST3")});
    ASSERT_TRUE(request);
    // The helper carries out a transaction under another identifier.
    std::optional<PrivilegedQuarantineResult> reply;
    sendQuarantine(*service, Uuid::random().string(), request->items, [&](auto result) { reply = result; });
    settle();
    ASSERT_TRUE(reply && reply->succeeded) << (reply ? reply->message : "no reply");

    EXPECT_FALSE(complete(*store, *reply));
    EXPECT_TRUE(showsNotice(
        *store, "Quarantine Needs Attention",
        "The helper response does not match Kestrova’s pending transaction journal. Stop before retrying."));
    EXPECT_EQ(pendingQuarantine(*store), request);
    EXPECT_FALSE(findBundle(store->plugins(), "Echo", "VST3")->isQuarantined()) << "not recorded as moved";
    EXPECT_THAT(store->history(), IsEmpty());
}

TEST_F(StoreTransactionDaemonTest, ARefusalIsSafeOnlyWhenTheDiskShowsEveryBundleBackAtItsSource) {
    const auto echo = productOnDisk(sandbox.layout, "Acme", "Echo", {"AU", "VST3"});
    sandbox.writeProducts({echo});
    open();
    const auto selections =
        std::vector<PluginBundleSelection>{selectionOf(*store, "Echo", "AU"), selectionOf(*store, "Echo", "VST3")};

    // The quarantine root is a file: the helper cannot make its folder and
    // refuses with every bundle still in place.
    const auto root = quarantineRoot(sandbox.layout);
    std::filesystem::create_directories(deletingLastPathComponent(root));
    std::ofstream(root) << "not a folder";
    EXPECT_FALSE(quarantine(selections));
    EXPECT_EQ(store->notice()->title, "Quarantine Failed Safely");
    EXPECT_FALSE(pendingQuarantine(*store));
    EXPECT_FALSE(sandbox.savedState().pendingPrivilegedQuarantine);
    EXPECT_EQ(store->lastOperationError(), store->notice()->message);
    std::filesystem::remove(root);

    // Something sits at the second destination before the request is sent:
    // the helper refuses, but the disk no longer proves a clean rollback.
    const auto request = prepareQuarantine(*store, selections);
    ASSERT_TRUE(request);
    const auto& blocked = request->items.back();
    std::filesystem::create_directories(blocked.destinationPath);
    std::optional<PrivilegedQuarantineResult> reply;
    sendQuarantine(*service, request->transactionID, request->items, [&](auto result) { reply = result; });
    settle();
    ASSERT_TRUE(reply && !reply->succeeded && reply->rollbackComplete);
    EXPECT_FALSE(complete(*store, *reply));
    EXPECT_TRUE(showsNotice(
        *store, "Quarantine Needs Attention",
        reply->message +
            " Kestrova kept the pending transaction journal. Stop and verify the listed plugin locations before "
            "retrying."));
    EXPECT_EQ(pendingQuarantine(*store), request);
    EXPECT_EQ(sandbox.savedState().pendingPrivilegedQuarantine, request);
    EXPECT_TRUE(existsAt(blocked.sourcePath)) << "nothing is ever deleted";
}

// A helper that takes a quarantine and never answers: the client gives up at
// its deadline without guessing what happened, the store keeps the journal,
// and the next start decides from the disk as it would after a crash.
// The stand-in never answers a transaction, so how short this is changes
// nothing but how long the test waits; the handshake has ample time.
HelperDeadlines shortTransactionDeadline() {
    HelperDeadlines deadlines;
    deadlines.handshake = std::chrono::seconds(20);
    deadlines.transaction = std::chrono::milliseconds(300);
    deadlines.transactionPerItem = std::chrono::milliseconds(0);
    return deadlines;
}

class StoreHelperDeadlineTest : public ::testing::Test {
protected:
    // Quarantines Echo's VST3 through a stand-in that takes the request and
    // stalls at `stall`; checks that the store gave up at the deadline and
    // kept the journal it returns.
    PrivilegedQuarantineRequest quarantineWhileStalled(StandInHelper::Stall stall) {
        sandbox.writeProducts({echo});
        StandInHelper standIn(helper, stall);
        auto store = sandbox.open();
        ServiceHarness harness(std::make_shared<FixedRegistration>(helper.endpoint()), shortTransactionDeadline());
        auto& service = harness.service();
        EXPECT_TRUE(service.canSendPrivilegedRequest()) << service.lastError().value_or("");
        const auto request = prepareQuarantine(*store, {selectionOf(*store, "Echo", "VST3")});
        EXPECT_TRUE(request.has_value());
        if (!request) {
            return {};
        }
        std::optional<bool> committed;
        sendQuarantine(service, request->transactionID, request->items, [&](const auto& result) {
            EXPECT_FALSE(result.rollbackComplete);
            committed = complete(*store, result);
        });
        harness.settle();
        EXPECT_EQ(committed, false);
        // A helper that stalls is not offered another request.
        EXPECT_FALSE(service.canSendPrivilegedRequest());
        EXPECT_FALSE(service.isWorking());

        EXPECT_EQ(store->notice()->title, "Quarantine Needs Attention");
        EXPECT_THAT(store->notice()->message,
                    StartsWith("KestrovaHelper did not answer the quarantine request within 0.3 seconds. The "
                               "request reached the helper, which may still be moving the bundles, so Kestrova "
                               "cannot tell yet whether any moved; it settles the transaction the next time it "
                               "starts."));
        EXPECT_THAT(store->notice()->message, HasSubstr("Kestrova kept the pending transaction journal."));
        EXPECT_TRUE(pendingQuarantine(*store));
        EXPECT_TRUE(sandbox.savedState().pendingPrivilegedQuarantine);
        if (stall == StandInHelper::Stall::afterMoving) {
            EXPECT_TRUE(standIn.waitUntilMoved());
        }
        return *request;
    }

    HelperSandbox helper;
    StoreSandbox sandbox{helper.layout()};
    Plugin echo = productOnDisk(sandbox.layout, "Acme", "Echo", {"VST3"});
    std::string source = echo.bundles->front().path;
};

TEST_F(StoreHelperDeadlineTest, StalledBeforeMovingTheJournalWaitsForTheNextStartWhichFindsNothingMoved) {
    const auto request = quarantineWhileStalled(StandInHelper::Stall::beforeMoving);
    // Started again: every bundle is still at its source, so nothing happened.
    auto store = sandbox.open();
    EXPECT_FALSE(pendingQuarantine(*store));
    EXPECT_FALSE(findBundle(store->plugins(), "Echo", "VST3")->isQuarantined());
    EXPECT_TRUE(existsAt(source));
    EXPECT_FALSE(existsAt(request.items.front().destinationPath));
}

TEST_F(StoreHelperDeadlineTest, StalledAfterMovingTheNextStartCommitsWhatTheDiskShows) {
    const auto request = quarantineWhileStalled(StandInHelper::Stall::afterMoving);
    auto store = sandbox.open();
    EXPECT_FALSE(pendingQuarantine(*store));
    EXPECT_FALSE(sandbox.savedState().pendingPrivilegedQuarantine);
    const auto* record = findBundle(store->plugins(), "Echo", "VST3");
    ASSERT_TRUE(record && record->isQuarantined());
    EXPECT_EQ(record->quarantinePath, request.items.front().destinationPath);
    EXPECT_EQ(store->history().front().transactionID, request.transactionID);
    EXPECT_FALSE(existsAt(source));
}

}  // namespace
}  // namespace kestrova::testing
