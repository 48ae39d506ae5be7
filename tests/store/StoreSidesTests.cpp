// Under the Linux profile a product may have bundles in the system's and in
// the user's plug-in folders: the store never journals a transaction over
// both, records the side of the one it journals, and puts a user-side
// journal to the user side's helper when it starts.
#include "TransactionFixtures.h"
#include "store/state/PersistedInventoryFile.h"
#include "support/StoreCalls.h"

#include <gtest/gtest.h>

namespace kestrova::testing {
namespace {

TEST(StoreSides, ATransactionIsOneSidesAndItsJournalNamesTheSide) {
    StoreSandbox sandbox;
    sandbox.layout.profile = PlatformProfile::gnuLinux;
    const auto clap = sandbox.layout.system("/usr/lib/clap/Echo.clap");
    const auto vst2 = sandbox.layout.user(".vst/Echo.so");
    makeBundleOnDisk(clap);
    makeBundleOnDisk(vst2);
    auto echo = sampleProduct("Acme", "Echo", {"CLAP", "VST2"});
    echo.path = clap;
    echo.bundles = std::vector{sampleBundle("CLAP", clap), sampleBundle("VST2", vst2)};
    auto state = minimalState();
    state.plugins = {echo};
    sandbox.writeState(state);

    {
        auto store = sandbox.open();
        const auto system = selectionOf(*store, "Echo", "CLAP");
        const auto user = selectionOf(*store, "Echo", "VST2");
        EXPECT_EQ(store->selectionsBySide({user, system}),
                  (std::vector<std::vector<PluginBundleSelection>>{{system}, {user}}));

        // Refused before anything is written.
        const auto writesBefore = sandbox.disk.attemptedWrites().size();
        EXPECT_FALSE(prepareQuarantine(*store, {system, user}));
        EXPECT_TRUE(showsNotice(*store, "Privileged Quarantine Blocked",
                                "The selection has bundles in both the system and the home plug-in folders, which "
                                "separate helpers move. Kestrova runs one transaction per side; no plugin files were "
                                "moved."));
        EXPECT_FALSE(store->hasPendingPrivilegedTransaction());
        EXPECT_EQ(sandbox.disk.attemptedWrites().size(), writesBefore);

        const auto request = prepareQuarantine(*store, {user});
        ASSERT_TRUE(request);
        EXPECT_EQ(request->side, BundleSide::user);
        EXPECT_EQ(request->items[0].destinationPath.rfind(quarantineRoot(sandbox.layout, BundleSide::user), 0), 0u);
        const auto saved = readPersistedInventory(sandbox.statePath(), sandbox.disk);
        ASSERT_TRUE(saved.ok());
        ASSERT_TRUE(saved->state.pendingPrivilegedQuarantine);
        EXPECT_EQ(saved->state.pendingPrivilegedQuarantine->side, BundleSide::user);
    }

    // The next start asks the user side's helper, never the system side's.
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
            return TransactionLookupAnswer{JournalVerdict::settledOnDisk, std::nullopt, std::nullopt, "fenced"};
        });
    EXPECT_FALSE(askedSystem);
    ASSERT_EQ(askedUser.size(), 1u);
    EXPECT_FALSE(reopened.hasPendingPrivilegedTransaction());  // nothing moved: the disk decided
}

}  // namespace
}  // namespace kestrova::testing
