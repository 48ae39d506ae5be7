// Each kind of transaction end to end: the store prepares and completes, the
// real KestrovaHelper (session mode, on a sandbox) moves the bundles.
#include "DaemonStoreFixture.h"

#include <gtest/gtest.h>

namespace kestrova::testing {
namespace {

template <typename Kind>
class TransactionDaemonTest : public DaemonStoreFixture {};
TYPED_TEST_SUITE(TransactionDaemonTest, TransactionKindAdapters, KindName);

TYPED_TEST(TransactionDaemonTest, TheHelperMovesEachBundleWhereTheJournalSaid) {
    TypeParam::arrange(this->sandbox, twoInstalledBundles(this->sandbox));
    this->open();
    this->connect();
    const auto request = TypeParam::prepare(*this->store, TypeParam::target(*this->store));
    ASSERT_TRUE(request) << this->store->lastOperationError().value_or("");
    std::vector<std::string> markers;
    for (const auto& item : request->items) {
        markers.push_back(bundleMarker(item.sourcePath));
    }

    ASSERT_TRUE(this->runTransaction(request)) << this->store->lastOperationError().value_or("");
    EXPECT_EQ(this->store->notice()->title, describe(TypeParam::kind).texts.successTitle);
    EXPECT_TRUE(TypeParam::showsMoved(*this->store));
    for (std::size_t index = 0; index < request->items.size(); ++index) {
        EXPECT_FALSE(existsAt(request->items[index].sourcePath));
        EXPECT_EQ(bundleMarker(request->items[index].destinationPath), markers[index]);
    }
    EXPECT_EQ(this->savedState(), this->store->persistedSnapshot());
}

}  // namespace
}  // namespace kestrova::testing
