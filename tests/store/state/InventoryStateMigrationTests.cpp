#include "store/state/InventoryStateMigration.h"
#include "store/state/LoadedInventoryState.h"

#include "../StateSamples.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

using kestrova::testing::fullState;
using kestrova::testing::legacyQuarantinedProduct;
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

TEST(InventoryStateMigration, LeavesCurrentUpgradesOlderAndRefusesNewerDocuments) {
    // Version 3 is returned as it is, even with flags an upgrade would change.
    auto current = fullState();
    current.plugins[0].bundles->at(1).isProtected = false;
    const auto unchanged = InventoryStateMigration::migrate(current);
    ASSERT_TRUE(unchanged);
    EXPECT_FALSE(unchanged->didMigrate);
    EXPECT_EQ(unchanged->state, current);

    // Older ones are upgraded; the keys besides the products are copied as they are.
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
        auto expected = state;
        expected.schemaVersion = 3;
        expected.plugins = result->state.plugins;  // compared by the cases below
        EXPECT_EQ(result->state, expected);
    }

    for (const std::int64_t version : {4LL, 17LL, 5000000000LL}) {
        current.schemaVersion = version;
        const auto refused = InventoryStateMigration::migrate(current);
        ASSERT_FALSE(refused);
        EXPECT_EQ(refused.error(), InventoryStateMigration::MigrationError::unsupportedSchema(version));
    }
}

// An upgrade decides protection per product, from its key or from being a
// Waves shell, and sets that one flag on every bundle; the status changes
// only to mark a protected product that is not quarantined or hosted.
TEST(InventoryStateMigration, ProtectionComesFromTheKeyOrTheShellAndOverwritesEveryBundleFlag) {
    const auto with = [](Plugin product, PluginStatus status, bool isProtected = false) {
        product.status = status;
        product.isProtected = isProtected;
        return product;
    };
    auto proQ = sampleProduct("Fab Filter", "Pro-Q 3", {"AU", "VST3"});
    proQ.bundles = {sampleBundle("AU", "/a.component"), sampleBundle("VST3", "/a.vst3")};
    auto chorus = sampleProduct("Acme", "Chorus", {"AU", "VST3"}, PluginStatus::partiallyProtected);
    chorus.bundles = {sampleBundle("AU", "/c.component", true), sampleBundle("VST3", "/c.vst3", false)};
    const std::vector<std::string> proQKey{"fab filter|pro-q 3"};
    struct Case {
        Plugin product;
        std::vector<std::string> keys;
        bool isProtected;
        PluginStatus status;
    };
    const std::vector<Case> cases{
        {proQ, proQKey, true, PluginStatus::protected_},
        {with(proQ, PluginStatus::quarantined), proQKey, true, PluginStatus::quarantined},
        {with(proQ, PluginStatus::partiallyQuarantined), proQKey, true, PluginStatus::partiallyQuarantined},
        // The key is the whole "manufacturer|name" lower-cased, not either half.
        {proQ, {"fab filter", "pro-q 3", "fab filter|pro-q"}, false, PluginStatus::ok},
        {chorus, {}, false, PluginStatus::partiallyProtected},
        {with(chorus, PluginStatus::partiallyProtected, true), {}, true, PluginStatus::protected_},
        {sampleProduct("Waves", "WaveShell1-VST3 14.12", {"VST3"}), {}, true, PluginStatus::ok},
        {sampleProduct("Waves", "waves SHELL", {"VST3"}), {}, true, PluginStatus::ok},
        {sampleProduct("Waves", "Shell", {"VST3"}), {}, true, PluginStatus::ok},
        {sampleProduct("Waves", "SSL E-Channel", {}, PluginStatus::hostedByShell),
         {},
         true,
         PluginStatus::hostedByShell},
        // Only the maker spelled exactly "Waves" has shells.
        {sampleProduct("waves", "WaveShell1", {"VST3"}), {}, false, PluginStatus::ok},
        {sampleProduct("Waves", "SSL EV2", {"VST3"}), {}, false, PluginStatus::ok},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.product.manufacturer + "|" + c.product.name + " " + std::string(rawValue(c.product.status)));
        const auto upgraded = migratedAlone(c.product, c.keys);
        EXPECT_EQ(upgraded.isProtected, c.isProtected);
        EXPECT_EQ(upgraded.status, c.status);
        // A product of one format has its bundle written out first.
        ASSERT_EQ(upgraded.bundles.has_value(), !c.product.formats.empty());
        for (const auto& bundle : upgraded.bundles.value_or(std::vector<PluginBundleRecord>{})) {
            EXPECT_EQ(bundle.isProtected, c.isProtected);
        }
    }
    chorus.bundles = std::vector<PluginBundleRecord>{};
    EXPECT_EQ(migratedAlone(chorus).bundles, std::vector<PluginBundleRecord>{});
}

// A record of an earlier build keeps its one format on the product itself:
// an upgrade writes that bundle out, and so does loading a quarantined one.
TEST(InventoryStateMigration, GivesASingleFormatLegacyRecordItsOneBundleOnUpgradeAndLoad) {
    auto legacy = legacyQuarantinedProduct("Acme", "Limiter", "VST2", "/Library/Audio/Plug-Ins/VST/Limiter.vst");
    legacy.architecture = "Intel";
    legacy.size = "3.3 MB";
    legacy.isProtected = true;
    auto expected = sampleBundle("VST2", legacy.path, true);
    expected.architecture = "Intel";
    expected.size = "3.3 MB";
    expected.originalPath = legacy.originalPath;
    expected.quarantinePath = legacy.quarantinePath;
    expected.quarantineOperationID = "OP";
    const auto upgraded = migratedAlone(legacy, {"acme|limiter"});
    EXPECT_EQ(upgraded.bundles, std::vector{expected});
    EXPECT_EQ(upgraded.status, PluginStatus::quarantined);
    for (const auto& formats : {std::vector<std::string>{"AU", "VST3"}, std::vector<std::string>{}}) {
        EXPECT_FALSE(migratedAlone(sampleProduct("Acme", "Limiter", formats)).bundles);
    }

    // Loaded as current: only a quarantined record of one format with its
    // operation is repaired; absent lists are empty, keys counted once.
    auto missingField = legacy;
    missingField.quarantineOperationID.reset();
    auto notQuarantined = legacy;
    notQuarantined.status = PluginStatus::partiallyQuarantined;
    auto twoFormats = legacy;
    twoFormats.formats = {"VST2", "VST3"};
    PersistedInventory state;
    state.schemaVersion = 3;
    state.plugins = {legacy, missingField, notQuarantined, twoFormats};
    state.protectedKeys = {"b|b", "a|a", "b|b"};
    const auto loaded = applyLoadedState(state);
    EXPECT_EQ(loaded.plugins[0].bundles, std::vector{expected});
    EXPECT_EQ(loaded.plugins[1], missingField);
    EXPECT_EQ(loaded.plugins[2], notQuarantined);
    EXPECT_EQ(loaded.plugins[3], twoFormats);
    EXPECT_EQ(loaded.protectedKeys, (std::set<std::string>{"a|a", "b|b"}));
    EXPECT_TRUE(loaded.trashedBundles.empty() && loaded.inaccessibleLocations.empty() &&
                loaded.permanentQuarantineRules.empty());
}

}  // namespace
}  // namespace kestrova
