// The state document: what it holds, what it refuses, and the fast printer
// that must agree with the library's dump(2) byte for byte, or a save would
// rewrite a file that did not change.
#include "store/state/InventoryStateMigration.h"
#include "store/state/PersistedInventory.h"
#include "store/state/PersistedInventoryReader.h"
#include "store/state/PrettyJson.h"

#include "../StateSamples.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <limits>
#include <random>

namespace kestrova {
namespace {

using kestrova::testing::fullState;
using kestrova::testing::minimalState;
using ::testing::HasSubstr;

// A seed of the state fuzzer. "original-encoder.json" is as the original
// platform's encoder wrote it: " : ", two-space indentation, "/" escaped,
// dates as floating seconds since 2001, empty arrays spread over lines,
// lower-case hex in one UUID (readers accept either case), a key from the future.
std::string corpusSeed(const std::string& name) {
    std::ifstream in(std::string(KESTROVA_SOURCE_DIR) + "/fuzz/corpus/state/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::optional<PersistedInventory> treeDecoded(std::string_view text) {
    try {
        return JsonCoder<PersistedInventory>::decode(Json::parse(text), "");
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// The document with one value replaced (or removed, for a null replacement).
std::string withChange(const std::string& pointer, const nlohmann::json& replacement) {
    auto document = nlohmann::json::parse(corpusSeed("original-encoder.json"));
    if (replacement.is_null()) {
        const nlohmann::json::json_pointer path(pointer);
        document[path.parent_pointer()].erase(path.back());
    } else {
        document[nlohmann::json::json_pointer(pointer)] = replacement;
    }
    return document.dump();
}

// The document is written record by record; the result must be what printing
// the whole tree gives, byte for byte, or a save of an unchanged state would
// rewrite every user's file. Over every shape the file has had (the fuzzer's
// seeds, as read and as upgraded) and text the writer must repair rather than
// refuse.
TEST(PersistedInventoryCoding, RecordByRecordWritesWhatTheWholeTreePrints) {
    auto broken = fullState();
    broken.plugins[0].name = "Broken \xff\xc3 name \x01";
    broken.plugins[0].bundles->at(0).path = "/Library/\xed\xa0\x80/x.vst3";
    broken.history[0].detail = "\xf4\x90\x80\x80 over the top";
    auto escaped = fullState();
    escaped.plugins[0].manufacturer = "quote \" backslash \\ newline \n tab \t bell \u0007 delete \u007f \u2028";
    escaped.plugins[0].name = "Ünïcødé — “curly” 🎛 /Library/Audio/Plug-Ins";
    escaped.schemaVersion = std::numeric_limits<std::int64_t>::min();
    std::vector<PersistedInventory> states{fullState(), minimalState(), broken, escaped};
    for (const double seconds : {786543210.12345603, 786000400.0, 1e-7, -0.5, 0.0}) {
        states.push_back(escaped);
        states.back().lastScanDate = Date{seconds};
    }
    for (const auto* seed : {"unversioned-legacy.json", "every-record.json", "original-encoder.json"}) {
        const auto decoded = decodePersistedInventory(corpusSeed(seed));
        ASSERT_TRUE(decoded) << seed;
        states.push_back(*decoded);
        states.push_back(InventoryStateMigration::migrate(*decoded)->state);
    }
    for (const auto& state : states) {
        EXPECT_EQ(encodePersistedInventory(state),
                  JsonCoder<PersistedInventory>::encode(state).dump(2, ' ', false, Json::error_handler_t::replace));
    }
}

// The direct reader over well-formed, unusual, damaged and hostile documents.
// What it takes must be what the record-by-record decoder gives, down to the
// bytes written back; what that decoder refuses it must refuse too, so that
// the refusal and its words come from there (naming what is wrong). It may
// pass on a few documents the other takes (repeated or escaped keys).
TEST(PersistedInventoryCoding, TheDirectReaderTakesOnlyWhatTheOtherDecoderGives) {
    const auto full = fullState();
    const std::string every = encodePersistedInventory(full);
    const std::string minimal = R"({"history": [], "plugins": [], "protectedKeys": []})";
    const auto withExtra = [&](const std::string& member) { return "{" + member + ", " + minimal.substr(1); };
    const auto withProduct = [](const std::string& edit) {
        auto product = Json::parse(R"({"architecture": "Universal", "formats": ["AU"], "isProtected": false,
            "manufacturer": "Acme", "name": "Gate", "path": "/p", "size": "1 MB", "status": "OK", "version": "1",
            "id": "0E4C6D2A-1B3F-4A5E-8C7D-9F0A1B2C3D4E", "bundles": [{"architecture": "Intel", "format": "AU",
            "path": "/p", "size": "1 MB"}]})");
        product.merge_patch(Json::parse(edit));
        return R"({"history": [], "protectedKeys": [], "plugins": [)" + product.dump() + "]}";
    };
    // A name as it stands in the text, even where that is not JSON.
    const auto withRawName = [&](const std::string& raw) {
        auto text = withProduct(R"({"name": "@@"})");
        return text.replace(text.find("@@"), 2, raw);
    };
    const std::string deep = std::string(3000, '[') + std::string(3000, ']');
    const std::string repeatedNull =
        R"({"plugins": [], "protectedKeys": [], "history": [], "trashedBundles": [], "trashedBundles": null})";
    struct Case {
        std::string text;
        bool taken;
        std::string refusal = {};
    };
    std::vector<Case> cases{
        {every, true},
        {corpusSeed("original-encoder.json"), true},  // "\/", lower-case UUID, an unknown object
        {minimal + " \n\t ", true},
        {"\xEF\xBB\xBF" + minimal, true},
        {withExtra(R"("lastScanDate": -0)"), true},
        {withExtra(R"("lastScanDate": 18446744073709551616)"), true},
        {withExtra(R"("schemaVersion": -9223372036854775808)"), true},
        {withExtra(R"("extra": [1, {"a": [true, null, "\"]"]}], "more": -1.5e-3)"), true},
        {withExtra(R"("extra": )" + deep), true},
        {withProduct(R"({"name": "Pro-Q \ud83c\udf9b \u00fc \"3\"", "future": {"x": [[]]}})"), true},
        {withProduct(R"({"bundles": [{"architecture": "a", "format": "f", "path": "p", "size": "s",
                        "isProtected": null, "presetRunID": null, "originalPath": null}]})"),
         true},
        {withProduct(R"({"bundles": null, "originalPath": null})"), true},

        {R"({"plugins": [], "protectedKeys": ["a", "a"], "history": [], "lastScanDate": 1e300, "schemaVersion": -7})",
         true},
        // Taken by the other decoder only. A repeated key: the later value
        // counts, whether array, null or neither.
        {repeatedNull, false},
        {R"({"plugins": [], "protectedKeys": [], "history": 5, "history": []})", false},
        {R"({"plugins": [], "protectedKeys": [], "history": [], "history": 5})", false},
        {withExtra(R"("plugins": [{"x": 1}])"), false},
        {withExtra(R"("plu\u0067ins": [{"x": 1}])"), false},
        {withProduct(R"({"path": "/a"})").replace(1, 0, R"("history": [],)"), false},
        // Refused by both, with words that say what is wrong.
        {withChange("/history", nullptr), false, "The key “history” is missing."},
        {withChange("/plugins", nullptr), false, "The key “plugins” is missing."},
        {withChange("/protectedKeys", nullptr), false, "The key “protectedKeys” is missing."},
        {withChange("/protectedKeys", "acme|reverb"), false, "not an array"},
        {withChange("/protectedKeys/0", 7), false, "not a string"},
        {withChange("/schemaVersion", 3.0), false, "“schemaVersion” is not an integer"},
        {withChange("/schemaVersion", "3"), false, "“schemaVersion” is not an integer"},
        {withChange("/lastScanDate", "2024-01-01"), false, "lastScanDate"},
        {withChange("/plugins/0/status", "Quarantined"), false, "“Quarantined” is not a plugin status."},
        {withChange("/plugins/0/bundles/1/format", nullptr), false,
         "Item 1 of “plugins”: The key “format” is missing."},
        {withChange("/plugins/0/bundles/0/isProtected", "false"), false, "not a Boolean"},
        {withChange("/history/0/kind", "Exploded"), false, "Item 1 of “history”"},
        {withChange("/history/0/presetRunID", "not-a-uuid"), false, "not a UUID"},
        {withChange("/formatCleanupRuns/0/preset", "everything"), false, "Item 1 of “formatCleanupRuns”"},
        {withChange("/formatCleanupRuns/0/status", "done"), false, "not a cleanup run status"},
        {withChange("/pendingPrivilegedQuarantine/items/0/operationID", nullptr), false, "pendingPrivilegedQuarantine"},
        {withChange("/inaccessibleLocations", nlohmann::json::object()), false, "not an array"},
        {withChange("/lastReconciliation", nlohmann::json{{"addedBundles", 1}}), false, "lastReconciliation"},
        {"", false},
        {" ", false},
        {"[]", false},
        {R"({"plugins": [], "protectedKeys": [[[]]], "history": [], "extra": [[{"a": [1, {"b": null}]}], 2.5]})",
         false},
        {R"([{"plugins": [], "protectedKeys": [], "history": []}])", false},
        {R"({"plugins": null, "protectedKeys": [], "history": []})", false},
        {"7", false},
        {"null", false},
        {minimal + " {}", false},
        {minimal + " x", false},
        {minimal.substr(0, minimal.size() - 1), false},
        {"\xEF\xBB" + minimal, false},
        {withExtra(R"("extra": [1 2])"), false},
        {withExtra(R"("extra": tru)"), false},
        {withExtra("\"extra\": \xEF\xBB\xBF"
                   "1"),
         false},
        {minimal + "\xEF\xBB\xBF", false},
        {withExtra(R"("extra": "\ud800")"), false},
        {withExtra(R"("extra": 1e400)"), false},
        {withExtra("\"extra\": \"tab\there\""), false},
        {withExtra("\"extra\": \"\xC0\xAF\""), false},
        {withExtra(R"("extra": [1,])"), false},
        {withExtra(R"("lastScanDate": 1e400)"), false},
        {withExtra(R"("schemaVersion": 3.0)"), false},
        {withExtra(R"("schemaVersion": 9223372036854775808)"), false},
        {withProduct(R"({"name": null})"), false},
        {withRawName(R"(\udc00)"), false},
        {withRawName(R"(a\x)"), false},
        {withProduct(R"({"id": "not-a-uuid"})"), false},
        {withProduct(R"({"status": "Exploded"})"), false},
        {withProduct(R"({"isProtected": null})"), false},
        {withProduct(R"({"formats": ["AU", 1]})"), false},
        {withProduct(R"({"bundles": [{"format": "AU"}]})"), false},
        {withProduct(R"({"bundles": {}})"), false},
        {withProduct("{}").replace(withProduct("{}").find(":false"), 6, ":nul"), false},
    };
    // What the document may go without.
    for (const auto* optional :
         {"/schemaVersion", "/lastScanDate", "/inaccessibleLocations", "/formatCleanupRuns",
          "/permanentQuarantineRules", "/pendingPrivilegedQuarantine", "/plugins/0/bundles", "/history/0/format"}) {
        cases.push_back({withChange(optional, nullptr), true});
    }
    // Cut anywhere, a document is refused.
    for (std::size_t length = 1; length < every.size(); length += 211) {
        cases.push_back({every.substr(0, length), false});
    }
    for (const auto& [text, taken, refusal] : cases) {
        const auto direct = decodeWellFormedInventory(text);
        const auto byRecord = decodePersistedInventoryRecordByRecord(text);
        EXPECT_EQ(direct.has_value(), taken) << text;
        if (direct) {
            ASSERT_TRUE(byRecord) << text;
            EXPECT_EQ(*direct, *byRecord) << text;
            EXPECT_EQ(encodePersistedInventory(*direct), encodePersistedInventory(*byRecord)) << text;
        } else if (taken) {
            EXPECT_TRUE(byRecord) << text;
        }
        // Whatever the direct reader does, the result is the other decoder's.
        const auto decoded = decodePersistedInventory(text);
        EXPECT_TRUE(refusal.empty() || !decoded) << text;
        ASSERT_EQ(decoded.ok(), byRecord.ok()) << text;
        if (decoded) {
            EXPECT_EQ(*decoded, *byRecord) << text;
        } else {
            EXPECT_EQ(decoded.error(), byRecord.error()) << text;
            EXPECT_THAT(decoded.error().message, HasSubstr(refusal)) << text;
        }
    }
    // The record-by-record decoder in turn gives what decoding the whole tree gives.
    for (const auto& [text, taken, refusal] : cases) {
        const auto byRecord = decodePersistedInventoryRecordByRecord(text);
        const auto tree = treeDecoded(text);
        ASSERT_EQ(byRecord.ok(), tree.has_value()) << text;
        if (tree) {
            EXPECT_EQ(*byRecord, *tree) << text;
        }
    }
    EXPECT_EQ(decodePersistedInventory(withChange("/schemaVersion", nullptr))->effectiveSchemaVersion(), 1);
    EXPECT_EQ(decodePersistedInventory(repeatedNull)->trashedBundles, std::nullopt);

    // With room after the text it is read in place.
    std::string padded = every + std::string(stateReaderPadding, '\0');
    EXPECT_EQ(decodeWellFormedInventory(std::string_view(padded).substr(0, every.size()), stateReaderPadding), full);
}

std::string printed(const Json& value) {
    std::string out;
    appendPrettyJson(out, value, 0);
    return out;
}

TEST(PrettyJson, ReplacesBrokenUtf8AsTheLibraryDoes) {
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
}  // namespace kestrova
