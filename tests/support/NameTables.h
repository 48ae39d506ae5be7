// Name mappings checked as whole tables: every value to its name and back,
// and near misses of each name refused.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::testing {

// `names` lists every value's name in declaration order, so a value left
// out or two swapped fail.
template <typename Enum, typename Name, typename Parse>
void expectNamesBothWays(const std::vector<std::string_view>& names, Name name, Parse parse) {
    for (std::size_t index = 0; index < names.size(); ++index) {
        const auto value = static_cast<Enum>(index);
        const std::string text(names[index]);
        EXPECT_EQ(name(value), text);
        EXPECT_EQ(parse(text), std::optional<Enum>(value)) << text;
        EXPECT_FALSE(parse(text + " ")) << text;
        EXPECT_FALSE(parse(text.substr(1))) << text;
    }
    EXPECT_FALSE(parse(""));
}

}  // namespace kestrova::testing
