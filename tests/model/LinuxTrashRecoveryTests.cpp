// Trash recovery on the Linux profile: Linux plug-in folders, ".so" VST2
// files and LV2 bundles, and the freedesktop Trash's records read back.
#include "model/PluginLocations.h"
#include "model/TrashRecovery.h"
#include "platform/FreedesktopTrash.h"

#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

using testing::TemporaryDirectory;

TEST(LinuxTrashRecovery, ItemsAreReadyOnlyWithARecordThatReadsBack) {
    TemporaryDirectory tree;
    const SystemLayout layout{tree / "root", tree / "home", PlatformProfile::gnuLinux};
    const auto& disk = realFileSystem();
    const auto record = [&](const std::string& format, const std::string& original, const std::string& name) {
        return TrashedBundleRecord{Uuid::random(),
                                   name,
                                   "Maker",
                                   format,
                                   layout.system(original),
                                   layout.trashFolder() + "/" + name,
                                   Date{100},
                                   "TX",
                                   {},
                                   {},
                                   {},
                                   {}};
    };
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
    SystemLayout mac = layout;
    mac.profile = PlatformProfile::macOS;
    EXPECT_FALSE(isVerifiedTrashRecord(vst2, mac, disk));
    EXPECT_FALSE(isVerifiedTrashRecord(lv2, mac, disk));
    EXPECT_FALSE(isPluginBundleExtension("so"));
    EXPECT_TRUE(isPluginBundleExtension("SO", PlatformProfile::gnuLinux));
    EXPECT_FALSE(isPluginBundleExtension("component", PlatformProfile::gnuLinux));
    EXPECT_EQ(bundleExtension("LV2", PlatformProfile::macOS), "");
}

}  // namespace
}  // namespace kestrova
