#include "platform/ByteCount.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace kestrova {
namespace {

TEST(ByteCount, SmallValuesAreBytesOrZero) {
    EXPECT_EQ(formatFileByteCount(0), "Zero KB");
    EXPECT_EQ(formatFileByteCount(1), "1 byte");
    EXPECT_EQ(formatFileByteCount(2), "2 bytes");
    EXPECT_EQ(formatFileByteCount(999), "999 bytes");
}

TEST(ByteCount, DecimalUnitsWithUnitSpecificPrecision) {
    EXPECT_EQ(formatFileByteCount(1000), "1 KB");
    EXPECT_EQ(formatFileByteCount(1499), "1 KB");
    EXPECT_EQ(formatFileByteCount(1500), "2 KB");
    EXPECT_EQ(formatFileByteCount(2500), "3 KB");  // half rounds up, not to even
    EXPECT_EQ(formatFileByteCount(39'800'000), "39.8 MB");
    EXPECT_EQ(formatFileByteCount(39'850'000), "39.9 MB");  // no binary-fraction drift
    EXPECT_EQ(formatFileByteCount(40'000'000), "40 MB");    // trailing zero dropped
    EXPECT_EQ(formatFileByteCount(653'900'000), "653.9 MB");
    EXPECT_EQ(formatFileByteCount(1'250'000'000), "1.25 GB");
    EXPECT_EQ(formatFileByteCount(1'200'000'000), "1.2 GB");
    EXPECT_EQ(formatFileByteCount(3'000'000'000'000), "3 TB");
}

TEST(ByteCount, ValuesThatRoundUpMoveToTheNextUnit) {
    EXPECT_EQ(formatFileByteCount(999'499), "999 KB");
    EXPECT_EQ(formatFileByteCount(999'500), "1 MB");
    EXPECT_EQ(formatFileByteCount(999'949'999), "999.9 MB");
    EXPECT_EQ(formatFileByteCount(999'950'000), "1 GB");
    EXPECT_EQ(formatFileByteCount(std::numeric_limits<std::uint64_t>::max()), "18.45 EB");
}

}  // namespace
}  // namespace kestrova
