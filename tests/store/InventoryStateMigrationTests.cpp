#include "store/InventoryStateMigration.h"
#include "store/LoadedInventoryState.h"

#include "StateSamples.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

using kestrova::testing::fullState;
using kestrova::testing::sampleBundle;
using kestrova::testing::sampleProduct;

// The one product of an unversioned document, upgraded.
Plugin migratedAlone(Plugin plugin, std::vector<std::string> protectedKeys = {}) {
    PersistedInventory state;
    state.plugins = {std::move(plugin)};
    state.protectedKeys = std::move(protectedKeys);
    auto result = InventoryStateMigration::migrate(state);
    EXPECT_TRUE(result);
    EXPECT_TRUE(result->didMigrate);
    return result->state.plugins.at(0);
}

TEST(InventoryStateMigration, LeavesCurrentDocumentsAloneAndRefusesNewerOnes) {
    // Version 3 is returned as it is, even with flags an upgrade would change.
    auto current = fullState();
    current.plugins[0].bundles->at(1).isProtected = false;
    const auto unchanged = InventoryStateMigration::migrate(current);
    ASSERT_TRUE(unchanged);
    EXPECT_FALSE(unchanged->didMigrate);
    EXPECT_EQ(unchanged->state, current);

    for (const std::int64_t version : {4LL, 17LL, 5000000000LL}) {
        current.schemaVersion = version;
        const auto refused = InventoryStateMigration::migrate(current);
        ASSERT_FALSE(refused);
        EXPECT_EQ(refused.error(), InventoryStateMigration::MigrationError::unsupportedSchema(version));
    }
}

TEST(InventoryStateMigration, UpgradesEveryOlderVersionAndCopiesTheOtherKeys) {
    for (const std::optional<std::int64_t> version :
         {std::optional<std::int64_t>{}, std::optional<std::int64_t>{-2}, std::optional<std::int64_t>{0},
          std::optional<std::int64_t>{1}, std::optional<std::int64_t>{2}}) {
        auto state = fullState();
        state.schemaVersion = version;
        state.protectedKeys = {"zeta|z", "acme|reverb", "acme|reverb"};
        state.trashedBundles.reset();
        const auto result = InventoryStateMigration::migrate(state);
        ASSERT_TRUE(result);
        EXPECT_TRUE(result->didMigrate);
        EXPECT_EQ(result->state.schemaVersion, 3);
        auto expected = state;
        expected.schemaVersion = 3;
        expected.plugins = result->state.plugins;  // compared by the cases below
        EXPECT_EQ(result->state, expected);
        EXPECT_EQ(result->state.protectedKeys, (std::vector<std::string>{"zeta|z", "acme|reverb", "acme|reverb"}));
        EXPECT_FALSE(result->state.trashedBundles);
    }
}

TEST(InventoryStateMigration, ReappliesProtectedKeysToProductAndBundlesButKeepsQuarantinedStatuses) {
    auto listed = sampleProduct("Fab Filter", "Pro-Q 3", {"AU", "VST3"});
    listed.bundles = {sampleBundle("AU", "/a.component"), sampleBundle("VST3", "/a.vst3")};
    const auto upgraded = migratedAlone(listed, {"fab filter|pro-q 3"});
    EXPECT_TRUE(upgraded.isProtected);
    EXPECT_TRUE(upgraded.bundles->at(0).isProtected);
    EXPECT_TRUE(upgraded.bundles->at(1).isProtected);
    EXPECT_EQ(upgraded.status, PluginStatus::protected_);

    for (const auto status : {PluginStatus::quarantined, PluginStatus::partiallyQuarantined}) {
        auto quarantined = listed;
        quarantined.status = status;
        const auto kept = migratedAlone(quarantined, {"fab filter|pro-q 3"});
        EXPECT_TRUE(kept.isProtected);
        EXPECT_EQ(kept.status, status);
    }

    // The key is the whole "manufacturer|name" lower-cased, not either half.
    const auto unlisted = migratedAlone(listed, {"fab filter", "pro-q 3", "fab filter|pro-q"});
    EXPECT_FALSE(unlisted.isProtected);
    EXPECT_EQ(unlisted.status, PluginStatus::ok);
}

TEST(InventoryStateMigration, OverwritesPerBundleFlagsWithTheProductDecision) {
    auto product = sampleProduct("Acme", "Chorus", {"AU", "VST3"}, PluginStatus::partiallyProtected);
    product.bundles = {sampleBundle("AU", "/c.component", true), sampleBundle("VST3", "/c.vst3", false)};
    const auto cleared = migratedAlone(product);
    EXPECT_FALSE(cleared.isProtected);
    EXPECT_FALSE(cleared.bundles->at(0).isProtected);
    EXPECT_FALSE(cleared.bundles->at(1).isProtected);
    EXPECT_EQ(cleared.status, PluginStatus::partiallyProtected);  // status is left as it was

    product.isProtected = true;
    const auto protectedProduct = migratedAlone(product);
    EXPECT_TRUE(protectedProduct.bundles->at(0).isProtected);
    EXPECT_TRUE(protectedProduct.bundles->at(1).isProtected);
    EXPECT_EQ(protectedProduct.status, PluginStatus::protected_);

    product.bundles = std::vector<PluginBundleRecord>{};
    EXPECT_EQ(migratedAlone(product).bundles, std::vector<PluginBundleRecord>{});
}

TEST(InventoryStateMigration, GivesASingleFormatLegacyRecordItsOneBundle) {
    auto legacy = sampleProduct("Acme", "Limiter", {"VST2"}, PluginStatus::quarantined);
    legacy.architecture = "Intel";
    legacy.size = "3.3 MB";
    legacy.path = "/Library/Application Support/Kestrova/Quarantine/OP/Limiter.vst";
    legacy.originalPath = "/Library/Audio/Plug-Ins/VST/Limiter.vst";
    legacy.quarantinePath = legacy.path;
    legacy.quarantineOperationID = "OP";
    const auto upgraded = migratedAlone(legacy, {"acme|limiter"});
    auto expected = sampleBundle("VST2", legacy.path, true);
    expected.architecture = "Intel";
    expected.size = "3.3 MB";
    expected.originalPath = legacy.originalPath;
    expected.quarantinePath = legacy.quarantinePath;
    expected.quarantineOperationID = "OP";
    EXPECT_EQ(upgraded.bundles, std::vector{expected});
    EXPECT_EQ(upgraded.status, PluginStatus::quarantined);

    for (const auto& formats : {std::vector<std::string>{"AU", "VST3"}, std::vector<std::string>{}}) {
        auto several = sampleProduct("Acme", "Limiter", formats);
        EXPECT_FALSE(migratedAlone(several).bundles);
    }
}

TEST(InventoryStateMigration, ProtectsWavesShellsWithoutChangingTheirStatus) {
    for (const std::string name : {"WaveShell1-VST3 14.12", "waves SHELL", "Shell"}) {
        auto shell = sampleProduct("Waves", name, {"VST3"});
        const auto upgraded = migratedAlone(shell);
        EXPECT_TRUE(upgraded.isProtected) << name;
        EXPECT_TRUE(upgraded.bundles->at(0).isProtected) << name;
        EXPECT_EQ(upgraded.status, PluginStatus::ok) << name;
    }
    const auto hosted = migratedAlone(sampleProduct("Waves", "SSL E-Channel", {}, PluginStatus::hostedByShell));
    EXPECT_TRUE(hosted.isProtected);
    EXPECT_EQ(hosted.status, PluginStatus::hostedByShell);

    // Only the maker spelled exactly "Waves" has shells.
    EXPECT_FALSE(migratedAlone(sampleProduct("waves", "WaveShell1", {"VST3"})).isProtected);
    EXPECT_FALSE(migratedAlone(sampleProduct("Waves", "SSL EV2", {"VST3"})).isProtected);
}

TEST(LoadedInventoryState, RepairsLegacyQuarantinedRecordsAndFillsAbsentLists) {
    auto legacy = sampleProduct("Acme", "Gate", {"AU"}, PluginStatus::quarantined);
    legacy.isProtected = true;
    legacy.originalPath = "/Library/Audio/Plug-Ins/Components/Gate.component";
    legacy.quarantinePath = "/Library/Application Support/Kestrova/Quarantine/OP/Gate.component";
    legacy.quarantineOperationID = "OP";
    auto missingField = legacy;
    missingField.quarantineOperationID.reset();
    auto notQuarantined = legacy;
    notQuarantined.status = PluginStatus::partiallyQuarantined;
    auto twoFormats = legacy;
    twoFormats.formats = {"AU", "VST3"};

    PersistedInventory state;
    state.schemaVersion = 3;
    state.plugins = {legacy, missingField, notQuarantined, twoFormats};
    state.protectedKeys = {"b|b", "a|a", "b|b"};
    const auto loaded = applyLoadedState(state);

    ASSERT_TRUE(loaded.plugins[0].bundles);
    EXPECT_EQ(loaded.plugins[0].bundles->front(), InventoryStateMigration::bundleFromProductFields(legacy, true));
    EXPECT_EQ(loaded.plugins[1], missingField);
    EXPECT_EQ(loaded.plugins[2], notQuarantined);
    EXPECT_EQ(loaded.plugins[3], twoFormats);
    EXPECT_EQ(loaded.protectedKeys, (std::set<std::string>{"a|a", "b|b"}));
    EXPECT_TRUE(loaded.trashedBundles.empty());
    EXPECT_TRUE(loaded.inaccessibleLocations.empty());
    EXPECT_TRUE(loaded.permanentQuarantineRules.empty());

    const auto sample = fullState();
    const auto full = applyLoadedState(sample);
    EXPECT_EQ(full.pendingPrivilegedTrashRestore, sample.pendingPrivilegedTrashRestore);
    EXPECT_EQ(full.formatCleanupRuns, *sample.formatCleanupRuns);
    EXPECT_EQ(full.history, sample.history);
}

}  // namespace
}  // namespace kestrova
