// The fast printer must agree with the library's dump(2) byte for byte, or
// a save would rewrite a file that did not change.
#include "store/PrettyJson.h"

#include <gtest/gtest.h>

#include <random>

namespace kestrova::testing {
namespace {

std::string printed(const Json& value, unsigned indent = 0) {
    std::string out;
    appendPrettyJson(out, value, indent);
    return out;
}

TEST(PrettyJson, PrintsWhatTheLibraryPrints) {
    const auto document = Json::parse(R"({
        "empty object": {}, "empty array": [], "null": null, "yes": true, "no": false,
        "integers": [0, -1, 9223372036854775807, 18446744073709551615],
        "dates": [786543210.12345603, 786000400.0, 1e-7, -0.5],
        "nested": {"b": [{"z": 1, "a": [[], {}]}], "a": "x"},
        "plain": "/Library/Audio/Plug-Ins/VST3/Pro-Q 3.vst3",
        "escaped": "quote \" backslash \\ newline \n tab \t bell \u0007 delete \u007f",
        "unicode": "Ünïcødé — “curly” 🎛 \u2028",
        "key \"quoted\"\n": "value"
    })");
    EXPECT_EQ(printed(document), document.dump(2));

    // Nested at an indentation, as the records of a streamed array are.
    const auto record = document.at("nested");
    auto expected = Json::object({{"k", Json::array({record})}}).dump(2);
    expected = expected.substr(expected.find("{\n      "), expected.rfind('}') - expected.find("{\n      ") + 1);
    expected = expected.substr(0, expected.rfind("\n  ]"));
    EXPECT_EQ(printed(record, 4), expected);
}

TEST(PrettyJson, ReplacesBrokenUtf8AsTheLibraryDoes) {
    for (const std::string text : {"\xff", "a\xc3", "\xc0\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80", "ok \xe2\x82"}) {
        const Json value(text);
        EXPECT_EQ(printed(value), value.dump(2, ' ', false, Json::error_handler_t::replace)) << text;
    }
    // Random bytes weighted toward the edges of the encoding.
    std::mt19937 random(2026);
    const std::string alphabet = "a\"\\\n\x01\x7f\x80\xbf\xc2\xdf\xe0\xed\xef\xf0\xf4\xf5\xff";
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        const auto length = random() % 8;
        for (unsigned i = 0; i < length; ++i) {
            text += alphabet[random() % alphabet.size()];
        }
        const Json value(text);
        ASSERT_EQ(printed(value), value.dump(2, ' ', false, Json::error_handler_t::replace))
            << Json(text).dump(-1, ' ', true, Json::error_handler_t::replace);
    }
}

}  // namespace
}  // namespace kestrova::testing
