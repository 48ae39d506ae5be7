#include "StoreSandbox.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kestrova {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::quarantined;
using testing::sampleBundle;
using testing::sampleProduct;
using testing::scannedProduct;
using testing::StoreSandbox;
using testing::trashRecord;

TEST(StoreTrashRecords, EvaluatesFromTheDiskAndReconcilesEachChangeOnce) {
    StoreSandbox sandbox;
    auto state = testing::minimalState();
    const auto ready =
        trashRecord(sandbox.layout, "Ready", "VST3", sandbox.system("/Library/Audio/Plug-Ins/VST3/Ready.vst3"), 100);
    const auto gone = trashRecord(sandbox.layout, "Gone", "AU",
                                  sandbox.system("/Library/Audio/Plug-Ins/Components/Gone.component"), 200);
    state.trashedBundles = std::vector{ready, gone};
    sandbox.writeState(state);
    StoreSandbox::makeFolderAt(ready.trashPath);
    auto store = sandbox.open();

    const auto entries = store->trashRecoveryEntries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].record, gone);
    EXPECT_EQ(entries[0].state, TrashRecoveryState::missingFromTrash);
    EXPECT_EQ(entries[1].state, TrashRecoveryState::readyToRestore);
    EXPECT_EQ(store->readyTrashRecoveryCount(), 1);
    EXPECT_TRUE(store->isVerifiedTrashRecord(ready));

    store->reconcileTrashRecords();
    ASSERT_EQ(store->history().size(), 1u);
    EXPECT_EQ(store->history().front().kind, HistoryKind::missingTrashItem);
    EXPECT_EQ(store->history().front().format, "AU");
    EXPECT_TRUE(store->trashedBundles()[1].missingDetectedDate);
    EXPECT_TRUE(store->trashedBundles()[1].isOpen());
    EXPECT_FALSE(store->notice());
    EXPECT_EQ(sandbox.savedState().trashedBundles, std::vector{store->trashedBundles()});

    const auto writes = sandbox.disk.attemptedWrites().size();
    store->reconcileTrashRecords();
    EXPECT_EQ(store->history().size(), 1u);
    EXPECT_EQ(sandbox.disk.attemptedWrites().size(), writes);

    StoreSandbox::makeFolderAt(gone.originalPath);
    store->reconcileTrashRecords();
    EXPECT_EQ(store->history().front().kind, HistoryKind::externalRestore);
    EXPECT_FALSE(store->trashedBundles()[1].isOpen());
    EXPECT_TRUE(store->trashedBundles()[0].isOpen());
}

TEST(StoreTrashRecords, LinuxNoticesAndErrorsNameTheTrashAsTheDesktopDoes) {
    StoreSandbox sandbox;
    sandbox.layout.profile = PlatformProfile::gnuLinux;
    const auto store = sandbox.open();
    EXPECT_FALSE(store->prepareTrashRestore({}));
    ASSERT_TRUE(store->notice());
    EXPECT_EQ(store->notice()->title, "Trash Restore Blocked");
    EXPECT_EQ(store->notice()->message, "No Trash recovery records are selected.");
    EXPECT_EQ(store->lastOperationError(), "No Trash recovery records are selected.");
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
    EXPECT_EQ(store->notice()->title, "Permanent Quarantine Enabled");
    EXPECT_EQ(store->notice()->message,
              "Exact future replacements from Universal Audio, Inc. will be re-quarantined after a verified scan.");
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
    EXPECT_EQ(store->notice()->title, "Permanent Quarantine Removed");
    EXPECT_EQ(store->notice()->message,
              "Future replacements from universal audio will remain installed until reviewed.");
    EXPECT_EQ(store->permanentQuarantineRules().size(), 1u);

    const auto rules = store->permanentQuarantineRules();
    sandbox.disk.failWritesUnder(sandbox.layout.applicationSupport());
    store->setPermanentQuarantine("Zed", true);
    EXPECT_EQ(store->permanentQuarantineRules(), rules);
    EXPECT_EQ(store->notice()->title, "Rule Change Not Saved");
    EXPECT_EQ(store->notice()->message,
              "Kestrova restored the prior permanent-quarantine rule because local state could not be saved.");
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
    };
    const std::vector<PermanentQuarantineRule> rules{{"ACME", Date{}}, {"Waves", Date{}}};

    const auto matches = findPermanentQuarantineMatches(plugins, rules);
    ASSERT_EQ(matches.size(), 2u);
    EXPECT_EQ(matches[0].pluginName, "Alpha");
    EXPECT_EQ(matches[0].manufacturer, "Acme ");
    EXPECT_EQ(matches[0].format, "VST3");
    EXPECT_EQ(matches[0].active, (PluginBundleSelection{alpha.id, (*alpha.bundles)[0].id()}));
    EXPECT_EQ(matches[0].retired, (PluginBundleSelection{alpha.id, (*alpha.bundles)[1].id()}));
    EXPECT_EQ(matches[1].pluginName, "Abbey");
    EXPECT_THAT(findPermanentQuarantineMatches(plugins, {}), IsEmpty());
}

TEST(StoreQueries, CountActiveProductsQuarantinedBundlesAndHistoryOperations) {
    StoreSandbox sandbox;
    auto mixed = scannedProduct(sandbox, "Acme", "Mixed", {"AU", "VST3"});
    (*mixed.bundles)[1] = quarantined(sandbox, (*mixed.bundles)[1], "OP-1");
    mixed.status = PluginStatus::partiallyQuarantined;
    mixed.isProtected = true;
    auto gone = scannedProduct(sandbox, "Acme", "Gone", {"AU"});
    (*gone.bundles)[0] = quarantined(sandbox, (*gone.bundles)[0], "OP-2");
    gone.status = PluginStatus::quarantined;
    auto legacy = sampleProduct("Acme", "Legacy", {"AU", "VST3"}, PluginStatus::quarantined);
    auto hosted = sampleProduct("Waves", "CLA-2A", {}, PluginStatus::hostedByShell);
    hosted.isProtected = true;
    auto state = testing::minimalState();
    state.plugins = {mixed, gone, legacy, hosted};
    state.history = {makeHistoryItem("A", HistoryKind::protection, "x", "9:00"),
                     makeHistoryItem("All Plugins", HistoryKind::scan, "y", "9:00")};
    sandbox.writeState(state);
    auto store = sandbox.open();

    std::vector<std::string> active;
    for (const auto& product : store->activePlugins()) {
        active.push_back(product.name);
    }
    EXPECT_THAT(active, ElementsAre("Mixed", "CLA-2A"));
    EXPECT_EQ(store->quarantinedBundleCount(), 2);
    EXPECT_EQ(store->protectedPluginCount(), 2);
    EXPECT_EQ(store->historyOperationCount(), 2);
    EXPECT_EQ(store->readyTrashRecoveryCount(), 0);
}

}  // namespace
}  // namespace kestrova
