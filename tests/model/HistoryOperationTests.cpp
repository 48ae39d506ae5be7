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

    EXPECT_EQ(groupedHistoryOperations({vst3, other, au}).size(), 3u);

    // Same transaction but another kind, another product (case matters), or
    // one side without an identifier: separate rows.
    auto restored = au;
    restored.kind = HistoryKind::restore;
    EXPECT_EQ(groupedHistoryOperations({vst3, restored}).size(), 2u);
    auto renamed = au;
    renamed.plugin = "pro-q 3";
    EXPECT_EQ(groupedHistoryOperations({vst3, renamed}).size(), 2u);
    auto untracked = au;
    untracked.transactionID.reset();
    EXPECT_EQ(groupedHistoryOperations({vst3, untracked}).size(), 2u);

    const auto protectA = item("Pro-Q 3", HistoryKind::protection, "Protected", "1:00 PM", "T1");
    const auto protectB = item("Pro-Q 3", HistoryKind::protection, "Protected", "1:00 PM", "T1");
    const auto protections = groupedHistoryOperations({protectA, protectB});
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

    auto later = second;
    later.time = "9:16 AM";
    EXPECT_EQ(groupedHistoryOperations({first, later}).size(), 2u);

    auto plain = second;
    plain.detail = "Restored VST3 bundle";
    EXPECT_EQ(groupedHistoryOperations({first, plain}).size(), 2u);

    // Every atomic neighbour at the same time joins; an item with an
    // identifier never groups with legacy ones.
    const auto third = item("Kontakt 8", HistoryKind::restore, "atomic AAX bundle", "9:15 AM");
    const auto tracked = item("Kontakt 8", HistoryKind::restore, "atomic", "9:15 AM", "T9");
    EXPECT_EQ(groupedHistoryOperations({first, second, third}).size(), 1u);
    EXPECT_EQ(groupedHistoryOperations({tracked, first}).size(), 2u);
}

TEST(HistoryOperations, SummariesUseItemCountForThePluralAndFallBackToCounts) {
    const auto lone = groupedHistoryOperations({item("X", HistoryKind::restore, "Restored the bundle")});
    EXPECT_EQ(operationSummary(lone[0]),
              "1 format bundle restored to the recorded original location as one product transaction.");

    const auto first = item("X", HistoryKind::trash, "moved", "t", "T", "");
    const auto second = item("X", HistoryKind::trash, "moved", "t", "T");
    EXPECT_EQ(operationSummary(groupedHistoryOperations({first, second})[0]),
              "2 format bundles moved to Finder Trash as one recoverable product transaction.");

    const auto vst2a = item("X", HistoryKind::trashRestore, "r", "t", "T", "VST2");
    const auto vst2b = item("X", HistoryKind::trashRestore, "r", "t", "T", "VST2");
    const auto twoVst2 = groupedHistoryOperations({vst2a, vst2b});
    EXPECT_EQ(operationFormats(twoVst2[0]), std::vector<std::string>{"VST2"});
    EXPECT_EQ(operationSummary(twoVst2[0]), "VST2 restored from Finder Trash to the recorded original locations.");

    const auto clap = item("X", HistoryKind::quarantine, "q", "t", "T", "CLAP");
    const auto custom = item("X", HistoryKind::quarantine, "q", "t", "T", "Custom");
    const auto fromDetail = item("X", HistoryKind::quarantine, "Moved the au BUNDLE away", "t", "T");
    const auto mixed = groupedHistoryOperations({clap, custom, fromDetail});
    EXPECT_EQ(operationFormats(mixed[0]), (std::vector<std::string>{"AU", "CLAP", "Custom"}));
    EXPECT_EQ(operationSummary(mixed[0]),
              "AU + CLAP + Custom moved to reversible quarantine as one product transaction.");

    // "VST3" alone (no " bundle" after it) names nothing.
    EXPECT_TRUE(
        operationFormats(groupedHistoryOperations({item("X", HistoryKind::quarantine, "VST3 moved")})[0]).empty());
    EXPECT_EQ(operationSummary(HistoryOperation{Uuid::random(), "X", HistoryKind::scan, "t", {}}), "");
}

TEST(HistoryOperations, TimeTextIsAShortTimeWithoutADate) {
    const auto text = historyTimeText(Date{0});
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text.find("2001"), std::string::npos);
    EXPECT_NE(text.find(':'), std::string::npos);
    EXPECT_LE(text.size(), 12u);
}

}  // namespace
}  // namespace kestrova
