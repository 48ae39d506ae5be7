#include "platform/Text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrova {
namespace {

TEST(SortKeys, OrderAgreesWithTheLocalizedStandardComparison) {
    const std::vector<std::string> names{"Unit 10", "unit 9",  "Unit 9", "Waves Tune", "WaveShell", "Éclair",
                                         "eclair",  "Alpha 2", "",       "Alpha 10",   "a-b",       "a b"};
    for (const auto& a : names) {
        for (const auto& b : names) {
            const int compared = localizedStandardCompare(a, b);
            const auto keyA = localizedStandardSortKey(a);
            const auto keyB = localizedStandardSortKey(b);
            EXPECT_EQ(compared < 0, keyA < keyB) << a << " / " << b;
            EXPECT_EQ(compared == 0, keyA == keyB) << a << " / " << b;
        }
    }
}

}  // namespace
}  // namespace kestrova
