// Texts, sizes, paths and identifiers as this system spells and compares them.
#include "platform/ByteCount.h"
#include "platform/EscapedText.h"
#include "platform/LocaleText.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/Uuid.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace kestrova {
namespace {

TEST(Text, CollationKeepsSpacesAndAccentsAndTheStandardOneOrdersNumbersByValue) {
    // Spaces kept and case ignored (Waves Tune before WaveShell, iZotope
    // among the capitals) are in the demo's scan and list orders.
    // Accents are kept at this strength.
    EXPECT_NE(localizedCaseInsensitiveCompare("Resume", "Résumé"), 0);
    // Only the standard comparison orders numbers by value.
    EXPECT_LT(localizedStandardCompare("Unit 9", "Unit 10"), 0);
    EXPECT_GT(localizedCaseInsensitiveCompare("Unit 9", "Unit 10"), 0);
    EXPECT_EQ(localizedStandardCompare("unit 10", "Unit 10"), 0);
}

TEST(Text, FoldingContainsAndTrimming) {
    EXPECT_EQ(foldCaseAndDiacritics("Résumé ÉCHO"), "resume echo");
    EXPECT_EQ(foldCase("Résumé"), "résumé");
    EXPECT_TRUE(localizedCaseInsensitiveContains("WaveShell1-AU 14.12", "shell"));
    EXPECT_FALSE(localizedCaseInsensitiveContains("Résumé", "resume"));
    EXPECT_TRUE(localizedStandardContains("Résumé", "RESUME"));
    EXPECT_EQ(unicodeLowercased("ÄRGER|Ölfilter"), "ärger|ölfilter");
    EXPECT_EQ(lowercased("ÄB"), "Äb");  // ASCII only
    EXPECT_EQ(trimmedWhitespace(" \t\nName \n"), "Name");
    EXPECT_EQ(trimmedWhitespace(" \t "), "");
    EXPECT_EQ(trimmedWhitespace("a b"), "a b");
}

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

TEST(LocaleText, TheAbbreviatedDateWithAShortTimeDropsOnlyTheSeconds) {
    const Date when{770000000.0};
    const auto text = abbreviatedDateShortTimeText(when);
    const auto time = shortTimeText(when);
    ASSERT_FALSE(time.empty());
    ASSERT_TRUE(text.ends_with(time)) << text;
    const auto date = text.substr(0, text.size() - time.size());
    EXPECT_TRUE(abbreviatedDateTimeText(when).starts_with(date)) << text;
    EXPECT_NE(text, abbreviatedDateTimeText(when));
}

TEST(ByteCount, DecimalUnitsWithPerUnitPrecisionRoundingIntoTheNextUnit) {
    const std::vector<std::pair<std::uint64_t, std::string>> cases{
        {0, "Zero KB"},
        {1, "1 byte"},
        {999, "999 bytes"},
        {1000, "1 KB"},
        {1499, "1 KB"},
        {2500, "3 KB"},           // half rounds up, not to even
        {39'850'000, "39.9 MB"},  // no binary-fraction drift
        {40'000'000, "40 MB"},    // trailing zero dropped
        {653'900'000, "653.9 MB"},
        {1'250'000'000, "1.25 GB"},
        {1'200'000'000, "1.2 GB"},
        {3'000'000'000'000, "3 TB"},
        {999'499, "999 KB"},
        {999'500, "1 MB"},
        {999'949'999, "999.9 MB"},
        {999'950'000, "1 GB"},
        {std::numeric_limits<std::uint64_t>::max(), "18.45 EB"},
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(formatFileByteCount(bytes), text) << bytes;
    }
}

TEST(Paths, StandardizationIsLexical) {
    EXPECT_EQ(standardizedPath("/Library//Audio/./Plug-Ins/"), "/Library/Audio/Plug-Ins");
    EXPECT_EQ(standardizedPath("/Library/Audio/../Application Support"), "/Library/Application Support");
    EXPECT_EQ(standardizedPath("/../x"), "/x");
    EXPECT_EQ(standardizedPath("/"), "/");
    EXPECT_EQ(standardizedPath("//"), "/");
    EXPECT_EQ(standardizedPath("a/../../b"), "../b");
    EXPECT_EQ(standardizedPath("/does/not/exist/.."), "/does/not");
}

TEST(Paths, ComponentsAndExtensions) {
    EXPECT_EQ(lastPathComponent("/a/Pro-Q 3.vst3/"), "Pro-Q 3.vst3");
    EXPECT_EQ(deletingLastPathComponent("/a/b"), "/a");
    EXPECT_EQ(deletingLastPathComponent("/a"), "/");
    EXPECT_EQ(appendingPathComponent("/a/", "/b"), "/a/b");
    EXPECT_EQ(pathExtension("/x/Pro-Q 3.VST3"), "VST3");
    EXPECT_EQ(pathExtension("/x/.hidden"), "");
    EXPECT_EQ(pathExtension("/x/v1.2/plain"), "");
    EXPECT_EQ(deletingPathExtension("/x/Decapitator.component"), "/x/Decapitator");
    EXPECT_EQ(deletingPathExtension("/x/a.b.clap"), "/x/a.b");
}

TEST(Paths, InsideComparesWholeComponents) {
    EXPECT_TRUE(isPathInside("/Library/Audio/Plug-Ins/VST/x.vst", "/Library/Audio/Plug-Ins/VST"));
    EXPECT_FALSE(isPathInside("/Library/Audio/Plug-Ins/VST3/x.vst3", "/Library/Audio/Plug-Ins/VST"));
    EXPECT_TRUE(isPathInside("/Library/Audio/Plug-Ins/VST/", "/Library/Audio/Plug-Ins/VST"));
    EXPECT_TRUE(isPathInside("/anything", "/"));
}

TEST(Uuid, ReadsEitherCaseWritesUpperCaseAndRefusesAnythingElse) {
    const auto parsed = Uuid::parse("0f8e2c1a-3b4d-4e5f-8a9b-0c1d2e3f4a5b");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->string(), "0F8E2C1A-3B4D-4E5F-8A9B-0C1D2E3F4A5B");
    EXPECT_EQ(Uuid::parse(parsed->string()), parsed);
    const auto id = Uuid::random();
    EXPECT_EQ(Uuid::parse(id.string()), id);
    EXPECT_NE(Uuid::random(), id);
    for (const auto* text : {"", "0F8E2C1A-3B4D-4E5F-8A9B-0C1D2E3F4A5", "0F8E2C1A-3B4D-4E5F-8A9B-0C1D2E3F4A5BB",
                             "0F8E2C1A33B4D-4E5F-8A9B-0C1D2E3F4A5B", "0F8E2C1-A3B4D-4E5F-8A9B-0C1D2E3F4A5B",
                             "0F8E2C1A-3B4D-4E5F-8A9B-0C1D2E3F4A5G", "{F8E2C1A-3B4D-4E5F-8A9B-0C1D2E3F4A5B",
                             " 0F8E2C1A-3B4D-4E5F-8A9B-0C1D2E3F4A5"}) {
        EXPECT_FALSE(Uuid::parse(text)) << text;
    }
}

// A Trash record's Path= keeps letters, digits, "-._~" and "/" as they are
// and every other byte as %XX, or a file manager restores to another path.
TEST(EscapedText, PercentEncodingKeepsExactlyTheUnreservedBytes) {
    for (int byte = 1; byte < 256; ++byte) {
        const char c = static_cast<char>(byte);
        const bool unreserved = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                                (byte >= '0' && byte <= '9') ||
                                std::string_view("-._~/").find(c) != std::string_view::npos;
        char escaped[4];
        std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
        EXPECT_EQ(percentEncodedPath(std::string(1, c)), unreserved ? std::string(1, c) : std::string(escaped))
            << "byte " << byte;
    }
    EXPECT_EQ(percentEncodedPath("/Wide Verb 100%.vst3"), "/Wide%20Verb%20100%25.vst3");
}

}  // namespace
}  // namespace kestrova
