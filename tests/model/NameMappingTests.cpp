// Every stored raw value and title of the model's enumerations, both ways.
#include "model/FormatCleanupRun.h"
#include "model/History.h"
#include "model/OperationNotice.h"
#include "model/Plugin.h"
#include "model/TrashedBundleRecord.h"
#include "support/NameTables.h"

namespace kestrova {
namespace {

using testing::expectNamesBothWays;
const auto raw = [](auto value) { return rawValue(value); };

TEST(NameMapping, EveryStoredRawValueAndTitle) {
    expectNamesBothWays<HistoryKind>(
        {"Scan Completed", "Scan Canceled", "Restored", "Moved to Quarantine", "Moved to macOS Trash",
         "Restored from Finder Trash", "Protection Enabled", "Protection Removed", "Format Protection Enabled",
         "Format Protection Removed", "Move to Trash Canceled", "Inventory Reconciled", "Manual Restore Detected",
         "Missing Trash Item Detected", "Cleanup Preset Started", "Cleanup Preset Completed",
         "Cleanup Preset Partially Completed", "Cleanup Preset Canceled"},
        raw, historyKindFromRawValue);
    for (int i = 0; i < historyKindCount; ++i) {
        EXPECT_EQ(title(static_cast<HistoryKind>(i)), rawValue(static_cast<HistoryKind>(i)));
        EXPECT_FALSE(iconName(static_cast<HistoryKind>(i)).empty());
    }
    expectNamesBothWays<PluginStatus>({"OK", "Legacy", "Protected", "Partially Protected", "Ready to Restore",
                                       "Partially Quarantined", "Shared Shell", "Hosted by WaveShell"},
                                      raw, pluginStatusFromRawValue);
    expectNamesBothWays<NoticeStyle>({"success", "warning"}, raw, noticeStyleFromRawValue);
    expectNamesBothWays<TrashRecoveryState>(
        {"Ready to Restore", "Already Restored", "Destination Occupied", "Missing from Trash", "Needs Verification"},
        raw, trashRecoveryStateFromRawValue);
    expectNamesBothWays<FormatCleanupPresetKind>({"auOnly", "auAndVST3", "retireVST2", "noAAX", "custom"}, raw,
                                                 formatCleanupPresetFromRawValue);
    expectNamesBothWays<FormatCleanupPresetKind>(
        {"AU Only", "AU + VST3", "Retire VST2", "No AAX", "Custom"}, [](auto preset) { return title(preset); },
        [](std::string_view text) -> std::optional<FormatCleanupPresetKind> {
            for (int i = 0; i <= static_cast<int>(FormatCleanupPresetKind::custom); ++i) {
                if (title(static_cast<FormatCleanupPresetKind>(i)) == text) {
                    return static_cast<FormatCleanupPresetKind>(i);
                }
            }
            return std::nullopt;
        });
    expectNamesBothWays<FormatCleanupRunStatus>({"pending", "completed", "partiallyCompleted", "canceled"}, raw,
                                                formatCleanupRunStatusFromRawValue);
}

TEST(NameMapping, FormatsAndTheirBundleExtensions) {
    const std::vector<std::pair<std::string_view, std::string_view>> table{
        {"AU", "component"}, {"VST2", "vst"}, {"VST3", "vst3"}, {"AAX", "aaxplugin"}, {"CLAP", "clap"}};
    for (const auto& [format, extension] : table) {
        EXPECT_EQ(bundleExtension(format), extension);
        EXPECT_EQ(formatForExtension(extension), format);
        EXPECT_EQ(formatForExtension(std::string(extension) + "x"), std::nullopt) << extension;
    }
    EXPECT_EQ(formatForExtension("VST3"), "VST3");
    EXPECT_EQ(bundleExtension("LV2"), "");
    EXPECT_EQ(bundleExtension("vst3"), "");
    EXPECT_EQ(formatForExtension("so"), std::nullopt);
}

}  // namespace
}  // namespace kestrova
