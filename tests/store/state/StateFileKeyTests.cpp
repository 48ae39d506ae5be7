// Every key of the state file and every stored name, held against a document
// an earlier build wrote (tests/data/store, not produced by today's writer): a key
// or a name renamed in the reader and writer together would still round-trip
// and pass every other test, but would lose that field in every user's file.
#include "../StateSamples.h"
#include "store/state/PersistedInventory.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

TEST(StateFileKeys, AFileOfAnEarlierBuildIsReadFieldByField) {
    const auto text = testing::storeTestData("earlier-build-state.json");
    const auto earlier = Json::parse(text);
    const auto decoded = decodePersistedInventory(text);
    ASSERT_TRUE(decoded) << decoded.error().message;
    // Each key is read into its field and written back under its name.
    const auto written = Json::parse(encodePersistedInventory(*decoded));
    EXPECT_EQ(written, earlier) << Json::diff(earlier, written).dump();
    EXPECT_EQ(decoded->pendingPrivilegedTrash->side, BundleSide::user);
}

// Each stored name of an enumeration, as earlier builds wrote it, in the
// order of its cases; every case is read from it and written back as it.
TEST(StateFileKeys, EveryStoredNameOfEveryCaseIsReadBack) {
    const std::vector<std::string_view> historyKinds{"Scan Completed",
                                                     "Scan Canceled",
                                                     "Restored",
                                                     "Moved to Quarantine",
                                                     "Moved to macOS Trash",
                                                     "Restored from Finder Trash",
                                                     "Protection Enabled",
                                                     "Protection Removed",
                                                     "Format Protection Enabled",
                                                     "Format Protection Removed",
                                                     "Move to Trash Canceled",
                                                     "Inventory Reconciled",
                                                     "Manual Restore Detected",
                                                     "Missing Trash Item Detected",
                                                     "Cleanup Preset Started",
                                                     "Cleanup Preset Completed",
                                                     "Cleanup Preset Partially Completed",
                                                     "Cleanup Preset Canceled"};
    const std::vector<std::string_view> statuses{"OK",
                                                 "Legacy",
                                                 "Protected",
                                                 "Partially Protected",
                                                 "Ready to Restore",
                                                 "Partially Quarantined",
                                                 "Shared Shell",
                                                 "Hosted by WaveShell"};
    const std::vector<std::string_view> presets{"auOnly", "auAndVST3", "retireVST2", "noAAX", "custom"};
    const std::vector<std::string_view> runStatuses{"pending", "completed", "partiallyCompleted", "canceled"};
    ASSERT_EQ(historyKinds.size(), static_cast<std::size_t>(historyKindCount));
    ASSERT_EQ(presets.size(), allFormatCleanupPresets.size());

    const auto earlier = Json::parse(testing::storeTestData("earlier-build-state.json"));
    const auto readBack = [&](const std::string& pointer, std::string_view name) {
        auto document = earlier;
        document[Json::json_pointer(pointer)] = name;
        const auto decoded = decodePersistedInventory(document.dump());
        EXPECT_TRUE(decoded) << name;
        return decoded ? decoded.value() : PersistedInventory{};
    };
    for (std::size_t index = 0; index < historyKinds.size(); ++index) {
        const auto state = readBack("/history/0/kind", historyKinds[index]);
        EXPECT_EQ(state.history.at(0).kind, static_cast<HistoryKind>(index)) << historyKinds[index];
        EXPECT_EQ(rawValue(static_cast<HistoryKind>(index)), historyKinds[index]);
    }
    for (std::size_t index = 0; index < statuses.size(); ++index) {
        const auto state = readBack("/plugins/0/status", statuses[index]);
        EXPECT_EQ(state.plugins.at(0).status, static_cast<PluginStatus>(index)) << statuses[index];
        EXPECT_EQ(rawValue(static_cast<PluginStatus>(index)), statuses[index]);
    }
    for (std::size_t index = 0; index < presets.size(); ++index) {
        const auto state = readBack("/formatCleanupRuns/0/preset", presets[index]);
        EXPECT_EQ(state.formatCleanupRuns->at(0).preset, allFormatCleanupPresets[index]) << presets[index];
        EXPECT_EQ(rawValue(allFormatCleanupPresets[index]), presets[index]);
    }
    for (std::size_t index = 0; index < runStatuses.size(); ++index) {
        const auto state = readBack("/formatCleanupRuns/0/status", runStatuses[index]);
        EXPECT_EQ(state.formatCleanupRuns->at(0).status, static_cast<FormatCleanupRunStatus>(index))
            << runStatuses[index];
        EXPECT_EQ(rawValue(static_cast<FormatCleanupRunStatus>(index)), runStatuses[index]);
    }
}

}  // namespace
}  // namespace kestrova
