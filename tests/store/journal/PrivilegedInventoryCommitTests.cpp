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
    std::vector<Plugin> plugins{product};
    std::vector<HistoryItem> history;
    const auto transaction = Uuid::random();
    const std::vector<FormatCleanupRunRecord> runs{{Uuid::random(),
                                                    Uuid::random(),
                                                    FormatCleanupPresetKind::auOnly,
                                                    Date{},
                                                    FormatCleanupRunStatus::pending,
                                                    {},
                                                    {Uuid::random(), transaction}}};
    // Paths are matched standardized and without regard to letter case.
    const std::vector<PrivilegedQuarantineItem> items{{"/p/vst3/./ECHO.vst3", "/Q/OP/Echo.vst3", "OP"}};

    commitQuarantine(plugins, history, runs, transaction.string(), items, moment);
    const auto& record = (*plugins[0].bundles)[1];
    EXPECT_EQ(record.originalPath, "/p/vst3/./ECHO.vst3");
    EXPECT_EQ(record.quarantinePath, "/Q/OP/Echo.vst3");
    EXPECT_EQ(record.presetRunID, runs[0].id);
    EXPECT_EQ(plugins[0].status, PluginStatus::partiallyQuarantined);
    ASSERT_THAT(history, SizeIs(1));
    EXPECT_EQ(history[0].presetRunID, runs[0].id);
    EXPECT_EQ(history[0].transactionID, transaction.string());

    const auto once = plugins;
    commitQuarantine(plugins, history, runs, transaction.string(), items, moment);
    EXPECT_EQ(plugins, once);
    EXPECT_THAT(history, SizeIs(1));
}

TEST(PrivilegedInventoryCommit, AnItemMustNameExactlyOneRecordAndNothingChangesOtherwise) {
    auto first = sampleProduct("Acme", "Echo", {"VST3"});
    first.bundles = std::vector{sampleBundle("VST3", "/P/VST3/Echo.vst3")};
    auto twin = sampleProduct("Acme", "Echo Twin", {"VST3"});
    twin.bundles = std::vector{sampleBundle("VST3", "/P/VST3/echo.vst3")};
    auto other = sampleProduct("Acme", "Solo", {"VST3"});
    other.bundles = std::vector{sampleBundle("VST3", "/P/VST3/Solo.vst3")};
    std::vector<HistoryItem> history;

    std::vector<Plugin> twins{first, twin};
    EXPECT_EQ(failureOf([&] {
                  commitQuarantine(twins, history, {}, "T", {{"/P/VST3/Echo.vst3", "/Q/OP/Echo.vst3", "OP"}}, moment);
              }),
              PrivilegedInventoryCommitFailure::duplicateInventoryRecord);

    std::vector<Plugin> plugins{first, other};
    const auto before = plugins;
    EXPECT_EQ(failureOf([&] {
                  commitQuarantine(
                      plugins, history, {}, "T",
                      {{"/P/VST3/Solo.vst3", "/Q/A/Solo.vst3", "A"}, {"/P/VST3/Gone.vst3", "/Q/A/Gone.vst3", "A"}},
                      moment);
              }),
              PrivilegedInventoryCommitFailure::missingInventoryRecord);
    EXPECT_EQ(plugins, before) << "the first item is not applied either";
    EXPECT_EQ(failureOf([&] {
                  commitQuarantine(
                      plugins, history, {}, "T",
                      {{"/P/VST3/Solo.vst3", "/Q/A/Solo.vst3", "A"}, {"/P/VST3/solo.vst3", "/Q/B/Solo.vst3", "B"}},
                      moment);
              }),
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

TEST(PrivilegedInventoryCommit, AnOlderProductGetsItsImpliedBundleWrittenOut) {
    auto legacy = sampleProduct("Acme", "Old", {"VST3"});
    legacy.path = "/P/VST3/Old.vst3";
    std::vector<Plugin> plugins{legacy};
    std::vector<HistoryItem> history;
    commitQuarantine(plugins, history, {}, "T", {{"/P/VST3/Old.vst3", "/Q/OP/Old.vst3", "OP"}}, moment);
    ASSERT_TRUE(plugins[0].bundles);
    ASSERT_THAT(*plugins[0].bundles, SizeIs(1));
    EXPECT_EQ(plugins[0].bundles->front().quarantinePath, "/Q/OP/Old.vst3");
    EXPECT_EQ(plugins[0].status, PluginStatus::quarantined);
}

TEST(PrivilegedInventoryCommit, TrashTakesBundlesOutAndRecordsWhereTheyWent) {
    const auto run = Uuid::random();
    auto echo = sampleProduct("Acme", "Echo", {"AU", "VST2", "VST3"});
    auto vst3 = quarantinedBundle("VST3", "/P/VST3/Echo.vst3", "OP", "/Q");
    vst3.presetRunID = run;
    echo.bundles = std::vector{quarantinedBundle("AU", "/P/Components/Echo.component", "OP", "/Q"),
                               sampleBundle("VST2", "/P/VST/Echo.vst"), vst3};
    auto solo = sampleProduct("Acme", "Solo", {"VST3"});
    solo.bundles = std::vector{quarantinedBundle("VST3", "/P/VST3/Solo.vst3", "OP", "/Q")};
    std::vector<Plugin> plugins{solo, echo};
    std::vector<HistoryItem> history;
    std::vector<TrashedBundleRecord> trashed;

    commitTrash(plugins, history, trashed, "T",
                {{"/Q/OP/Echo.vst3", "/T/Echo.vst3", "OP"},
                 {"/Q/OP/Solo.vst3", "/T/Solo.vst3", "OP"},
                 {"/Q/OP/Echo.component", "/T/Echo.component", "OP"}},
                moment);
    ASSERT_THAT(plugins, SizeIs(1));
    EXPECT_EQ(plugins[0].formats, std::vector<std::string>{"VST2"});
    EXPECT_EQ(plugins[0].status, PluginStatus::ok);
    ASSERT_THAT(trashed, SizeIs(3));
    EXPECT_EQ(trashed[0],
              (TrashedBundleRecord{trashed[0].id, "Echo", "Acme", "VST3", "/P/VST3/Echo.vst3", "/T/Echo.vst3",
                                   moment.now, "T", run, std::nullopt, std::nullopt, std::nullopt}));
    EXPECT_EQ(trashed[1].pluginName, "Solo");
    ASSERT_THAT(history, SizeIs(3));
    EXPECT_EQ(history[2].presetRunID, run);

    // Closing the records is repeatable too.
    std::vector<PrivilegedTrashRestoreItem> back{
        {"/T/Solo.vst3", "/P/VST3/Solo.vst3", trashed[1].id.string(), "Solo.vst3", "VST3"}};
    commitTrashRestore(trashed, history, "R", back, moment);
    const auto closed = trashed;
    commitTrashRestore(trashed, history, "R2", back, moment);
    EXPECT_EQ(trashed, closed);
    EXPECT_EQ(trashed[1].restoreTransactionID, "R");
    EXPECT_THAT(history, SizeIs(4));
    back[0].recoveryRecordID = Uuid::random().string();
    EXPECT_EQ(failureOf([&] { commitTrashRestore(trashed, history, "R", back, moment); }),
              PrivilegedInventoryCommitFailure::missingInventoryRecord);
}

}  // namespace
}  // namespace kestrova::testing
