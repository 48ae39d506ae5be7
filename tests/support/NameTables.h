// Name mappings checked as whole tables: every value to its name and back,
// and near misses of each name refused.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrova::testing {

// `count` is the number of values the enumeration has, so a table that
// leaves one out fails.
template <typename Enum, typename Name, typename Parse>
void expectNamesBothWays(const std::vector<std::pair<Enum, std::string_view>>& table, std::size_t count, Name name,
                         Parse parse) {
    EXPECT_EQ(table.size(), count);
    for (const auto& [value, text] : table) {
        EXPECT_EQ(name(value), text);
        EXPECT_EQ(parse(text), std::optional<Enum>(value)) << text;
        EXPECT_FALSE(parse(std::string(text) + " ")) << text;
        EXPECT_FALSE(parse(std::string(text).substr(1))) << text;
    }
    EXPECT_FALSE(parse(""));
}

}  // namespace kestrova::testing
