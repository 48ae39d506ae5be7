// The store's own records and rules: protection of products and formats,
// Trash recovery records, permanent-quarantine rules and matches.
#include "../StoreSandbox.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kestrova {
namespace {

using ::testing::ElementsAre;
using testing::findProduct;
using ::testing::IsEmpty;
using testing::quarantined;
using testing::sampleBundle;
using testing::sampleProduct;
using testing::scannedProduct;
using testing::showsNotice;
using testing::StoreSandbox;
using testing::trashRecord;

// A store loaded from a state file with the products a test made for it.
struct ProtectionFixture : StoreSandbox {
    std::unique_ptr<PluginInventoryStore> store;

    PluginInventoryStore& load(std::vector<Plugin> plugins) {
        writeProducts(std::move(plugins));
        store = open();
        return *store;
    }
    const Plugin& product(std::string_view name) const { return *findProduct(store->plugins(), name); }
    PluginBundleSelection selection(std::string_view name, std::size_t bundle) const {
        const auto& found = product(name);
        return {found.id, (*found.bundles)[bundle].id()};
    }
};

TEST(StoreProtection, AProductIsProtectedByItsKeyWhereverItWasFound) {
    ProtectionFixture fixture;
    auto first = scannedProduct(fixture, "FabFilter", "Pro-Q 3", {"AU", "VST3"});
    auto second = scannedProduct(fixture, "FabFilter", "Pro-Q 3", {"CLAP"});
    auto partlyQuarantined = scannedProduct(fixture, "Zeta", "Z", {"AU", "VST3"});
    (*partlyQuarantined.bundles)[0] = quarantined(fixture, (*partlyQuarantined.bundles)[0], "OP");
    partlyQuarantined.status = PluginStatus::partiallyQuarantined;
    auto legacy = sampleProduct("Acme", "A", {"VST3"});
    auto& store = fixture.load({first, second, partlyQuarantined, legacy});

    // Both records of the key, and every bundle of each, are protected (the
    // texts and the record of one product: the command line's recording).
    store.setProtection(first, true);
    for (const auto& product : store.plugins()) {
        if (product.name == "Pro-Q 3") {
            EXPECT_EQ(product.status, PluginStatus::protected_);
            for (const auto& bundle : *product.bundles) {
                EXPECT_TRUE(bundle.isProtected);
            }
        }
    }
    EXPECT_EQ(store.protectedPluginCount(), 2);

    // A quarantined bundle keeps the product's quarantine status; a record
    // without bundles gets its one bundle written out first.
    store.setProtection(partlyQuarantined, true);
    EXPECT_EQ(fixture.product("Z").status, PluginStatus::partiallyQuarantined);
    store.setProtection(legacy, true);
    ASSERT_TRUE(fixture.product("A").bundles);
    EXPECT_TRUE(fixture.product("A").bundles->front().isProtected);
    EXPECT_EQ(fixture.savedState().protectedKeys, (std::vector<std::string>{"acme|a", "fabfilter|pro-q 3", "zeta|z"}));

    // A key that matches no product is still recorded.
    store.setProtection(sampleProduct("Gone", "Ghost", {"AU"}), true);
    EXPECT_TRUE(store.protectedKeys().contains("gone|ghost"));
    EXPECT_EQ(store.history().front().plugin, "Ghost");
}

TEST(StoreProtection, MandatoryProtectionIsNeverRemovedAndBatchesCountDistinctKeys) {
    ProtectionFixture fixture;
    auto shell = scannedProduct(fixture, "Waves", "WaveShell1-VST3 14.0", {"VST3"}, PluginStatus::sharedShell);
    shell.isProtected = true;
    auto hosted = sampleProduct("Waves", "CLA-2A", {}, PluginStatus::hostedByShell);
    hosted.isProtected = true;
    auto a = scannedProduct(fixture, "Acme", "A", {"AU"});
    auto b = scannedProduct(fixture, "Acme", "B", {"AU"});
    auto& store = fixture.load({a, b, shell, hosted});
    const auto writes = fixture.disk.attemptedWrites().size();

    store.setProtection(hosted, false);
    store.setProtectionForBatch({shell, hosted}, false);
    EXPECT_FALSE(store.notice());
    EXPECT_THAT(store.history(), IsEmpty());
    EXPECT_EQ(fixture.disk.attemptedWrites().size(), writes);

    store.setProtectionForBatch({a, b, fixture.product("A")}, true);
    EXPECT_TRUE(showsNotice(store, "Plugins Protected"));
    EXPECT_THAT(store.notice()->message, ::testing::StartsWith("2 selected plugins"));
    EXPECT_EQ(store.history().size(), 2u);

    store.setProtectionForBatch({a, b, shell}, false);
    EXPECT_THAT(store.notice()->message, ::testing::HasSubstr(" 2 selected plugins"));
    EXPECT_EQ(store.history().size(), 4u);
    EXPECT_EQ(store.history().front().kind, HistoryKind::protectionRemoved);
    EXPECT_TRUE(fixture.product("WaveShell1-VST3 14.0").isProtected);
    EXPECT_FALSE(fixture.product("A").isProtected);

    EXPECT_FALSE(store.setBundleProtection(fixture.selection("WaveShell1-VST3 14.0", 0), false));
    EXPECT_TRUE(showsNotice(store, "Protection Change Blocked"));
    EXPECT_FALSE(store.setBundleProtection(fixture.selection("WaveShell1-VST3 14.0", 0), true));
}

TEST(StoreProtection, OneFormatIsProtectedOnItsOwnAndStaleSelectionsAreRefused) {
    ProtectionFixture fixture;
    auto& store = fixture.load(
        {scannedProduct(fixture, "Acme", "Alpha", {"AU", "VST3"}), sampleProduct("Acme", "Legacy", {"VST2"})});

    // One format on, then again (what the first sets and saves: the command line's recording).
    EXPECT_TRUE(store.setBundleProtection(fixture.selection("Alpha", 1), true));
    EXPECT_TRUE(store.setBundleProtection(fixture.selection("Alpha", 1), true));
    EXPECT_TRUE(showsNotice(store, "Format Already Protected"));
    EXPECT_EQ(store.history().size(), 1u);

    // Unprotecting one format of a product protected as a whole drops its key.
    store.setProtection(fixture.product("Alpha"), true);
    EXPECT_TRUE(store.setBundleProtection(fixture.selection("Alpha", 0), false));
    EXPECT_FALSE(store.protectedKeys().contains("acme|alpha"));
    EXPECT_TRUE(fixture.product("Alpha").isProtected);
    EXPECT_TRUE(store.setBundleProtection(fixture.selection("Alpha", 1), false));
    EXPECT_FALSE(fixture.product("Alpha").isProtected);
    EXPECT_EQ(fixture.product("Alpha").status, PluginStatus::ok);

    // The implied bundle of an older record is written out and saved.
    const auto legacy = fixture.product("Legacy");
    EXPECT_FALSE(legacy.bundles);
    const auto legacyBundle = bundleKey("VST2", legacy.path);
    EXPECT_TRUE(store.setBundleProtection({legacy.id, legacyBundle}, true));
    const auto saved = fixture.savedState();
    const auto* savedLegacy = findProduct(saved.plugins, "Legacy");
    ASSERT_TRUE(savedLegacy->bundles);
    EXPECT_TRUE(savedLegacy->bundles->front().isProtected);

    EXPECT_FALSE(store.setBundleProtection({Uuid::random(), legacyBundle}, false));
    EXPECT_EQ(store.notice()->message, "This plugin record changed. Run a new scan and try again.");
    EXPECT_EQ(store.lastOperationError(), store.notice()->message);
    EXPECT_FALSE(store.setBundleProtection({legacy.id, "VST2|/elsewhere"}, false));
    EXPECT_EQ(store.notice()->message, "This format record changed. Run a new scan and try again.");
}

TEST(StoreProtection, AFormatChangeThatCannotBeSavedIsUndoneCompletely) {
    ProtectionFixture fixture;
    auto alpha = scannedProduct(fixture, "Acme", "Alpha", {"AU", "VST3"});
    auto legacy = sampleProduct("Acme", "Legacy", {"VST2"});
    auto& store = fixture.load({alpha, legacy});
    store.setProtection(fixture.product("Alpha"), true);
    const auto before = store.persistedSnapshot();
    const auto text = fixture.stateText();
    const auto token = store.inventoryRevision();

    // The state folder refuses every write.
    fixture.disk.failWritesUnder(fixture.layout.applicationSupport() + "/Kestrova");
    EXPECT_FALSE(store.setBundleProtection(fixture.selection("Alpha", 0), false));
    EXPECT_FALSE(store.setBundleProtection({legacy.id, bundleKey("VST2", legacy.path)}, true));
    EXPECT_EQ(store.persistedSnapshot(), before);
    EXPECT_EQ(store.inventoryRevision(), token);
    EXPECT_EQ(fixture.stateText(), text);
    ASSERT_TRUE(store.lastStorageError());
    EXPECT_TRUE(showsNotice(store, "Protection Change Not Saved", {}, NoticeStyle::warning));
}

// How a record's state follows the disk, and what reconciling it records:
// the model's Trash recovery tests; here the store's saving of it, once.
TEST(StoreTrashRecords, ReconcilesEachChangeOnceAndSavesIt) {
    StoreSandbox sandbox;
    auto state = testing::minimalState();
    const auto ready =
        trashRecord(sandbox.layout, "Ready", "VST3", sandbox.system("/Library/Audio/Plug-Ins/VST3/Ready.vst3"), 100);
    const auto gone = trashRecord(sandbox.layout, "Gone", "AU",
                                  sandbox.system("/Library/Audio/Plug-Ins/Components/Gone.component"), 200);
    state.trashedBundles = std::vector{ready, gone};
    sandbox.writeState(state);
    std::filesystem::create_directories(ready.trashPath);
    auto store = sandbox.open();

    EXPECT_EQ(store->trashRecoveryEntries()[0].state, TrashRecoveryState::missingFromTrash);
    EXPECT_EQ(store->readyTrashRecoveryCount(), 1);

    store->reconcileTrashRecords();
    ASSERT_EQ(store->history().size(), 1u);
    EXPECT_EQ(store->history().front().kind, HistoryKind::missingTrashItem);
    EXPECT_TRUE(store->trashedBundles()[1].missingDetectedDate);
    EXPECT_FALSE(store->notice());
    EXPECT_EQ(sandbox.savedState().trashedBundles, std::vector{store->trashedBundles()});

    const auto writes = sandbox.disk.attemptedWrites().size();
    store->reconcileTrashRecords();
    EXPECT_EQ(store->history().size(), 1u);
    EXPECT_EQ(sandbox.disk.attemptedWrites().size(), writes);

    std::filesystem::create_directories(gone.originalPath);
    store->reconcileTrashRecords();
    EXPECT_EQ(store->history().front().kind, HistoryKind::externalRestore);
    EXPECT_FALSE(store->trashedBundles()[1].isOpen());
    EXPECT_TRUE(store->trashedBundles()[0].isOpen());
}

TEST(StoreRules, OneRulePerManufacturerKeyKeptOnlyWhenSaved) {
    StoreSandbox sandbox;
    auto state = testing::minimalState();
    state.plugins = {sampleProduct("Acme", "A", {"AU"}), sampleProduct("acme", "B", {"AU"}),
                     sampleProduct("Beta", "C", {"AU"}), sampleProduct("Acme", "D", {"AU"})};
    sandbox.writeState(state);
    auto store = sandbox.open();
    EXPECT_THAT(store->permanentQuarantineManufacturers(), ElementsAre("Acme", "Beta", "acme"));

    store->setPermanentQuarantine("Universal Audio, Inc.", true);
    store->setPermanentQuarantine("UAD", true);
    store->setPermanentQuarantine("Acme", true);
    ASSERT_EQ(store->permanentQuarantineRules().size(), 2u);
    EXPECT_EQ(store->permanentQuarantineRules()[0].manufacturer, "Acme");
    EXPECT_EQ(store->permanentQuarantineRules()[1].manufacturer, "UAD");
    EXPECT_TRUE(store->isPermanentQuarantineEnabled(" universal audio "));
    EXPECT_TRUE(store->isPermanentQuarantineEnabled("ÀCME"));
    EXPECT_FALSE(store->isPermanentQuarantineEnabled("Universal Audio Pro"));
    EXPECT_EQ(sandbox.savedState().permanentQuarantineRules, store->permanentQuarantineRules());
    EXPECT_THAT(store->history(), IsEmpty());

    store->setPermanentQuarantine("universal audio", false);
    EXPECT_EQ(store->permanentQuarantineRules().size(), 1u);

    const auto rules = store->permanentQuarantineRules();
    sandbox.disk.failWritesUnder(sandbox.layout.applicationSupport());
    store->setPermanentQuarantine("Zed", true);
    EXPECT_EQ(store->permanentQuarantineRules(), rules);
    EXPECT_TRUE(showsNotice(*store, "Rule Change Not Saved"));
    EXPECT_TRUE(store->lastStorageError());
    EXPECT_EQ(sandbox.savedState().permanentQuarantineRules, rules);
}

TEST(PermanentQuarantineMatching, MatchesOnlyOneInstalledAgainstOneQuarantinedCopy) {
    StoreSandbox sandbox;
    const auto product = [&](std::string manufacturer, std::string name, std::vector<std::string> activeFiles,
                             std::vector<std::string> retiredFiles, PluginStatus status = PluginStatus::ok) {
        auto plugin = sampleProduct(std::move(manufacturer), std::move(name), {"VST3"}, status);
        std::vector<PluginBundleRecord> bundles;
        for (const auto& file : activeFiles) {
            bundles.push_back(sampleBundle("VST3", sandbox.layout.user("Library/Audio/Plug-Ins/VST3/" + file)));
        }
        int operation = 0;
        for (const auto& file : retiredFiles) {
            bundles.push_back(quarantined(sandbox,
                                          sampleBundle("VST3", sandbox.system("/Library/Audio/Plug-Ins/VST3/" + file)),
                                          "OP-" + std::to_string(++operation)));
        }
        plugin.bundles = std::move(bundles);
        return plugin;
    };
    auto alpha = product("Acme ", "Alpha", {"ALPHA.vst3"}, {"Alpha.vst3"});
    auto abbey = product("Waves", "Abbey", {"Abbey.vst3"}, {"Abbey.vst3"});
    auto protectedProduct = product("Acme", "Delta", {"Delta.vst3"}, {"Delta.vst3"});
    protectedProduct.isProtected = true;
    auto protectedBundle = product("Acme", "Epsilon", {"Epsilon.vst3"}, {"Epsilon.vst3"});
    protectedBundle.bundles->front().isProtected = true;
    auto legacy = sampleProduct("Acme", "Legacy", {"VST3"}, PluginStatus::quarantined);
    legacy.quarantinePath = "/q/OP/Legacy.vst3";
    legacy.quarantineOperationID = "OP";
    // The same plug-in, reinstalled under a name spelt another way.
    auto zetaInstalled = product("Acme", "Zéta Verb", {"Zeta.vst3"}, {});
    auto zetaQuarantined = product("Acme", " zeta verb ", {}, {"Zeta.vst3"});
    const std::vector<Plugin> plugins{
        abbey,
        alpha,
        product("Acme", "Alphb", {"Alpha.vst3"}, {}),
        product("Acme", "Beta", {"Beta.vst3", "beta.VST3"}, {"Beta.vst3"}),
        product("Acme", "Gamma", {"Gamma.vst3"}, {"Gamma.vst3", "GAMMA.vst3"}),
        protectedProduct,
        protectedBundle,
        legacy,
        product("Waves", "WaveShell1-VST3 14.0", {"Shell.vst3"}, {"Shell.vst3"}),
        product("Waves", "CLA-2A", {"CLA.vst3"}, {"CLA.vst3"}, PluginStatus::hostedByShell),
        product("Zed", "Unruled", {"Unruled.vst3"}, {"Unruled.vst3"}),
        zetaInstalled,
        zetaQuarantined,
    };
    const std::vector<PermanentQuarantineRule> rules{{"ACME", Date{}}, {"Waves", Date{}}};

    const auto matches = findPermanentQuarantineMatches(plugins, rules);
    ASSERT_EQ(matches.size(), 3u);
    // By manufacturer as written, then name: "Acme" before "Acme ".
    EXPECT_EQ(matches[0].active, (PluginBundleSelection{zetaInstalled.id, zetaInstalled.bundles->front().id()}));
    EXPECT_EQ(matches[0].retired, (PluginBundleSelection{zetaQuarantined.id, zetaQuarantined.bundles->front().id()}));
    EXPECT_EQ(matches[1].pluginName, "Alpha");
    EXPECT_EQ(matches[1].manufacturer, "Acme ");
    EXPECT_EQ(matches[1].format, "VST3");
    EXPECT_EQ(matches[1].active, (PluginBundleSelection{alpha.id, (*alpha.bundles)[0].id()}));
    EXPECT_EQ(matches[1].retired, (PluginBundleSelection{alpha.id, (*alpha.bundles)[1].id()}));
    EXPECT_EQ(matches[2].pluginName, "Abbey");
    EXPECT_THAT(findPermanentQuarantineMatches(plugins, {}), IsEmpty());
}

}  // namespace
}  // namespace kestrova
