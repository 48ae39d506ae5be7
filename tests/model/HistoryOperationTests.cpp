#include "model/HistoryOperation.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

HistoryItem item(std::string plugin, HistoryKind kind, std::string detail, std::string time = "3:07 PM",
                 std::optional<std::string> transactionID = std::nullopt,
                 std::optional<std::string> format = std::nullopt) {
    return makeHistoryItem(std::move(plugin), kind, std::move(detail), std::move(time), std::move(transactionID),
                           std::move(format));
}

std::size_t rows(const std::vector<HistoryItem>& items) { return groupedHistoryOperations(items).size(); }

TEST(HistoryOperations, ItemsOfOneTransactionGroupOnlyAsNeighbours) {
    const auto vst3 = item("Pro-Q 3", HistoryKind::quarantine, "moved", "1:00 PM", "T1", "VST3");
    const auto au = item("Pro-Q 3", HistoryKind::quarantine, "moved", "1:01 PM", "T1", "AU");
    const auto other = item("Decapitator", HistoryKind::quarantine, "moved", "1:00 PM", "T2", "AU");

    const auto grouped = groupedHistoryOperations({vst3, au});
    ASSERT_EQ(grouped.size(), 1u);
    EXPECT_EQ(grouped[0].id, vst3.id);
    EXPECT_EQ(grouped[0].time, "1:00 PM");
    EXPECT_EQ(grouped[0].items, (std::vector<HistoryItem>{vst3, au}));
    EXPECT_EQ(operationSummary(grouped[0]), "AU + VST3 moved to reversible quarantine as one product transaction.");
    EXPECT_EQ(rows({vst3, other, au}), 3u);

    // Same transaction but another kind, another product (case matters), or
    // one side without an identifier: separate rows.
    auto restored = au;
    restored.kind = HistoryKind::restore;
    auto renamed = au;
    renamed.plugin = "pro-q 3";
    auto untracked = au;
    untracked.transactionID.reset();
    for (const auto& second : {restored, renamed, untracked}) {
        EXPECT_EQ(rows({vst3, second}), 2u) << second.plugin << " " << second.detail;
    }

    // Protection items never group.
    const auto protect = item("Pro-Q 3", HistoryKind::protection, "Protected", "1:00 PM", "T1");
    const auto protections = groupedHistoryOperations({protect, protect});
    ASSERT_EQ(protections.size(), 2u);
    EXPECT_EQ(operationSummary(protections[0]), "Protected");
    EXPECT_TRUE(groupedHistoryOperations({}).empty());
}

TEST(HistoryOperations, LegacyAtomicItemsGroupByTimeWhenEveryDetailSaysAtomic) {
    const auto first = item("Kontakt 8", HistoryKind::restore, "Restored AU bundle (atomic)", "9:15 AM");
    const auto second = item("Kontakt 8", HistoryKind::restore, "Restored VST3 bundle in one ATOMIC move", "9:15 AM");
    const auto grouped = groupedHistoryOperations({first, second});
    ASSERT_EQ(grouped.size(), 1u);
    EXPECT_EQ(operationSummary(grouped[0]),
              "AU + VST3 restored to the recorded original locations as one product transaction.");
    EXPECT_EQ(rows({first, second, item("Kontakt 8", HistoryKind::restore, "atomic AAX bundle", "9:15 AM")}), 1u);

    auto later = second;
    later.time = "9:16 AM";
    auto plain = second;
    plain.detail = "Restored VST3 bundle";
    const auto tracked = item("Kontakt 8", HistoryKind::restore, "atomic", "9:15 AM", "T9");
    EXPECT_EQ(rows({first, later}), 2u);
    EXPECT_EQ(rows({first, plain}), 2u);
    EXPECT_EQ(rows({tracked, first}), 2u);  // an identifier never groups with legacy items
}

TEST(HistoryOperations, SummariesUseItemCountForThePluralAndFallBackToCounts) {
    const auto summaryOf = [](const std::vector<HistoryItem>& items) {
        return operationSummary(groupedHistoryOperations(items)[0]);
    };
    EXPECT_EQ(summaryOf({item("X", HistoryKind::restore, "Restored the bundle")}),
              "1 format bundle restored to the recorded original location as one product transaction.");
    EXPECT_EQ(summaryOf({item("X", HistoryKind::trash, "moved", "t", "T", ""),
                         item("X", HistoryKind::trash, "moved", "t", "T")}),
              "2 format bundles moved to Finder Trash as one recoverable product transaction.");

    const auto vst2 = item("X", HistoryKind::trashRestore, "r", "t", "T", "VST2");
    const auto twoVst2 = groupedHistoryOperations({vst2, vst2});
    EXPECT_EQ(operationFormats(twoVst2[0]), std::vector<std::string>{"VST2"});
    EXPECT_EQ(operationSummary(twoVst2[0]), "VST2 restored from Finder Trash to the recorded original locations.");

    // Formats come from the items' fields or, failing that, "<format> bundle" in the detail.
    const auto mixed =
        groupedHistoryOperations({item("X", HistoryKind::quarantine, "q", "t", "T", "CLAP"),
                                  item("X", HistoryKind::quarantine, "q", "t", "T", "Custom"),
                                  item("X", HistoryKind::quarantine, "Moved the au BUNDLE away", "t", "T")});
    EXPECT_EQ(operationFormats(mixed[0]), (std::vector<std::string>{"AU", "CLAP", "Custom"}));
    EXPECT_EQ(operationSummary(mixed[0]),
              "AU + CLAP + Custom moved to reversible quarantine as one product transaction.");
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
    EXPECT_EQ(operationResult(HistoryKind::cleanupPresetCompleted), "Successful");
}

}  // namespace
}  // namespace kestrova
