#include "model/HistoryOperation.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

HistoryItem item(std::string plugin, HistoryKind kind, std::string detail, std::string time = "t",
                 std::optional<std::string> transactionID = std::nullopt,
                 std::optional<std::string> format = std::nullopt) {
    return makeHistoryItem(std::move(plugin), kind, std::move(detail), std::move(time), std::move(transactionID),
                           std::move(format));
}

// Which items share a row, and what the row says.
TEST(HistoryOperations, NeighboursOfOneTransactionOrOneLegacyAtomicMoveShareARow) {
    const auto vst3 = item("Pro-Q 3", HistoryKind::quarantine, "moved", "1:00 PM", "T1", "VST3");
    const auto au = item("Pro-Q 3", HistoryKind::quarantine, "moved", "1:01 PM", "T1", "AU");
    const auto grouped = groupedHistoryOperations({vst3, au});
    ASSERT_EQ(grouped.size(), 1u);
    EXPECT_EQ(grouped[0].id, vst3.id);
    EXPECT_EQ(grouped[0].time, "1:00 PM");
    EXPECT_EQ(grouped[0].items, (std::vector<HistoryItem>{vst3, au}));

    auto restored = au;
    restored.kind = HistoryKind::restore;
    auto renamed = au;
    renamed.plugin = "pro-q 3";  // case matters
    auto untracked = au;
    untracked.transactionID.reset();
    const auto protect = item("Pro-Q 3", HistoryKind::protection, "Protected", "1:00 PM", "T1");
    // Items without an identifier group by time when every detail says "atomic".
    const auto first = item("Kontakt 8", HistoryKind::restore, "Restored AU bundle (atomic)", "9:15 AM");
    const auto second = item("Kontakt 8", HistoryKind::restore, "Restored VST3 bundle in one ATOMIC move", "9:15 AM");
    auto later = second;
    later.time = "9:16 AM";
    auto plain = second;
    plain.detail = "Restored VST3 bundle";
    const auto tracked = item("Kontakt 8", HistoryKind::restore, "atomic", "9:15 AM", "T9");
    const std::vector<std::pair<std::vector<HistoryItem>, std::size_t>> rows{
        {{vst3, item("Decapitator", HistoryKind::quarantine, "moved", "1:00 PM", "T2", "AU"), au}, 3},
        {{vst3, restored}, 2},
        {{vst3, renamed}, 2},
        {{vst3, untracked}, 2},
        {{protect, protect}, 2},
        {{}, 0},
        {{first, second, item("Kontakt 8", HistoryKind::restore, "atomic AAX bundle", "9:15 AM")}, 1},
        {{first, later}, 2},
        {{first, plain}, 2},
        {{tracked, first}, 2},  // an identifier never groups with legacy items
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(groupedHistoryOperations(rows[i].first).size(), rows[i].second) << "case " << i;
    }

    // Formats come from the items' fields or, failing that, "<format> bundle"
    // in the detail; without any, the items are counted.
    const auto vst2 = item("X", HistoryKind::trashRestore, "r", "t", "T", "VST2");
    const std::vector<std::pair<std::vector<HistoryItem>, std::string>> summaries{
        {{first, second}, "AU + VST3 restored to the recorded original locations as one product transaction."},
        {{item("X", HistoryKind::restore, "Restored the bundle")},
         "1 format bundle restored to the recorded original location as one product transaction."},
        {{item("X", HistoryKind::trash, "moved", "t", "T", ""), item("X", HistoryKind::trash, "moved", "t", "T")},
         "2 format bundles moved to Finder Trash as one recoverable product transaction."},
        {{vst2, vst2}, "VST2 restored from Finder Trash to the recorded original locations."},
        {{item("X", HistoryKind::quarantine, "q", "t", "T", "CLAP"),
          item("X", HistoryKind::quarantine, "q", "t", "T", "Custom"),
          item("X", HistoryKind::quarantine, "Moved the au BUNDLE away", "t", "T")},
         "AU + CLAP + Custom moved to reversible quarantine as one product transaction."},
    };
    for (const auto& [items, summary] : summaries) {
        EXPECT_EQ(operationSummary(groupedHistoryOperations(items).at(0)), summary);
    }
    EXPECT_TRUE(
        operationFormats(groupedHistoryOperations({item("X", HistoryKind::quarantine, "VST3 moved")})[0]).empty());
    EXPECT_EQ(operationSummary(HistoryOperation{Uuid::random(), "X", HistoryKind::scan, "t", {}}), "");

    // Times are short, without a date.
    const auto text = historyTimeText(Date{0});
    EXPECT_EQ(text.find("2001"), std::string::npos);
    EXPECT_NE(text.find(':'), std::string::npos);
    EXPECT_LE(text.size(), 12u);
}

TEST(HistoryOperations, OnlyCancelledKindsReportNoChangesAndOnlyAPartialPresetIsPartial) {
    int noChanges = 0;
    int partial = 0;
    for (int raw = 0; raw < historyKindCount; ++raw) {
        const auto result = operationResult(static_cast<HistoryKind>(raw));
        noChanges += result == "No changes made";
        partial += result == "Partially Completed";
    }
    EXPECT_EQ(noChanges, 3);
    EXPECT_EQ(partial, 1);
    EXPECT_EQ(operationResult(HistoryKind::canceled), "No changes made");
    EXPECT_EQ(operationResult(HistoryKind::cleanupPresetCanceled), "No changes made");
    EXPECT_EQ(operationResult(HistoryKind::cleanupPresetPartiallyCompleted), "Partially Completed");
}

}  // namespace
}  // namespace kestrova
