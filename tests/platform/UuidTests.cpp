#include "platform/Uuid.h"

#include <gtest/gtest.h>

namespace kestrova::testing {
namespace {

TEST(Uuid, ReadsEitherCaseWritesUpperCaseAndRefusesAnythingElse) {
    const auto parsed = Uuid::parse("0f8e2c1a-3b4d-4e5f-8a9b-0c1d2e3f4a5b");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->string(), "0F8E2C1A-3B4D-4E5F-8A9B-0C1D2E3F4A5B");
    EXPECT_EQ(Uuid::parse(parsed->string()), parsed);
    for (int i = 0; i < 100; ++i) {
        const auto id = Uuid::random();
        EXPECT_EQ(Uuid::parse(id.string()), id);
    }
    for (const auto* text : {"", "0F8E2C1A-3B4D-4E5F-8A9B-0C1D2E3F4A5", "0F8E2C1A-3B4D-4E5F-8A9B-0C1D2E3F4A5BB",
                             "0F8E2C1A33B4D-4E5F-8A9B-0C1D2E3F4A5B", "0F8E2C1-A3B4D-4E5F-8A9B-0C1D2E3F4A5B",
                             "0F8E2C1A-3B4D-4E5F-8A9B-0C1D2E3F4A5G", "{F8E2C1A-3B4D-4E5F-8A9B-0C1D2E3F4A5B",
                             " 0F8E2C1A-3B4D-4E5F-8A9B-0C1D2E3F4A5"}) {
        EXPECT_FALSE(Uuid::parse(text)) << text;
    }
}

}  // namespace
}  // namespace kestrova::testing
