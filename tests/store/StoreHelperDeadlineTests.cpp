// A helper that takes a quarantine and never answers: the client gives up at
// its deadline without guessing what happened, the store keeps the journal,
// and the next start decides from the disk as it would after a crash.
#include "TransactionFixtures.h"
#include "support/HelperSession.h"
#include "support/StandInHelper.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kestrova::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

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
        const auto request = store->prepareQuarantine({selectionOf(*store, "Echo", "VST3")});
        EXPECT_TRUE(request.has_value());
        if (!request) {
            return {};
        }
        std::optional<bool> committed;
        service.sendQuarantine(request->transactionID, request->items, [&](const auto& result) {
            EXPECT_FALSE(result.rollbackComplete);
            committed = store->completeQuarantine(result, request->transactionID, request->items);
        });
        harness.settle();
        EXPECT_EQ(committed, false);
        // A helper that stalls is not offered another request.
        EXPECT_FALSE(service.canSendPrivilegedRequest());
        EXPECT_FALSE(service.isWorking());

        EXPECT_EQ(store->notice()->title, "Quarantine Needs Attention");
        EXPECT_THAT(store->notice()->message,
                    StartsWith("KestrovaHelper did not answer the quarantine request within 0.3 seconds. Kestrova "
                               "cannot tell whether any bundle moved; it will reconcile the transaction from the "
                               "disk the next time it starts."));
        EXPECT_THAT(store->notice()->message, HasSubstr("Kestrova kept the pending transaction journal."));
        EXPECT_TRUE(store->pendingPrivilegedQuarantine());
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
    EXPECT_FALSE(store->pendingPrivilegedQuarantine());
    EXPECT_FALSE(findBundle(store->plugins(), "Echo", "VST3")->isQuarantined());
    EXPECT_TRUE(existsAt(source));
    EXPECT_FALSE(existsAt(request.items.front().destinationPath));
}

TEST_F(StoreHelperDeadlineTest, StalledAfterMovingTheNextStartCommitsWhatTheDiskShows) {
    const auto request = quarantineWhileStalled(StandInHelper::Stall::afterMoving);
    auto store = sandbox.open();
    EXPECT_FALSE(store->pendingPrivilegedQuarantine());
    EXPECT_FALSE(sandbox.savedState().pendingPrivilegedQuarantine);
    const auto* record = findBundle(store->plugins(), "Echo", "VST3");
    ASSERT_TRUE(record && record->isQuarantined());
    EXPECT_EQ(record->quarantinePath, request.items.front().destinationPath);
    EXPECT_EQ(store->history().front().transactionID, request.transactionID);
    EXPECT_FALSE(existsAt(source));
}

}  // namespace
}  // namespace kestrova::testing
