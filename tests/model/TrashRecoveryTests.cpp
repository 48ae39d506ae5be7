#include "model/PluginLocations.h"
#include "model/TrashRecovery.h"
#include "platform/FreedesktopTrash.h"
#include "platform/Paths.h"

#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <functional>

namespace kestrova {
namespace {

using testing::TemporaryDirectory;

class TrashRecoveryTest : public ::testing::Test {
protected:
    TemporaryDirectory tree;
    SystemLayout layout{tree / "root", tree / "home"};
    FileSystem& disk = realFileSystem();

    std::string systemPath(std::string_view path) const { return layout.system(path); }

    // A record of a bundle moved from `original` to the Trash as `name`;
    // nothing is created on disk.
    TrashedBundleRecord record(std::string format, std::string original, std::string name, double date = 100) const {
        TrashedBundleRecord made{};
        made.id = Uuid::random();
        made.pluginName = name;
        made.manufacturer = "Maker";
        made.format = std::move(format);
        made.originalPath = layout.system(original);
        made.trashPath = layout.trashFolder() + "/" + name;
        made.operationDate = Date{date};
        made.trashTransactionID = "TX";
        return made;
    }
    TrashedBundleRecord record(std::string name, double date = 100) const {
        auto made = record("VST3", "/Library/Audio/Plug-Ins/VST3/" + name + ".vst3", name + ".vst3", date);
        made.pluginName = name;
        return made;
    }

    void put(const std::string& bundlePath) const { tree.writeFile(bundlePath.substr(tree.path().size()), "binary"); }
};

// Under macOS only the system folders are places to move from; under Linux
// the user's own plug-in folders are too, on the user side. (Moves from the
// plain VST3 folders and ~/.vst are in the recorded CLI run.)
TEST_F(TrashRecoveryTest, SafeLocationsAreInPlugInFoldersNeverThroughALinkAndHaveTheirSide) {
    const auto user = BundleSide::user;
    const auto system = BundleSide::system;
    // A bundle that is itself a link, and folders linked into the home or out.
    put(layout.user("Library/Audio/Plug-Ins/VST3/Home.vst3/Contents/x"));
    tree.makeSymlink(layout.user("Library/Audio/Plug-Ins/VST3/Home.vst3"),
                     systemPath("/Library/Audio/Plug-Ins/VST3/Linked.vst3").substr(tree.path().size()));
    tree.makeSymlink(layout.user("Library/Audio/Plug-Ins/VST3"),
                     systemPath("/Library/Audio/Plug-Ins/VST3/Shortcut").substr(tree.path().size()));
    tree.makeDirectory("elsewhere");
    tree.makeDirectory("home/.vst3");
    tree.makeSymlink(tree / "elsewhere", "home/.vst3/Out");
    SystemLayout linux{tree / "root", tree / "home", PlatformProfile::gnuLinux};
    const auto deep = systemPath("/Library/Application Support/Avid/Audio/Plug-Ins/Sub/B.AAXPlugin");
    struct Case {
        const SystemLayout& layout;
        std::string path;
        std::optional<BundleSide> side;  // nothing: refused
    };
    const std::vector<Case> cases{
        {layout, deep + "/", system},  // need not exist
        {layout, "Library/Audio/Plug-Ins/VST3/A.vst3", std::nullopt},
        {layout, systemPath("/Library/Audio/Plug-Ins/VST3/A.dll"), std::nullopt},
        {layout, systemPath("/Library/Audio/Plug-Ins/VST3.vst3"), std::nullopt},
        {layout, layout.user("Library/Audio/Plug-Ins/VST3/A.vst3"), std::nullopt},
        {layout, layout.user(".vst3/A.vst3"), std::nullopt},
        {layout, "/Library/Audio/Plug-Ins/VST3/A.vst3", std::nullopt},  // outside the root
        // ".." is resolved lexically before the folder test.
        {layout, systemPath("/Library/Audio/Plug-Ins/VST3") + "/../../../../../x.vst3", std::nullopt},
        {layout, systemPath("/Library/Audio/Plug-Ins/VST3/Linked.vst3"), std::nullopt},
        {layout, systemPath("/Library/Audio/Plug-Ins/VST3/Shortcut/Home.vst3"), std::nullopt},
        {linux, linux.user(".vst3/Vendor/Deep.vst3"), user},
        {linux, linux.user(".clap/B.clap"), user},
        {linux, linux.user(".lv2/C.lv2"), user},
        {linux, linux.user(".lxvst/E.so"), user},
        {linux, linux.system("/usr/lib/vst3/S.vst3"), system},
        {linux, linux.system("/usr/local/lib/lv2/T.lv2"), system},
        {linux, linux.user(".vst3"), std::nullopt},              // the folder itself
        {linux, linux.user(".vst3/A.dll"), std::nullopt},        // no plug-in extension
        {linux, linux.user(".clap/A.component"), std::nullopt},  // not a Linux format
        {linux, linux.user("Music/A.vst3"), std::nullopt},
        {linux, linux.user(".vst3/Out/X.vst3"), std::nullopt},  // a linked folder leading out
        {linux, linux.user(".local/share/Kestrova/Quarantine/A.vst3"), std::nullopt},
    };
    for (const auto& [where, path, side] : cases) {
        SafeLocationChecker checker(where, disk);
        const auto checked = checker.check(path);
        EXPECT_EQ(checked, safePluginLocation(path, where, disk)) << path;
        ASSERT_EQ(checked.has_value(), side.has_value()) << path;
        if (checked) {
            EXPECT_EQ(*checked, standardizedPath(path)) << path;
            EXPECT_EQ(checker.lastCheckedSide(), *side) << path;
            EXPECT_EQ(sideOfPath(path, where), *side) << path;
        } else if (where.profile == PlatformProfile::macOS) {
            EXPECT_EQ(sideOfPath(path, where), system) << path;  // a Mac has no user side
        }
    }
}

TEST_F(TrashRecoveryTest, PathCheckRequiresKnownFormatMatchingExtensionsAndASafeOriginal) {
    auto good = record("Good");
    good.format = "  vst3\n";
    const std::vector<std::pair<std::function<void(TrashedBundleRecord&)>, bool>> cases{
        {[](auto&) {}, true},
        {[](auto& r) { r.trashPath = "Good.vst3"; }, false},
        {[](auto& r) { r.format = "VST4"; }, false},
        {[&](auto& r) { r.trashPath = layout.trashFolder() + "/Good.vst"; }, false},
        {[&](auto& r) { r.trashPath = layout.trashFolder() + "/Good 2.VST3"; }, true},
        {[&](auto& r) { r.originalPath = layout.user("Library/Audio/Plug-Ins/VST3/Good.vst3"); }, false},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        auto changed = good;
        cases[i].first(changed);
        EXPECT_EQ(isVerifiedTrashRecord(changed, layout, disk), cases[i].second) << "case " << i;
        if (i == cases.size() - 1) {
            put(changed.trashPath);
            EXPECT_EQ(evaluateTrashRecoveryState(changed, layout, disk), TrashRecoveryState::needsVerification);
        }
    }
}

TEST_F(TrashRecoveryTest, StatesFollowTheDiskAndReconciliationClosesPutBackRecords) {
    auto inTrash = record("InTrash", 400);
    put(inTrash.trashPath);
    put(inTrash.originalPath);  // occupied: still left open
    auto putBack = record("PutBack", 300);
    put(putBack.originalPath);
    auto lost = record("Lost", 200);
    auto alreadyClosed = record("Closed");
    alreadyClosed.reconciledDate = Date{5};

    std::vector<TrashedBundleRecord> records{inTrash, putBack, lost, alreadyClosed};
    // Their states, latest move first (the store's tests list them in order).
    const auto ready = record("Ready", 100);
    put(ready.trashPath);
    const auto entries = trashRecoveryEntries({inTrash, putBack, lost, ready}, layout, disk);
    std::vector<TrashRecoveryState> states;
    for (const auto& entry : entries) {
        states.push_back(entry.state);
    }
    EXPECT_EQ(states, (std::vector<TrashRecoveryState>{
                          TrashRecoveryState::destinationOccupied, TrashRecoveryState::alreadyRestored,
                          TrashRecoveryState::missingFromTrash, TrashRecoveryState::readyToRestore}));
    EXPECT_EQ(readyTrashRecoveryCount(entries), 1);

    const Date now{1000};
    std::vector<HistoryItem> history;  // a pass that changes nothing is the store's Trash test
    EXPECT_TRUE(reconcileTrashRecords(records, history, disk, now));
    EXPECT_EQ(records[0], inTrash);
    EXPECT_EQ(records[1].reconciledDate, now);
    EXPECT_FALSE(records[2].reconciledDate);
    EXPECT_EQ(records[2].missingDetectedDate, now);
    EXPECT_EQ(records[3], alreadyClosed);

    ASSERT_EQ(history.size(), 2u);  // each prepended, so the later record comes first
    EXPECT_EQ(history[0].kind, HistoryKind::missingTrashItem);
    EXPECT_EQ(history[0].plugin, "Lost");
    EXPECT_EQ(history[0].detail,
              "VST3 bundle is absent from both its recorded Finder Trash path and original plugin location");
    EXPECT_EQ(history[1].kind, HistoryKind::externalRestore);
    EXPECT_EQ(history[1].detail, "Detected VST3 bundle restored outside Kestrova at its recorded original location");

    // A later pass, and the bundle reappearing, are the store's reconciliation tests.
}

// The Linux profile: its plug-in folders, ".so" VST2 files and LV2
// bundles, and the freedesktop Trash's records read back.
TEST_F(TrashRecoveryTest, OnLinuxItemsAreReadyOnlyWithARecordThatReadsBack) {
    layout.profile = PlatformProfile::gnuLinux;
    const auto vst2 = record("VST2", "/usr/lib/vst/Old.so", "Old.so");
    const auto lv2 = record("LV2", "/usr/local/lib/lv2/eq.lv2", "eq.lv2");
    const auto withoutInfo = record("CLAP", "/usr/lib/clap/Synth.clap", "Synth.clap");
    const auto badInfo = record("VST3", "/usr/lib/vst3/V.vst3", "V.vst3");
    const auto macFolder = record("CLAP", "/Library/Audio/Plug-Ins/CLAP/Mac.clap", "Mac.clap");
    for (const auto* item : {&vst2, &lv2, &withoutInfo, &badInfo, &macFolder}) {
        tree.writeFile(item->trashPath.substr(tree.path().size() + 1), "object");
    }
    const auto info = [&](const TrashedBundleRecord& item, const std::string& text) {
        tree.writeFile(trashInfoPath(item.trashPath).substr(tree.path().size() + 1), text);
    };
    info(vst2, trashInfoText("/q/Old.so", "2024-01-01T10:00:00"));
    info(lv2, trashInfoText("/q/eq.lv2", "2024-01-01T10:00:00"));
    info(badInfo, "[Trash Info]\nPath=/broken%zz\n");
    info(macFolder, trashInfoText("/q/Mac.clap", "2024-01-01T10:00:00"));

    EXPECT_EQ(evaluateTrashRecoveryState(vst2, layout, disk), TrashRecoveryState::readyToRestore);
    EXPECT_EQ(evaluateTrashRecoveryState(lv2, layout, disk), TrashRecoveryState::readyToRestore);
    EXPECT_EQ(evaluateTrashRecoveryState(withoutInfo, layout, disk), TrashRecoveryState::needsVerification);
    EXPECT_EQ(evaluateTrashRecoveryState(badInfo, layout, disk), TrashRecoveryState::needsVerification);
    EXPECT_EQ(evaluateTrashRecoveryState(macFolder, layout, disk), TrashRecoveryState::needsVerification);

    // The same records under the macOS rules: ".so" and LV2 are no bundles there.
    auto mac = layout;
    mac.profile = PlatformProfile::macOS;
    EXPECT_FALSE(isVerifiedTrashRecord(vst2, mac, disk));
    EXPECT_FALSE(isVerifiedTrashRecord(lv2, mac, disk));
    EXPECT_TRUE(isPluginBundleExtension("SO", PlatformProfile::gnuLinux));
    EXPECT_FALSE(isPluginBundleExtension("component", PlatformProfile::gnuLinux));
}

}  // namespace
}  // namespace kestrova
