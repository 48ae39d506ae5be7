#include "../TransactionFixtures.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace kestrova {
namespace {

using ::testing::ElementsAre;
using testing::findBundle;
using testing::findProduct;
using testing::quarantined;
using testing::sampleBundle;
using testing::sampleProduct;
using testing::scannedProduct;
using testing::showsNotice;
using testing::StoreSandbox;
using testing::trashRecord;

std::vector<HistoryKind> kinds(const std::vector<HistoryItem>& history) {
    std::vector<HistoryKind> result;
    for (const auto& item : history) {
        result.push_back(item.kind);
    }
    return result;
}

// The state before the first scan: a product with one quarantined and one
// active format, a product whose only bundle is quarantined, and a Trash
// record of a bundle someone will put back by hand.
struct TwoScans {
    StoreSandbox sandbox;
    Plugin alpha = scannedProduct(sandbox, "Acme", "Alpha", {"AU", "VST3"});
    Plugin delta = scannedProduct(sandbox, "Other", "Delta", {"VST2"});
    TrashedBundleRecord echoRecord;

    TwoScans() {
        auto state = testing::minimalState();
        (*alpha.bundles)[1] = quarantined(sandbox, (*alpha.bundles)[1], "OP-1");
        alpha.status = PluginStatus::partiallyQuarantined;
        (*delta.bundles)[0] = quarantined(sandbox, (*delta.bundles)[0], "OP-2");
        delta.status = PluginStatus::quarantined;
        state.plugins = {alpha, delta};
        echoRecord =
            trashRecord(sandbox.layout, "Echo", "VST3", sandbox.system("/Library/Audio/Plug-Ins/VST3/Echo.vst3"));
        echoRecord.manufacturer = "Other";
        state.trashedBundles = std::vector{echoRecord};
        sandbox.writeState(state);
    }

    // The first scan has Old; the second has lost it and found Echo (put back
    // from the Trash by hand) and Nova.
    std::vector<Plugin> scan(bool second) const {
        std::vector<Plugin> found{scannedProduct(sandbox, "Acme", "Alpha", {"AU", "VST3"}),
                                  scannedProduct(sandbox, "Acme", "Beta", {"AU", "VST3"}),
                                  scannedProduct(sandbox, "Other", "Gamma", {"VST3", "CLAP"})};
        if (second) {
            found.push_back(scannedProduct(sandbox, "Other", "Echo", {"VST3"}));
            found.push_back(scannedProduct(sandbox, "Zeta", "Nova", {"AU"}));
        } else {
            found.push_back(scannedProduct(sandbox, "Other", "Old", {"AAX"}));
        }
        return found;
    }
};

// The texts a scan prints and the state it leaves after the demo cycle are in
// the command line's recording; here the cases that cycle does not reach.
TEST(StoreScan, MergesTwoScansKeepingQuarantineAndProtectionAndCountingChanges) {
    TwoScans fixture;
    auto& sandbox = fixture.sandbox;
    auto store = sandbox.open();

    // The first scan ever: nothing is counted.
    sandbox.nextScan->plugins = fixture.scan(false);
    sandbox.scan(*store);
    EXPECT_EQ(store->lastReconciliation(), (ScanReconciliationSummary{0, 0, 0, false}));
    EXPECT_THAT(kinds(store->history()), ElementsAre(HistoryKind::scan));

    // The reinstalled VST3 at Alpha's original location gives way to the
    // quarantine record; Delta, no longer on disk, keeps its quarantined bundle.
    const auto* alpha = findProduct(store->plugins(), "Alpha");
    ASSERT_EQ(alpha->bundles->size(), 2u);
    EXPECT_EQ(*findBundle(store->plugins(), "Alpha", "VST3"), (*fixture.alpha.bundles)[1]);
    EXPECT_EQ(alpha->status, PluginStatus::partiallyQuarantined);
    const auto* delta = findProduct(store->plugins(), "Delta");
    EXPECT_EQ(delta->id, fixture.delta.id);
    EXPECT_EQ(delta->bundles, fixture.delta.bundles);

    // Protect one product as a whole and one format of another.
    store->setProtection(*findProduct(store->plugins(), "Beta"), true);
    ASSERT_TRUE(store->setBundleProtection(testing::selectionOf(*store, "Gamma", "VST3"), true));
    const auto gammaID = findProduct(store->plugins(), "Gamma")->id;

    // Second scan: Old is gone, Nova is new, Echo was put back from the Trash by hand.
    sandbox.nextScan->plugins = fixture.scan(true);
    sandbox.scan(*store);
    EXPECT_EQ(store->lastReconciliation(), (ScanReconciliationSummary{2, 1, 1, false}));
    EXPECT_THAT(kinds(store->history()),
                ElementsAre(HistoryKind::scan, HistoryKind::reconciliation, HistoryKind::externalRestore,
                            HistoryKind::formatProtection, HistoryKind::protection, HistoryKind::scan));
    EXPECT_EQ(store->history()[2].detail,
              "Detected VST3 bundle restored outside Kestrova at " + fixture.echoRecord.originalPath);
    EXPECT_EQ(store->trashedBundles().front().reconciledDate, store->lastScanDate());

    EXPECT_EQ(findProduct(store->plugins(), "Beta")->status, PluginStatus::protected_);
    EXPECT_TRUE(findBundle(store->plugins(), "Beta", "AU")->isProtected);
    const auto* gamma = findProduct(store->plugins(), "Gamma");
    EXPECT_NE(gamma->id, gammaID);  // a new record; its format protection followed the bundle key
    EXPECT_TRUE(findBundle(store->plugins(), "Gamma", "VST3")->isProtected);
    EXPECT_FALSE(findBundle(store->plugins(), "Gamma", "CLAP")->isProtected);
    EXPECT_EQ(gamma->status, PluginStatus::partiallyProtected);
    EXPECT_EQ(findProduct(store->plugins(), "Old"), nullptr);
    EXPECT_EQ(sandbox.savedState(), store->persistedSnapshot());

    // An unreadable folder defers the missing count.
    sandbox.nextScan->plugins = fixture.scan(true);
    sandbox.nextScan->plugins.pop_back();  // Nova
    sandbox.nextScan->inaccessibleLocations = {sandbox.system("/Library/Audio/Plug-Ins/Components")};
    sandbox.scan(*store);
    EXPECT_EQ(store->lastReconciliation(), (ScanReconciliationSummary{1, 0, 0, true}));
    EXPECT_EQ(store->inaccessibleLocations(), sandbox.nextScan->inaccessibleLocations);
}

TEST(StoreScan, ReportsExactReplacementsUnderAnEnabledRuleWithoutMovingFiles) {
    TwoScans fixture;
    auto& sandbox = fixture.sandbox;
    auto store = sandbox.open();
    store->setPermanentQuarantine(" acme ", true);

    // Alpha's VST3 came back, this time into the user's own folder.
    auto alpha = scannedProduct(sandbox, "Acme", "Alpha", {"AU", "VST3"});
    (*alpha.bundles)[1].path = sandbox.layout.user("Library/Audio/Plug-Ins/VST3/ALPHA.vst3");
    sandbox.nextScan->plugins = {alpha};
    sandbox.scan(*store);
    EXPECT_EQ(store->lastScanNotice(),
              "Scan complete. 1 exact permanent-quarantine replacements found, but Plugin Management was "
              "unavailable; no files were moved.");
    EXPECT_EQ(findProduct(store->plugins(), "Alpha")->bundles->size(), 3u);
    EXPECT_EQ(store->notice()->title, "Scan Complete");
}

// A scanner that reports progress, then waits for a cancel.
ScanRunner waitingRunner(std::shared_ptr<std::atomic<int>> started) {
    return [started](const std::vector<std::string>& roots, const ScanControl& control,
                     const std::function<void(const ScanProgress&)>& progress) {
        ++*started;
        progress(ScanProgress{"VST3", roots.empty() ? "" : roots.front(), 0, 10, 0});
        while (!control.cancellationRequested()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return ScanSummary{{}, {}, true};
    };
}

TEST(StoreScan, ACanceledScanKeepsTheInventoryAndIgnoresRepeatedRequests) {
    TwoScans fixture;
    auto& sandbox = fixture.sandbox;
    auto state = sandbox.savedState();
    state.lastScanDate = Date{700000000};
    state.inaccessibleLocations = std::vector<std::string>{"/somewhere"};
    state.lastReconciliation = ScanReconciliationSummary{1, 2, 3, true};
    sandbox.writeState(state);
    auto started = std::make_shared<std::atomic<int>>(0);
    auto store = sandbox.open(waitingRunner(started));
    const auto before = store->persistedSnapshot();

    std::vector<std::string> heard;
    store->observe([&](std::string_view field) { heard.emplace_back(field); });
    store->startScan({sandbox.layout.systemRoot});
    EXPECT_TRUE(store->isScanning());
    sandbox.executor.runUntil([&] { return store->scanProgress().has_value(); });
    EXPECT_EQ(store->scanProgress()->totalLocations, 10);

    store->startScan({sandbox.layout.systemRoot});  // ignored, and says nothing
    EXPECT_FALSE(store->notice());
    EXPECT_EQ(started->load(), 1);

    store->cancelScan();
    sandbox.executor.runUntil([&] { return !store->isScanning(); });
    EXPECT_FALSE(store->scanProgress());
    // Nothing but the history changes.
    auto expected = before;
    expected.history = store->history();
    EXPECT_EQ(store->persistedSnapshot(), expected);
    EXPECT_EQ(sandbox.savedState().plugins, before.plugins);
    EXPECT_THAT(kinds(store->history()), ElementsAre(HistoryKind::scanCanceled));
    EXPECT_TRUE(showsNotice(*store, "Scan Canceled", {}, NoticeStyle::warning));
    EXPECT_EQ(std::count(heard.begin(), heard.end(), "isScanning"), 2);
    EXPECT_EQ(std::count(heard.begin(), heard.end(), "plugins"), 0);

    store->cancelScan();  // nothing to cancel
    EXPECT_FALSE(store->isScanning());
}

TEST(StoreScan, ProgressOfAFinishedScanNeverShowsInALaterOne) {
    StoreSandbox sandbox;
    std::mutex lock;
    std::function<void(const ScanProgress&)> firstProgress;
    int scans = 0;
    auto store = sandbox.open([&](const std::vector<std::string>&, const ScanControl& control,
                                  const std::function<void(const ScanProgress&)>& progress) {
        std::unique_lock guard(lock);
        if (scans++ == 0) {
            firstProgress = progress;
            return ScanSummary{};
        }
        guard.unlock();
        while (!control.cancellationRequested()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return ScanSummary{{}, {}, true};
    });

    sandbox.scan(*store);
    const auto late = ScanProgress{"AU", "/late", 1, 2, 3};
    firstProgress(late);
    sandbox.executor.drain();
    EXPECT_FALSE(store->scanProgress());

    store->startScan({});
    firstProgress(late);
    sandbox.executor.drain();
    EXPECT_TRUE(store->isScanning());
    EXPECT_FALSE(store->scanProgress());
    store->cancelScan();
    sandbox.executor.runUntil([&] { return !store->isScanning(); });
}

TEST(StoreScan, DestroyingTheStoreDuringAScanStopsItSafely) {
    StoreSandbox sandbox;
    auto started = std::make_shared<std::atomic<int>>(0);
    auto store = sandbox.open(waitingRunner(started));
    store->startScan({});
    while (started->load() == 0) {
        std::this_thread::yield();
    }
    store.reset();                            // cancels and waits for the scan thread
    EXPECT_GE(sandbox.executor.drain(), 1u);  // its progress and completion find no store
    EXPECT_FALSE(sandbox.hasState());
}

TEST(StoreScan, CountsEachLocationOnceHoweverItIsSpelled) {
    const std::string components = "/Library/Audio/Plug-Ins/Components/";
    auto alpha = sampleProduct("Acme", "Alpha", {"AU", "VST3"});
    alpha.bundles = std::vector{sampleBundle("AU", components + "Alpha.component"),
                                sampleBundle("VST3", "/Library/Audio/Plug-Ins/VST3/Alpha.vst3")};
    auto alphaAgain = alpha;  // the same two bundles listed by a second product
    alphaAgain.name = "Alpha Again";
    const auto baseline = scanBaseline({alpha, alphaAgain}, true);

    // Alpha's AU in another case and spelling; a CLAP found twice; VST3 gone;
    // a bundle put back from the Trash by hand is not counted as added.
    auto scanned = sampleProduct("Acme", "Alpha", {"AU", "CLAP"});
    scanned.bundles = std::vector{sampleBundle("AU", "/library/audio/plug-ins/components/./ALPHA.component"),
                                  sampleBundle("CLAP", "/Library/Audio/Plug-Ins/CLAP/Alpha.clap"),
                                  sampleBundle("CLAP", "/Library/Audio/Plug-Ins/CLAP//alpha.clap/"),
                                  sampleBundle("AU", components + "Beta.component")};
    TrashedBundleRecord beta;
    beta.originalPath = components + "BETA.component";
    TrashedBundleRecord closed = beta;
    closed.reconciledDate = Date{1};
    TrashedBundleRecord stillInTrash;
    stillInTrash.originalPath = components + "Gamma.component";

    const auto merged = mergeScan({alpha, alphaAgain}, {scanned}, false, baseline, {}, {closed, beta, stillInTrash});
    EXPECT_EQ(merged.reconciliation, (ScanReconciliationSummary{1, 1, 1, false}));
    EXPECT_THAT(merged.manuallyRestoredRecords, ElementsAre(1u));

    const auto limited = mergeScan({alpha, alphaAgain}, {scanned}, true, baseline, {}, {});
    EXPECT_EQ(limited.reconciliation, (ScanReconciliationSummary{2, 0, 0, true}));
}

TEST(StoreScan, ThePureMergeStepsFollowTheirRules) {
    // Carrying over: the first product of the key takes the record; a scanned
    // bundle at the original location in another letter case gives way.
    auto old = sampleProduct("Acme", "Alpha", {"AU", "VST3"});
    auto au = sampleBundle("AU", "/q/OP/Alpha.component");
    au.originalPath = "/Library/Audio/Plug-Ins/Components/Alpha.component";
    au.quarantinePath = au.path;
    au.quarantineOperationID = "OP";
    old.bundles = std::vector{au, sampleBundle("VST3", "/Library/Audio/Plug-Ins/VST3/Alpha.vst3")};
    auto scanned = sampleProduct("ACME", "alpha", {"AU", "CLAP"});
    scanned.bundles = std::vector{sampleBundle("AU", "/LIBRARY/Audio/Plug-Ins/Components/ALPHA.component"),
                                  sampleBundle("CLAP", "/Library/Audio/Plug-Ins/CLAP/Alpha.clap")};
    const auto merged = carryOverQuarantinedBundles({old}, {scanned});
    ASSERT_EQ(merged.size(), 1u);
    EXPECT_EQ(merged.front().id, scanned.id);
    EXPECT_EQ(merged.front().formats, (std::vector<std::string>{"AU", "CLAP"}));
    ASSERT_EQ(merged.front().bundles->size(), 2u);
    EXPECT_EQ(merged.front().bundles->back(), au);
    EXPECT_EQ(merged.front().status, PluginStatus::partiallyQuarantined);

    // A legacy quarantined record without bundles keeps its one implied bundle.
    const auto legacy =
        testing::legacyQuarantinedProduct("Old", "Legacy", "VST2", "/Library/Audio/Plug-Ins/VST/Legacy.vst");
    const auto kept = carryOverQuarantinedBundles({legacy}, {});
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept.front().id, legacy.id);
    EXPECT_EQ(kept.front().bundles->size(), 1u);
    EXPECT_EQ(kept.front().status, PluginStatus::quarantined);
    EXPECT_EQ(bundleRecordCount(kept.front()), 1u);

    EXPECT_EQ(scanPathKey("/Library//Audio/./VST3/Ünï.vst3/"), "/library/audio/vst3/ünï.vst3");
}

}  // namespace
}  // namespace kestrova
