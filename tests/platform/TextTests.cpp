#include "platform/Text.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

TEST(Text, CaseInsensitiveCollationKeepsSpacesSignificant) {
    // A collation that skips spaces would put "Waves Tune" after "WaveShell".
    EXPECT_LT(localizedCaseInsensitiveCompare("Waves Tune", "WaveShell"), 0);
    EXPECT_EQ(localizedCaseInsensitiveCompare("fabfilter", "FabFilter"), 0);
    // Lower case before upper case must not matter, even under the C locale.
    EXPECT_LT(localizedCaseInsensitiveCompare("arturia", "Brainworx"), 0);
    EXPECT_GT(localizedCaseInsensitiveCompare("Zynaptiq", "acon"), 0);
    // Accents are kept at this strength.
    EXPECT_NE(localizedCaseInsensitiveCompare("Resume", "Résumé"), 0);
}

TEST(Text, StandardCompareOrdersNumbersByValue) {
    EXPECT_LT(localizedStandardCompare("Unit 9", "Unit 10"), 0);
    EXPECT_GT(localizedCaseInsensitiveCompare("Unit 9", "Unit 10"), 0);
    EXPECT_EQ(localizedStandardCompare("unit 10", "Unit 10"), 0);
}

TEST(Text, FoldingAndContains) {
    EXPECT_EQ(foldCaseAndDiacritics("Résumé ÉCHO"), "resume echo");
    EXPECT_EQ(foldCase("Résumé"), "résumé");
    EXPECT_TRUE(localizedCaseInsensitiveContains("WaveShell1-AU 14.12", "shell"));
    EXPECT_FALSE(localizedCaseInsensitiveContains("Résumé", "resume"));
    EXPECT_TRUE(localizedStandardContains("Résumé", "RESUME"));
    EXPECT_EQ(unicodeLowercased("ÄRGER|Ölfilter"), "ärger|ölfilter");
    EXPECT_EQ(lowercased("ÄB"), "Äb");  // ASCII only
}

TEST(Text, TrimsSpacesTabsAndNewlines) {
    EXPECT_EQ(trimmedWhitespace(" \t\nName \n"), "Name");
    EXPECT_EQ(trimmedWhitespace(" \t "), "");
    EXPECT_EQ(trimmedWhitespace("a b"), "a b");
}

}  // namespace
}  // namespace kestrova
