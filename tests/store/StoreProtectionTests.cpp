#include "StoreSandbox.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kestrova {
namespace {

using ::testing::ElementsAre;
using testing::findProduct;
using ::testing::IsEmpty;
using testing::quarantined;
using testing::sampleProduct;
using testing::scannedProduct;
using testing::StoreSandbox;

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

    // Both records of the key, and every bundle of each, are protected.
    store.setProtection(first, true);
    for (const auto& product : store.plugins()) {
        if (product.name == "Pro-Q 3") {
            EXPECT_TRUE(product.isProtected);
            EXPECT_EQ(product.status, PluginStatus::protected_);
            for (const auto& bundle : *product.bundles) {
                EXPECT_TRUE(bundle.isProtected);
            }
        }
    }
    EXPECT_EQ(store.protectedKeys(), std::set<std::string>{"fabfilter|pro-q 3"});
    ASSERT_EQ(store.history().size(), 1u);
    EXPECT_EQ(store.history().front().kind, HistoryKind::protection);
    EXPECT_EQ(store.history().front().plugin, "Pro-Q 3");
    EXPECT_EQ(store.history().front().detail, "All detected formats protected");
    EXPECT_FALSE(store.history().front().format);
    EXPECT_EQ(store.notice()->title, "Plugin Protected");
    EXPECT_EQ(store.notice()->message, "Pro-Q 3 is locked against quarantine and Trash.");
    EXPECT_EQ(store.protectedPluginCount(), 2);

    // A quarantined bundle keeps the product's quarantine status; a record
    // without bundles gets its one bundle written out first.
    store.setProtection(partlyQuarantined, true);
    EXPECT_EQ(fixture.product("Z").status, PluginStatus::partiallyQuarantined);
    store.setProtection(legacy, true);
    ASSERT_TRUE(fixture.product("A").bundles);
    EXPECT_TRUE(fixture.product("A").bundles->front().isProtected);
    EXPECT_EQ(fixture.savedState().protectedKeys, (std::vector<std::string>{"acme|a", "fabfilter|pro-q 3", "zeta|z"}));

    store.setProtection(fixture.product("Pro-Q 3"), false);
    EXPECT_FALSE(store.protectedKeys().contains("fabfilter|pro-q 3"));
    EXPECT_FALSE(fixture.product("Pro-Q 3").isProtected);
    EXPECT_EQ(fixture.product("Pro-Q 3").status, PluginStatus::ok);
    EXPECT_EQ(store.history().front().kind, HistoryKind::protectionRemoved);
    EXPECT_EQ(store.history().front().detail, "Manual protection removed");
    EXPECT_EQ(store.notice()->title, "Protection Removed");
    EXPECT_EQ(store.notice()->message, "No files were moved.");

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
    EXPECT_EQ(store.notice()->title, "Plugins Protected");
    EXPECT_EQ(store.notice()->message, "2 selected plugins are locked against quarantine and Trash.");
    EXPECT_EQ(store.history().size(), 2u);
    EXPECT_EQ(store.history().front().detail, "Protected as part of a batch selection");

    store.setProtectionForBatch({a, b, shell}, false);
    EXPECT_EQ(store.notice()->title, "Protection Removed");
    EXPECT_EQ(store.notice()->message, "Protection was removed from 2 selected plugins. No files were moved.");
    EXPECT_EQ(store.history().size(), 4u);
    EXPECT_EQ(store.history().front().kind, HistoryKind::protectionRemoved);
    EXPECT_EQ(store.history().front().detail, "Protection removed as part of a batch selection");
    EXPECT_TRUE(fixture.product("WaveShell1-VST3 14.0").isProtected);
    EXPECT_FALSE(fixture.product("A").isProtected);

    EXPECT_FALSE(store.setBundleProtection(fixture.selection("WaveShell1-VST3 14.0", 0), false));
    EXPECT_EQ(store.notice()->title, "Protection Change Blocked");
    EXPECT_EQ(store.notice()->message, "Shared shells and WaveShell-hosted products have mandatory protection.");
    EXPECT_FALSE(store.setBundleProtection(fixture.selection("WaveShell1-VST3 14.0", 0), true));
}

TEST(StoreProtection, OneFormatIsProtectedOnItsOwnAndStaleSelectionsAreRefused) {
    ProtectionFixture fixture;
    auto& store = fixture.load(
        {scannedProduct(fixture, "Acme", "Alpha", {"AU", "VST3"}), sampleProduct("Acme", "Legacy", {"VST2"})});
    const auto token = store.inventoryRevision();

    EXPECT_TRUE(store.setBundleProtection(fixture.selection("Alpha", 1), true));
    const auto& alpha = fixture.product("Alpha");
    EXPECT_TRUE((*alpha.bundles)[1].isProtected);
    EXPECT_FALSE((*alpha.bundles)[0].isProtected);
    EXPECT_TRUE(alpha.isProtected);
    EXPECT_EQ(alpha.status, PluginStatus::partiallyProtected);
    EXPECT_THAT(store.protectedKeys(), IsEmpty());
    EXPECT_EQ(store.notice()->title, "VST3 Format Protected");
    EXPECT_EQ(store.notice()->message, "Only the selected VST3 bundle is locked against file actions.");
    EXPECT_EQ(store.history().front().kind, HistoryKind::formatProtection);
    EXPECT_EQ(store.history().front().detail, "VST3 format protected");
    EXPECT_EQ(store.history().front().format, "VST3");
    EXPECT_NE(store.inventoryRevision(), token);
    EXPECT_EQ(fixture.savedState().plugins, store.plugins());

    EXPECT_TRUE(store.setBundleProtection(fixture.selection("Alpha", 1), true));
    EXPECT_EQ(store.notice()->title, "Format Already Protected");
    EXPECT_EQ(store.notice()->message, "VST3 already has the requested protection state. No files were moved.");
    EXPECT_EQ(store.history().size(), 1u);

    // Unprotecting one format of a product protected as a whole drops its key.
    store.setProtection(fixture.product("Alpha"), true);
    EXPECT_TRUE(store.setBundleProtection(fixture.selection("Alpha", 0), false));
    EXPECT_FALSE(store.protectedKeys().contains("acme|alpha"));
    EXPECT_TRUE(fixture.product("Alpha").isProtected);
    EXPECT_EQ(store.notice()->title, "AU Protection Removed");
    EXPECT_EQ(store.notice()->message, "Only the selected AU bundle changed. No files were moved.");
    EXPECT_EQ(store.history().front().detail, "AU format protection removed; no files moved");
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
    EXPECT_EQ(store.notice()->title, "Protection Change Not Saved");
    EXPECT_EQ(store.notice()->message,
              "Kestrova restored the previous protection state because the local inventory could not be saved.");
    EXPECT_EQ(store.notice()->style, NoticeStyle::warning);
}

}  // namespace
}  // namespace kestrova
