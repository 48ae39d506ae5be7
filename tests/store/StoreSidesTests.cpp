// Under the Linux profile a product may have bundles in the system's and in
// the user's plug-in folders: the store groups a selection by side and puts a
// user-side journal to the user side's helper when it starts. (The side a
// journal records and the user side's wording: the command line's recording;
// a mix of sides refused: the typed transaction tests.)
#include "journal/KindAdapters.h"

#include <gtest/gtest.h>

namespace kestrova::testing {
namespace {

TEST(StoreSides, AUserSideTransactionIsGroupedAndRecoveredAsTheUsers) {
    StoreSandbox sandbox;
    sandbox.layout.profile = PlatformProfile::gnuLinux;
    QuarantineKind::arrange(
        sandbox, {{"CLAP", sandbox.system("/usr/lib/clap/Echo.clap")}, {"VST2", sandbox.layout.user(".vst/Echo.so")}});
    std::optional<PrivilegedQuarantineRequest> request;
    {
        auto store = sandbox.open();
        const auto system = selectionOf(*store, "Echo", "CLAP");
        const auto user = selectionOf(*store, "Echo", "VST2");
        EXPECT_EQ(store->selectionsBySide({user, system}),
                  (std::vector<std::vector<PluginBundleSelection>>{{system}, {user}}));
        EXPECT_EQ(store->sideOf(user), BundleSide::user);
        request = QuarantineKind::prepare(*store, {user});
        ASSERT_TRUE(request);
        EXPECT_EQ(request->side, BundleSide::user);
    }

    // A journal of the user side is put to the user side's helper, never the system side's.
    std::vector<std::string> askedUser;
    bool askedSystem = false;
    PluginInventoryStore reopened(
        sandbox.layout, sandbox.disk, sandbox.executor, [](auto&&...) { return ScanSummary{}; },
        [&](const std::string&) {
            askedSystem = true;
            return TransactionLookupAnswer{};
        },
        [&](const std::string& id) {
            askedUser.push_back(id);
            return TransactionLookupAnswer{JournalVerdict::stillRunning, std::nullopt, std::nullopt, "running"};
        });
    EXPECT_FALSE(askedSystem);
    EXPECT_EQ(askedUser, std::vector<std::string>{request->transactionID});
    EXPECT_EQ(QuarantineKind::pending(reopened), request) << "the user side's answer kept it";
}

}  // namespace
}  // namespace kestrova::testing
