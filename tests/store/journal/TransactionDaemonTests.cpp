// Each kind of transaction end to end: the store prepares and completes, the
// real KestrovaHelper (session mode, on a sandbox) moves the bundles; and a
// stand-in helper that takes a request and never answers.
#include "DaemonStoreFixture.h"
#include "support/StandInHelper.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kestrova::testing {
namespace {

using ::testing::HasSubstr;

template <typename Kind>
class TransactionDaemonTest : public DaemonStoreFixture {};
TYPED_TEST_SUITE(TransactionDaemonTest, TransactionKindAdapters, KindName);

TYPED_TEST(TransactionDaemonTest, TheHelperMovesEveryByteWhereTheJournalSaid) {
    TypeParam::arrange(this->sandbox, twoInstalledBundles(this->sandbox));
    this->open();
    this->connect();
    const auto request = TypeParam::prepare(*this->store, TypeParam::target(*this->store));
    ASSERT_TRUE(request) << this->store->lastOperationError().value_or("");
    std::vector<BundleContents> before;
    for (const auto& item : request->items) {
        before.push_back(bundleContents(item.sourcePath));
    }

    ASSERT_TRUE(this->template runTransaction<TypeParam>(request)) << this->store->lastOperationError().value_or("");
    EXPECT_EQ(this->store->notice()->title, describe(TypeParam::kind).texts.successTitle);
    EXPECT_TRUE(TypeParam::showsMoved(*this->store));
    for (std::size_t index = 0; index < request->items.size(); ++index) {
        EXPECT_FALSE(existsAt(request->items[index].sourcePath));
        EXPECT_EQ(bundleContents(request->items[index].destinationPath), before[index]);
    }
    EXPECT_FALSE(this->store->hasPendingPrivilegedTransaction());
    EXPECT_EQ(this->savedState(), this->store->persistedSnapshot());
}

// The client gives up at its deadline without guessing what happened, the
// store keeps the journal, and the next start decides from the disk as it
// would after a crash. The stand-in never answers a transaction, so the
// deadline changes nothing but how long the test waits.
TEST(StoreHelperDeadline, AStalledHelperLeavesTheJournalToTheNextStart) {
    HelperDeadlines deadlines;
    deadlines.handshake = std::chrono::seconds(20);
    deadlines.transaction = std::chrono::milliseconds(300);
    deadlines.transactionPerItem = std::chrono::milliseconds(0);
    for (const auto stall : {StandInHelper::Stall::beforeMoving, StandInHelper::Stall::afterMoving}) {
        const bool moved = stall == StandInHelper::Stall::afterMoving;
        SCOPED_TRACE(moved ? "after moving" : "before moving");
        HelperSandbox helper;
        StoreSandbox sandbox{helper.layout()};
        QuarantineKind::arrange(sandbox, {twoInstalledBundles(sandbox).back()});
        StandInHelper standIn(helper, stall);
        auto store = sandbox.open();
        ServiceHarness harness(std::make_shared<FixedRegistration>(helper.endpoint()), deadlines);
        auto& service = harness.service();
        ASSERT_TRUE(service.canSendPrivilegedRequest()) << service.lastError().value_or("");
        const auto request = QuarantineKind::prepare(*store, QuarantineKind::target(*store));
        ASSERT_TRUE(request);
        std::optional<bool> committed;
        QuarantineKind::send(service, *request, [&](const PrivilegedQuarantineResult& result) {
            EXPECT_FALSE(result.rollbackComplete);
            committed = QuarantineKind::complete(*store, result, *request);
        });
        harness.settle();
        EXPECT_EQ(committed, false);
        // A helper that stalls is not offered another request.
        EXPECT_FALSE(service.canSendPrivilegedRequest());
        EXPECT_FALSE(service.isWorking());
        EXPECT_EQ(store->notice()->title, "Quarantine Needs Attention");
        EXPECT_THAT(store->notice()->message, HasSubstr("did not answer the quarantine request within 0.3 seconds"));
        EXPECT_EQ(QuarantineKind::pending(*store), request);
        if (moved) {
            EXPECT_TRUE(standIn.waitUntilMoved());
        }

        store = sandbox.open();
        EXPECT_FALSE(store->hasPendingPrivilegedTransaction());
        EXPECT_EQ(QuarantineKind::showsMoved(*store), moved);
        EXPECT_EQ(existsAt(request->items.front().sourcePath), !moved);
        EXPECT_EQ(existsAt(request->items.front().destinationPath), moved);
    }
}

}  // namespace
}  // namespace kestrova::testing
