#include "model/PluginLocations.h"
#include "model/TrashRecovery.h"

#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <unordered_set>

namespace kestrova {
namespace {

using testing::TemporaryDirectory;

class TrashRecoveryTest : public ::testing::Test {
protected:
    TemporaryDirectory tree;
    SystemLayout layout{tree / "root", tree / "home"};
    FileSystem& disk = realFileSystem();

    std::string systemPath(std::string_view path) const { return layout.system(path); }

    // A record for a VST3 bundle; nothing is created on disk.
    TrashedBundleRecord record(std::string name, double date = 100) const {
        return TrashedBundleRecord{Uuid::random(),
                                   name,
                                   "Maker",
                                   "VST3",
                                   systemPath("/Library/Audio/Plug-Ins/VST3/" + name + ".vst3"),
                                   layout.trashFolder() + "/" + name + ".vst3",
                                   Date{date},
                                   "TX",
                                   {},
                                   {},
                                   {},
                                   {}};
    }

    void put(const std::string& bundlePath) const { tree.writeFile(bundlePath.substr(tree.path().size()), "binary"); }
};

TEST_F(TrashRecoveryTest, SafeLocationsAreBelowTheSystemFoldersAndNeverThroughALink) {
    const auto vst3 = systemPath("/Library/Audio/Plug-Ins/VST3/A.vst3");
    EXPECT_EQ(safePluginLocation(vst3, layout, disk), vst3);  // need not exist
    const auto deep = systemPath("/Library/Application Support/Avid/Audio/Plug-Ins/Sub/B.AAXPlugin");
    EXPECT_EQ(safePluginLocation(deep + "/", layout, disk), deep);
    EXPECT_FALSE(safePluginLocation("Library/Audio/Plug-Ins/VST3/A.vst3", layout, disk));
    EXPECT_FALSE(safePluginLocation(systemPath("/Library/Audio/Plug-Ins/VST3/A.dll"), layout, disk));
    EXPECT_FALSE(safePluginLocation(systemPath("/Library/Audio/Plug-Ins/VST3.vst3"), layout, disk));
    EXPECT_FALSE(safePluginLocation(layout.user("Library/Audio/Plug-Ins/VST3/A.vst3"), layout, disk));
    EXPECT_FALSE(safePluginLocation("/Library/Audio/Plug-Ins/VST3/A.vst3", layout, disk));  // outside the root
    // ".." is resolved lexically before the folder test.
    EXPECT_FALSE(
        safePluginLocation(systemPath("/Library/Audio/Plug-Ins/VST3") + "/../../../../../x.vst3", layout, disk));

    // A bundle that is itself a link, and a bundle reached through a linked
    // folder that points into the home.
    put(layout.user("Library/Audio/Plug-Ins/VST3/Home.vst3/Contents/x"));
    tree.makeSymlink(layout.user("Library/Audio/Plug-Ins/VST3/Home.vst3"),
                     systemPath("/Library/Audio/Plug-Ins/VST3/Linked.vst3").substr(tree.path().size()));
    EXPECT_FALSE(safePluginLocation(systemPath("/Library/Audio/Plug-Ins/VST3/Linked.vst3"), layout, disk));
    tree.makeSymlink(layout.user("Library/Audio/Plug-Ins/VST3"),
                     systemPath("/Library/Audio/Plug-Ins/VST3/Shortcut").substr(tree.path().size()));
    EXPECT_FALSE(safePluginLocation(systemPath("/Library/Audio/Plug-Ins/VST3/Shortcut/Home.vst3"), layout, disk));
}

TEST_F(TrashRecoveryTest, PathCheckRequiresKnownFormatMatchingExtensionsAndASafeOriginal) {
    auto good = record("Good");
    good.format = "  vst3\n";
    EXPECT_TRUE(isVerifiedTrashRecord(good, layout, disk));

    auto relativeTrash = good;
    relativeTrash.trashPath = "Good.vst3";
    EXPECT_FALSE(isVerifiedTrashRecord(relativeTrash, layout, disk));
    auto unknown = good;
    unknown.format = "VST4";
    EXPECT_FALSE(isVerifiedTrashRecord(unknown, layout, disk));
    auto wrongTrashExtension = good;
    wrongTrashExtension.trashPath = layout.trashFolder() + "/Good.vst";
    EXPECT_FALSE(isVerifiedTrashRecord(wrongTrashExtension, layout, disk));
    auto upperCaseExtension = good;
    upperCaseExtension.trashPath = layout.trashFolder() + "/Good 2.VST3";
    EXPECT_TRUE(isVerifiedTrashRecord(upperCaseExtension, layout, disk));
    auto homeOriginal = good;
    homeOriginal.originalPath = layout.user("Library/Audio/Plug-Ins/VST3/Good.vst3");
    EXPECT_FALSE(isVerifiedTrashRecord(homeOriginal, layout, disk));

    put(homeOriginal.trashPath);
    EXPECT_EQ(evaluateTrashRecoveryState(homeOriginal, layout, disk), TrashRecoveryState::needsVerification);
}

TEST_F(TrashRecoveryTest, StatesFollowTheDiskAndEntriesListTheLatestMoveFirst) {
    const auto ready = record("Ready", 300);
    put(ready.trashPath);
    const auto occupied = record("Occupied", 100);
    put(occupied.trashPath);
    put(occupied.originalPath);
    const auto restored = record("Restored", 200);
    put(restored.originalPath);
    const auto missing = record("Missing", 400);

    const auto entries = trashRecoveryEntries({occupied, restored, ready, missing}, layout, disk);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0], (TrashRecoveryEntry{missing, TrashRecoveryState::missingFromTrash}));
    EXPECT_EQ(entries[1], (TrashRecoveryEntry{ready, TrashRecoveryState::readyToRestore}));
    EXPECT_EQ(entries[2], (TrashRecoveryEntry{restored, TrashRecoveryState::alreadyRestored}));
    EXPECT_EQ(entries[3], (TrashRecoveryEntry{occupied, TrashRecoveryState::destinationOccupied}));
    EXPECT_EQ(readyTrashRecoveryCount(entries), 1);
    EXPECT_EQ(std::unordered_set<TrashRecoveryEntry>(entries.begin(), entries.end()).size(), 4u);
    EXPECT_EQ(readyTrashRecoveryCount(trashRecoveryEntries({}, layout, disk)), 0);
}

TEST_F(TrashRecoveryTest, ReconciliationClosesPutBackRecordsAndReportsAMissingBundleOnce) {
    std::vector<HistoryItem> history;
    std::vector<TrashedBundleRecord> none;
    EXPECT_FALSE(reconcileTrashRecords(none, history, disk, Date{1}));
    EXPECT_TRUE(history.empty());

    auto inTrash = record("InTrash");
    put(inTrash.trashPath);
    put(inTrash.originalPath);  // occupied: still left open
    auto putBack = record("PutBack");
    put(putBack.originalPath);
    auto lost = record("Lost");
    auto alreadyClosed = record("Closed");
    alreadyClosed.reconciledDate = Date{5};

    std::vector<TrashedBundleRecord> records{inTrash, putBack, lost, alreadyClosed};
    const Date now{1000};
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
    EXPECT_EQ(history[0].format, "VST3");
    EXPECT_EQ(history[0].time, historyTimeText(now));
    EXPECT_FALSE(history[0].transactionID);
    EXPECT_EQ(history[1].kind, HistoryKind::externalRestore);
    EXPECT_EQ(history[1].detail, "Detected VST3 bundle restored outside Kestrova at its recorded original location");

    // Again: nothing new for the missing bundle.
    EXPECT_FALSE(reconcileTrashRecords(records, history, disk, Date{2000}));
    EXPECT_EQ(history.size(), 2u);

    // It reappears at its original path: closed, with a manual-restore item.
    put(lost.originalPath);
    EXPECT_TRUE(reconcileTrashRecords(records, history, disk, Date{3000}));
    EXPECT_EQ(records[2].reconciledDate, Date{3000});
    EXPECT_EQ(records[2].missingDetectedDate, now);
    ASSERT_EQ(history.size(), 3u);
    EXPECT_EQ(history[0].kind, HistoryKind::externalRestore);
    EXPECT_EQ(history[0].plugin, "Lost");
}

}  // namespace
}  // namespace kestrova
