// Permanent-quarantine enforcement through the real KestrovaHelper (session
// mode, on a sandbox): the old quarantined copy goes to the Finder Trash
// first, then the reinstalled copy into a fresh quarantine; every stop says
// what it left behind.
#include "../journal/DaemonStoreFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <algorithm>
#include <filesystem>

namespace kestrova::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Pair;
using ::testing::SizeIs;

class EnforcementTest : public DaemonStoreFixture {
protected:
    // A product whose VST3 bundle sits in quarantine while an installer has
    // put a new copy of the same file name into a vendor folder.
    struct Reinstall {
        Plugin product;
        std::string oldOriginal;    // where the quarantined copy came from
        std::string oldQuarantine;  // where it is now
        std::string reinstalled;    // the new copy
    };

    Reinstall reinstalledProduct(const std::string& name) const {
        Reinstall made;
        made.product = productOnDisk(layout(), "Acme", name, {"AU", "VST3"});
        auto& bundles = *made.product.bundles;
        made.oldOriginal = bundles[1].path;
        std::filesystem::remove_all(made.oldOriginal);
        bundles[1] = markedQuarantinedBundle(layout(), bundles[1], "old " + name);
        made.oldQuarantine = *bundles[1].quarantinePath;
        made.reinstalled = layout().system("/Library/Audio/Plug-Ins/VST3/Acme/" + name + ".vst3");
        makeBundleOnDisk(made.reinstalled, "new " + name);
        bundles.push_back(sampleBundle("VST3", made.reinstalled));
        return made;
    }

    static std::vector<PermanentQuarantineRule> acmeRule() { return {{"Acme", Date::now()}}; }

    std::vector<PermanentQuarantineMatch> matches() const {
        return findPermanentQuarantineMatches(store->plugins(), store->permanentQuarantineRules());
    }

    void enforce() {
        store->enforcePermanentQuarantine(matches(), service.get());
        settle();
    }

    const PluginBundleRecord* vst3(std::string_view name, bool quarantined) const {
        for (const auto& bundle : *findProduct(store->plugins(), name)->bundles) {
            if (bundle.format == "VST3" && bundle.isQuarantined() == quarantined) {
                return &bundle;
            }
        }
        return nullptr;
    }
    std::size_t countVST3(std::string_view name) const {
        const auto& bundles = *findProduct(store->plugins(), name)->bundles;
        return std::count_if(bundles.begin(), bundles.end(),
                             [](const auto& bundle) { return bundle.format == "VST3"; });
    }
};

TEST_F(EnforcementTest, AScanReplacesAReinstalledBundleAndKeepsTheOldCopyInTheTrashWithARecoveryRecord) {
    auto made = reinstalledProduct("Echo");
    // Before the scan the inventory knows only the quarantined copy.
    auto before = made.product;
    before.bundles->pop_back();
    writeProducts({before}, acmeRule());
    auto scanned = made.product;
    scanned.id = Uuid::random();
    scanned.bundles = std::vector<PluginBundleRecord>{sampleBundle("AU", (*made.product.bundles)[0].path),
                                                      sampleBundle("VST3", made.reinstalled)};
    open([scanned](auto&&...) { return ScanSummary{{scanned}, {}, false}; });
    connect();

    store->startScan({layout().systemRoot}, service.get());
    runUntil([&] { return !store->isScanning() && service->outstandingCalls() == 0; });

    EXPECT_THAT(hooks->sent, ElementsAre(Pair(HelperCall::moveToTrash, 1), Pair(HelperCall::quarantine, 1)));
    EXPECT_EQ(store->lastScanNotice(),
              "Permanent Quarantine replaced 1 exact bundle copy: old copies are in Finder Trash and replacements are "
              "safely quarantined.");
    ASSERT_THAT(store->trashedBundles(), SizeIs(1));
    EXPECT_EQ(store->trashedBundles().front().originalPath, made.oldOriginal);
    EXPECT_EQ(bundleMarker(store->trashedBundles().front().trashPath), "old Echo");
    EXPECT_EQ(countVST3("Echo"), 1u);
    const auto* replacement = vst3("Echo", true);
    ASSERT_TRUE(replacement);
    EXPECT_EQ(replacement->originalPath, made.reinstalled);
    EXPECT_EQ(bundleMarker(*replacement->quarantinePath), "new Echo");
    // Each transaction wrote its own history; enforcement adds none.
    ASSERT_GE(store->history().size(), 3u);
    EXPECT_EQ(store->history()[0].kind, HistoryKind::quarantine);
    EXPECT_EQ(store->history()[1].kind, HistoryKind::trash);
    EXPECT_EQ(store->history()[2].kind, HistoryKind::scan);
    EXPECT_EQ(savedState(), store->persistedSnapshot());
}

TEST_F(EnforcementTest, ThreeHundredMatchesGoInTwoBatchesEachTrashThenQuarantine) {
    std::vector<Plugin> products;
    for (int index = 1; index <= 300; ++index) {
        products.push_back(reinstalledProduct(fmt::format("Synth {:03}", index)).product);
    }
    writeProducts(std::move(products), acmeRule());
    open();
    connect();
    std::vector<std::string> notices;
    store->observe([&](std::string_view field) {
        if (field == storeField::lastScanNotice && store->lastScanNotice()) {
            notices.push_back(*store->lastScanNotice());
        }
    });
    ASSERT_THAT(matches(), SizeIs(300));
    enforce();

    EXPECT_THAT(hooks->sent, ElementsAre(Pair(HelperCall::moveToTrash, 256), Pair(HelperCall::quarantine, 256),
                                         Pair(HelperCall::moveToTrash, 44), Pair(HelperCall::quarantine, 44)));
    EXPECT_THAT(notices, ElementsAre(HasSubstr("replaced 256 exact bundle copies"),
                                     HasSubstr("replaced 44 exact bundle copies")));
    EXPECT_THAT(store->trashedBundles(), SizeIs(300));
    EXPECT_THAT(matches(), IsEmpty());
}

// The Trash step's reply names another transaction, or the reinstalled copy
// is removed by hand before it: the reinstalled copy is left as it is.
TEST_F(EnforcementTest, AStopAfterTheTrashStepLeavesTheReinstalledBundleAlone) {
    for (const bool removedByHand : {false, true}) {
        SCOPED_TRACE(removedByHand ? "removed by hand" : "Trash not verified");
        const auto made = reinstalledProduct(removedByHand ? "Solo" : "Echo");
        writeProducts({made.product}, acmeRule());
        open();
        connect();
        hooks->sent.clear();
        hooks->reply = [removedByHand](HelperCall call, Json reply) {
            if (call == HelperCall::moveToTrash && !removedByHand) {
                reply["transactionID"] = Uuid::random().string();
            }
            return reply;
        };
        hooks->beforeCall = [&](HelperCall call, const Json&) {
            if (call == HelperCall::moveToTrash && removedByHand) {
                std::filesystem::remove_all(made.reinstalled);
            }
        };
        enforce();

        EXPECT_THAT(hooks->sent, ElementsAre(Pair(HelperCall::moveToTrash, 1)));
        if (removedByHand) {
            EXPECT_FALSE(vst3("Solo", true));
            EXPECT_THAT(store->lastScanNotice().value_or(""), HasSubstr("did not move the reinstalled bundles"));
            EXPECT_FALSE(store->hasPendingPrivilegedTransaction());
            ASSERT_THAT(store->trashedBundles(), SizeIs(1));
            EXPECT_EQ(bundleMarker(store->trashedBundles().front().trashPath), "old Solo");
        } else {
            EXPECT_THAT(store->lastScanNotice().value_or(""), HasSubstr("The reinstalled bundle remains active."));
            EXPECT_EQ(store->notice()->title, "Trash Move Needs Attention");
            EXPECT_TRUE(TrashKind::pending(*store));
            EXPECT_EQ(bundleMarker(made.reinstalled), "new Echo");
            EXPECT_EQ(vst3("Echo", false)->path, made.reinstalled);
        }
        hooks->reply = nullptr;
        hooks->beforeCall = nullptr;
    }
}

TEST_F(EnforcementTest, AStopBetweenTheTrashAndTheQuarantineStepLeavesTheNewCopyInstalled) {
    if (!crashPointsEnabled()) {
        GTEST_SKIP() << "crash points are compiled out of this build";
    }
    const auto made = reinstalledProduct("Echo");
    writeProducts({made.product}, acmeRule());
    const auto status = runUntilCrash("enforcement.trash-committed", [&] {
        open();
        connect();
        enforce();
    });
    ASSERT_TRUE(killedByCrashPoint(status)) << "wait status " << status;

    open();
    EXPECT_FALSE(store->hasPendingPrivilegedTransaction());
    // The old copy is in the Finder Trash under a verified recovery record;
    // the new one still active where the installer put it.
    ASSERT_THAT(store->trashedBundles(), SizeIs(1));
    const auto& record = store->trashedBundles().front();
    EXPECT_EQ(record.originalPath, made.oldOriginal);
    EXPECT_EQ(bundleMarker(record.trashPath), "old Echo");
    EXPECT_TRUE(store->isVerifiedTrashRecord(record));
    EXPECT_EQ(countVST3("Echo"), 1u);
    ASSERT_TRUE(vst3("Echo", false));
    EXPECT_EQ(vst3("Echo", false)->path, made.reinstalled);
    EXPECT_EQ(bundleMarker(made.reinstalled), "new Echo");
    EXPECT_EQ(savedState().trashedBundles, store->trashedBundles());
    // The next scan would find nothing left to replace: the old copy is gone.
    EXPECT_THAT(matches(), IsEmpty());
}

}  // namespace
}  // namespace kestrova::testing
