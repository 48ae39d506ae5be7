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

TEST(NameMapping, HistoryKindsAndPluginStatuses) {
    using K = HistoryKind;
    expectNamesBothWays<K>({{K::scan, "Scan Completed"},
                            {K::scanCanceled, "Scan Canceled"},
                            {K::restore, "Restored"},
                            {K::quarantine, "Moved to Quarantine"},
                            {K::trash, "Moved to macOS Trash"},
                            {K::trashRestore, "Restored from Finder Trash"},
                            {K::protection, "Protection Enabled"},
                            {K::protectionRemoved, "Protection Removed"},
                            {K::formatProtection, "Format Protection Enabled"},
                            {K::formatProtectionRemoved, "Format Protection Removed"},
                            {K::canceled, "Move to Trash Canceled"},
                            {K::reconciliation, "Inventory Reconciled"},
                            {K::externalRestore, "Manual Restore Detected"},
                            {K::missingTrashItem, "Missing Trash Item Detected"},
                            {K::cleanupPresetStarted, "Cleanup Preset Started"},
                            {K::cleanupPresetCompleted, "Cleanup Preset Completed"},
                            {K::cleanupPresetPartiallyCompleted, "Cleanup Preset Partially Completed"},
                            {K::cleanupPresetCanceled, "Cleanup Preset Canceled"}},
                           historyKindCount, raw, historyKindFromRawValue);
    for (int i = 0; i < historyKindCount; ++i) {
        EXPECT_EQ(title(static_cast<K>(i)), rawValue(static_cast<K>(i)));
        EXPECT_FALSE(iconName(static_cast<K>(i)).empty());
    }
    using S = PluginStatus;
    expectNamesBothWays<S>({{S::ok, "OK"},
                            {S::legacy, "Legacy"},
                            {S::protected_, "Protected"},
                            {S::partiallyProtected, "Partially Protected"},
                            {S::quarantined, "Ready to Restore"},
                            {S::partiallyQuarantined, "Partially Quarantined"},
                            {S::sharedShell, "Shared Shell"},
                            {S::hostedByShell, "Hosted by WaveShell"}},
                           8, raw, pluginStatusFromRawValue);
}

TEST(NameMapping, NoticeTrashAndCleanupRunValues) {
    expectNamesBothWays<NoticeStyle>({{NoticeStyle::success, "success"}, {NoticeStyle::warning, "warning"}}, 2, raw,
                                     noticeStyleFromRawValue);
    using T = TrashRecoveryState;
    expectNamesBothWays<T>({{T::readyToRestore, "Ready to Restore"},
                            {T::alreadyRestored, "Already Restored"},
                            {T::destinationOccupied, "Destination Occupied"},
                            {T::missingFromTrash, "Missing from Trash"},
                            {T::needsVerification, "Needs Verification"}},
                           5, raw, trashRecoveryStateFromRawValue);
    using P = FormatCleanupPresetKind;
    const std::vector<std::pair<P, std::string_view>> presets{{P::auOnly, "auOnly"},
                                                              {P::auAndVST3, "auAndVST3"},
                                                              {P::retireVST2, "retireVST2"},
                                                              {P::noAAX, "noAAX"},
                                                              {P::custom, "custom"}};
    expectNamesBothWays<P>(presets, 5, raw, formatCleanupPresetFromRawValue);
    const std::vector<std::string_view> titles{"AU Only", "AU + VST3", "Retire VST2", "No AAX", "Custom"};
    for (std::size_t i = 0; i < presets.size(); ++i) {
        EXPECT_EQ(title(presets[i].first), titles[i]);
    }
    using R = FormatCleanupRunStatus;
    expectNamesBothWays<R>({{R::pending, "pending"},
                            {R::completed, "completed"},
                            {R::partiallyCompleted, "partiallyCompleted"},
                            {R::canceled, "canceled"}},
                           4, raw, formatCleanupRunStatusFromRawValue);
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
