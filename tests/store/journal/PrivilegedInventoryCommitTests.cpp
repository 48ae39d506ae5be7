// Applying helper results to the inventory, without disk or store.
#include "../StateSamples.h"
#include "store/journal/PrivilegedInventoryCommit.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kestrova::testing {
namespace {

using ::testing::SizeIs;

const CommitMoment moment{Date{700000000}, "9:41"};

PrivilegedInventoryCommitFailure failureOf(const std::function<void()>& commit) {
    try {
        commit();
    } catch (const PrivilegedInventoryCommitError& error) {
        EXPECT_EQ(error.what(), std::string(description(error.failure())));
        return error.failure();
    }
    ADD_FAILURE() << "the commit did not throw";
    return PrivilegedInventoryCommitFailure::missingInventoryRecord;
}

TEST(PrivilegedInventoryCommit, QuarantineIsRepeatableAndNamesItsPresetRun) {
    auto product = sampleProduct("Acme", "Echo", {"AU", "VST3"});
    product.bundles =
        std::vector{sampleBundle("AU", "/P/Components/Echo.component"), sampleBundle("VST3", "/P/VST3/Echo.vst3")};
    // An older product names its one bundle by its path alone.
    auto legacy = sampleProduct("Acme", "Old", {"VST3"});
    legacy.path = "/P/VST3/Old.vst3";
    std::vector<Plugin> plugins{product, legacy};
    std::vector<HistoryItem> history;
    const auto transaction = Uuid::random();
    FormatCleanupRunRecord run;
    run.id = Uuid::random();
    run.childTransactionIDs = {Uuid::random(), transaction};
    // Paths are matched standardized and without regard to letter case.
    const std::vector<PrivilegedQuarantineItem> items{{"/p/vst3/./ECHO.vst3", "/Q/OP/Echo.vst3", "OP"},
                                                      {"/P/VST3/Old.vst3", "/Q/OP/Old.vst3", "OP"}};

    commitQuarantine(plugins, history, {run}, transaction.string(), items, moment);
    const auto& record = (*plugins[0].bundles)[1];
    EXPECT_EQ(record.originalPath, "/p/vst3/./ECHO.vst3");
    EXPECT_EQ(record.quarantinePath, "/Q/OP/Echo.vst3");
    EXPECT_EQ(record.presetRunID, run.id);
    EXPECT_EQ(plugins[0].status, PluginStatus::partiallyQuarantined);
    ASSERT_THAT(plugins[1].bundles.value_or(std::vector<PluginBundleRecord>{}), SizeIs(1));
    EXPECT_EQ(plugins[1].bundles->front().quarantinePath, "/Q/OP/Old.vst3");
    EXPECT_EQ(plugins[1].status, PluginStatus::quarantined);
    ASSERT_THAT(history, SizeIs(2));
    EXPECT_EQ(history[0].presetRunID, run.id);
    EXPECT_EQ(history[0].transactionID, transaction.string());

    const auto once = plugins;
    commitQuarantine(plugins, history, {run}, transaction.string(), items, moment);
    EXPECT_EQ(plugins, once);
    EXPECT_THAT(history, SizeIs(2));
}

TEST(PrivilegedInventoryCommit, AnItemMustNameExactlyOneRecordAndNothingChangesOtherwise) {
    auto first = sampleProduct("Acme", "Echo", {"VST3"});
    first.bundles = std::vector{sampleBundle("VST3", "/P/VST3/Echo.vst3")};
    auto twin = sampleProduct("Acme", "Echo Twin", {"VST3"});
    twin.bundles = std::vector{sampleBundle("VST3", "/P/VST3/echo.vst3")};
    auto other = sampleProduct("Acme", "Solo", {"VST3"});
    other.bundles = std::vector{sampleBundle("VST3", "/P/VST3/Solo.vst3")};
    std::vector<HistoryItem> history;

    const auto quarantineFails = [&](std::vector<Plugin>& plugins, std::vector<PrivilegedQuarantineItem> items) {
        return failureOf([&] { commitQuarantine(plugins, history, {}, "T", items, moment); });
    };

    std::vector<Plugin> twins{first, twin};
    EXPECT_EQ(quarantineFails(twins, {{"/P/VST3/Echo.vst3", "/Q/OP/Echo.vst3", "OP"}}),
              PrivilegedInventoryCommitFailure::duplicateInventoryRecord);
    std::vector<Plugin> plugins{first, other};
    const auto before = plugins;
    EXPECT_EQ(quarantineFails(plugins, {{"/P/VST3/Solo.vst3", "/Q/A/Solo.vst3", "A"},
                                        {"/P/VST3/Gone.vst3", "/Q/A/Gone.vst3", "A"}}),
              PrivilegedInventoryCommitFailure::missingInventoryRecord);
    EXPECT_EQ(plugins, before) << "the first item is not applied either";
    EXPECT_EQ(quarantineFails(plugins, {{"/P/VST3/Solo.vst3", "/Q/A/Solo.vst3", "A"},
                                        {"/P/VST3/solo.vst3", "/Q/B/Solo.vst3", "B"}}),
              PrivilegedInventoryCommitFailure::duplicateInventoryRecord);
    EXPECT_TRUE(history.empty());

    // A restore matches operation and original path as well.
    auto quarantined = sampleProduct("Acme", "Echo", {"VST3"});
    quarantined.bundles = std::vector{quarantinedBundle("VST3", "/P/VST3/Echo.vst3", "OP", "/Q")};
    std::vector<Plugin> restoring{quarantined};
    EXPECT_EQ(failureOf([&] {
                  commitRestore(restoring, history, "T", {{"/Q/OP/Echo.vst3", "/P/VST3/Elsewhere.vst3", "OP"}}, moment);
              }),
              PrivilegedInventoryCommitFailure::missingInventoryRecord);
    EXPECT_EQ(failureOf([&] {
                  commitRestore(restoring, history, "T", {{"/Q/OP/Echo.vst3", "/P/VST3/Echo.vst3", "OTHER"}}, moment);
              }),
              PrivilegedInventoryCommitFailure::missingInventoryRecord);
    // So does a move to the Trash.
    std::vector<TrashedBundleRecord> trashed;
    EXPECT_EQ(failureOf([&] {
                  commitTrash(restoring, history, trashed, "T", {{"/Q/OP/Echo.vst3", "/T/Echo.vst3", "OTHER"}}, moment);
              }),
              PrivilegedInventoryCommitFailure::missingInventoryRecord);
    EXPECT_TRUE(trashed.empty());
    commitRestore(restoring, history, "T", {{"/Q/OP/Echo.vst3", "/P/VST3/Echo.vst3", "OP"}}, moment);
    EXPECT_FALSE((*restoring[0].bundles)[0].isQuarantined());
    EXPECT_EQ(restoring[0].status, PluginStatus::ok);
}

// What a Trash move writes is in the recorded Trash steps; here a run's mark
// carried into the record and a repeated close of the record.
TEST(PrivilegedInventoryCommit, TrashKeepsTheRunOfABundleAndClosingItsRecordIsRepeatable) {
    const auto run = Uuid::random();
    auto echo = sampleProduct("Acme", "Echo", {"VST2", "VST3"});
    auto vst3 = quarantinedBundle("VST3", "/P/VST3/Echo.vst3", "OP", "/Q");
    vst3.presetRunID = run;
    echo.bundles = std::vector{sampleBundle("VST2", "/P/VST/Echo.vst"), vst3};
    std::vector<Plugin> plugins{echo};
    std::vector<HistoryItem> history;
    std::vector<TrashedBundleRecord> trashed;

    commitTrash(plugins, history, trashed, "T", {{"/Q/OP/Echo.vst3", "/T/Echo.vst3", "OP"}}, moment);
    ASSERT_THAT(trashed, SizeIs(1));
    EXPECT_EQ(trashed[0].presetRunID, run);
    ASSERT_THAT(history, SizeIs(1));
    EXPECT_EQ(history[0].presetRunID, run);

    std::vector<PrivilegedTrashRestoreItem> back{
        {"/T/Echo.vst3", "/P/VST3/Echo.vst3", trashed[0].id.string(), "Echo.vst3", "VST3"}};
    commitTrashRestore(trashed, history, "R", back, moment);
    const auto closed = trashed;
    commitTrashRestore(trashed, history, "R2", back, moment);
    EXPECT_EQ(trashed, closed);
    EXPECT_EQ(trashed[0].restoreTransactionID, "R");
    EXPECT_THAT(history, SizeIs(2));
    back[0].recoveryRecordID = Uuid::random().string();
    EXPECT_EQ(failureOf([&] { commitTrashRestore(trashed, history, "R", back, moment); }),
              PrivilegedInventoryCommitFailure::missingInventoryRecord);
}

}  // namespace
}  // namespace kestrova::testing
