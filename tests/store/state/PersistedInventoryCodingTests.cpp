// The state document: what it holds, what it refuses, and the fast printer
// that must agree with the library's dump(2) byte for byte, or a save would
// rewrite a file that did not change.
#include "store/state/PersistedInventory.h"
#include "store/state/PersistedInventoryReader.h"
#include "store/state/PrettyJson.h"

#include "../StateSamples.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

namespace kestrova {
namespace {

using kestrova::testing::fullState;
using kestrova::testing::minimalState;
using ::testing::HasSubstr;

// As the original platform's encoder writes it: " : ", two-space indentation,
// "/" escaped, dates as floating seconds since 2001, empty arrays spread over
// lines, lower-case hex in one UUID (readers accept either case).
constexpr std::string_view originalEncoderDocument = R"({
  "formatCleanupRuns" : [
    {
      "childTransactionIDs" : [
        "0B7F3C1E-4C55-4E22-9B7A-5C3E0F7D1A20"
      ],
      "createdAt" : 786000300.25,
      "id" : "8E0B5F39-7D3B-4A8E-9F54-2C1D0E3B4A55",
      "planID" : "1A2B3C4D-5E6F-4A7B-8C9D-0E1F2A3B4C5D",
      "preset" : "auAndVST3",
      "selections" : [
        {
          "bundleID" : "VST2|\/library\/audio\/plug-ins\/vst\/delay.vst",
          "pluginID" : "6F8E0D1C-2B3A-4958-8776-655443322110"
        }
      ],
      "status" : "pending"
    }
  ],
  "history" : [
    {
      "detail" : "Moved VST2 to quarantine.",
      "format" : "VST2",
      "id" : "3c1a2b4d-5e6f-4a7b-8c9d-0e1f2a3b4c5d",
      "kind" : "Moved to Quarantine",
      "plugin" : "Delay",
      "presetRunID" : "8E0B5F39-7D3B-4A8E-9F54-2C1D0E3B4A55",
      "time" : "10:42 AM",
      "transactionID" : "D2C1B0A9-8F7E-4D6C-9B5A-493827161504"
    }
  ],
  "inaccessibleLocations" : [

  ],
  "lastScanDate" : 786543210.12345603,
  "pendingPrivilegedQuarantine" : {
    "items" : [
      {
        "destinationPath" : "\/Library\/Application Support\/Kestrova\/Quarantine\/OP\/Delay.vst",
        "operationID" : "OP",
        "sourcePath" : "\/Library\/Audio\/Plug-Ins\/VST\/Delay.vst"
      }
    ],
    "transactionID" : "D2C1B0A9-8F7E-4D6C-9B5A-493827161504"
  },
  "permanentQuarantineRules" : [
    {
      "enabledAt" : 786000400,
      "manufacturer" : "Acme"
    }
  ],
  "plugins" : [
    {
      "architecture" : "Universal",
      "bundles" : [
        {
          "architecture" : "Intel",
          "format" : "VST2",
          "isProtected" : false,
          "path" : "\/Library\/Audio\/Plug-Ins\/VST\/Delay.vst",
          "size" : "4.1 MB"
        },
        {
          "architecture" : "Universal",
          "format" : "VST3",
          "path" : "\/Library\/Audio\/Plug-Ins\/VST3\/Delay.vst3",
          "size" : "8.2 MB"
        }
      ],
      "formats" : [
        "VST2",
        "VST3"
      ],
      "id" : "6F8E0D1C-2B3A-4958-8776-655443322110",
      "isProtected" : false,
      "manufacturer" : "Acme",
      "name" : "Delay",
      "path" : "\/Library\/Audio\/Plug-Ins\/VST\/Delay.vst",
      "size" : "12.3 MB",
      "status" : "OK",
      "version" : "2.0.1"
    }
  ],
  "protectedKeys" : [
    "acme|reverb"
  ],
  "schemaVersion" : 3,
  "someKeyFromTheFuture" : {
    "ignored" : true
  }
})";

// Checks the keys of every object in document order.
void expectSortedKeys(const nlohmann::ordered_json& value, const std::string& where) {
    if (value.is_object()) {
        std::string previous;
        for (const auto& [key, child] : value.items()) {
            EXPECT_LT(previous, key) << "in " << where;
            previous = key;
            expectSortedKeys(child, where + "." + key);
        }
    } else if (value.is_array()) {
        for (const auto& child : value) {
            expectSortedKeys(child, where + "[]");
        }
    }
}

TEST(PersistedInventoryCoding, RoundTripsEveryRecordTypeWithSortedKeysAndOmitsWhatIsAbsent) {
    for (const auto& state : {fullState(), minimalState()}) {
        const auto text = encodePersistedInventory(state);
        const auto decoded = decodePersistedInventory(text);
        ASSERT_TRUE(decoded) << decoded.error().message;
        EXPECT_EQ(*decoded, state);
        // A second encoding is byte-for-byte the first: nothing drifts across saves.
        EXPECT_EQ(encodePersistedInventory(*decoded), text);
        expectSortedKeys(nlohmann::ordered_json::parse(text), "document");
    }
    const auto minimal = nlohmann::json::parse(encodePersistedInventory(minimalState()));
    EXPECT_EQ(minimal, nlohmann::json::parse(R"({"history":[],"plugins":[],"protectedKeys":[],"schemaVersion":3})"));
    const auto full = encodePersistedInventory(fullState());
    EXPECT_THAT(full, ::testing::Not(HasSubstr("null")));
    EXPECT_THAT(full, HasSubstr("\n  \"history\": [\n    {\n      \"detail\""));
}

TEST(PersistedInventoryCoding, LoadsWhatTheOriginalEncoderWrote) {
    const auto decoded = decodePersistedInventory(originalEncoderDocument);
    ASSERT_TRUE(decoded) << decoded.error().message;
    const auto& state = *decoded;
    EXPECT_EQ(state.schemaVersion, 3);
    EXPECT_EQ(state.lastScanDate, Date{786543210.12345603});
    ASSERT_EQ(state.plugins.size(), 1u);
    EXPECT_EQ(state.plugins[0].path, "/Library/Audio/Plug-Ins/VST/Delay.vst");
    ASSERT_TRUE(state.plugins[0].bundles);
    EXPECT_FALSE(state.plugins[0].bundles->at(1).isProtected);  // key absent
    EXPECT_EQ(state.history.at(0).id.string(), "3C1A2B4D-5E6F-4A7B-8C9D-0E1F2A3B4C5D");
    EXPECT_EQ(state.history.at(0).kind, HistoryKind::quarantine);
    EXPECT_EQ(state.inaccessibleLocations, std::vector<std::string>{});
    EXPECT_FALSE(state.trashedBundles);
    EXPECT_EQ(state.permanentQuarantineRules->at(0).enabledAt, Date{786000400});
    EXPECT_EQ(state.formatCleanupRuns->at(0).selections.at(0).bundleID, "VST2|/library/audio/plug-ins/vst/delay.vst");
    ASSERT_TRUE(state.pendingPrivilegedQuarantine);
    EXPECT_EQ(state.pendingPrivilegedQuarantine->items.at(0).destinationPath,
              "/Library/Application Support/Kestrova/Quarantine/OP/Delay.vst");
    EXPECT_FALSE(state.pendingPrivilegedRestore);
}

// The document with one value replaced (or removed, for a null replacement).
std::string withChange(const std::string& pointer, const nlohmann::json& replacement) {
    auto document = nlohmann::json::parse(originalEncoderDocument);
    if (replacement.is_null()) {
        const nlohmann::json::json_pointer path(pointer);
        document[path.parent_pointer()].erase(path.back());
    } else {
        document[nlohmann::json::json_pointer(pointer)] = replacement;
    }
    return document.dump();
}

TEST(PersistedInventoryCoding, RefusesWhatTheDocumentRequiresAndToleratesTheRest) {
    struct Case {
        std::string pointer;
        nlohmann::json replacement;
        std::string expected;
    };
    const std::vector<Case> refused{
        {"/history", nullptr, "The key “history” is missing."},
        {"/plugins", nullptr, "The key “plugins” is missing."},
        {"/protectedKeys", nullptr, "The key “protectedKeys” is missing."},
        {"/protectedKeys", "acme|reverb", "not an array"},
        {"/protectedKeys/0", 7, "not a string"},
        {"/schemaVersion", 3.0, "“schemaVersion” is not an integer"},
        {"/schemaVersion", "3", "“schemaVersion” is not an integer"},
        {"/lastScanDate", "2024-01-01", "lastScanDate"},
        {"/plugins/0/status", "Quarantined", "“Quarantined” is not a plugin status."},
        {"/plugins/0/bundles/1/format", nullptr, "Item 1 of “plugins”: The key “format” is missing."},
        {"/plugins/0/bundles/0/isProtected", "false", "not a Boolean"},
        {"/history/0/kind", "Exploded", "Item 1 of “history”"},
        {"/history/0/presetRunID", "not-a-uuid", "not a UUID"},
        {"/formatCleanupRuns/0/preset", "everything", "Item 1 of “formatCleanupRuns”"},
        {"/formatCleanupRuns/0/status", "done", "not a cleanup run status"},
        {"/pendingPrivilegedQuarantine/items/0/operationID", nullptr, "pendingPrivilegedQuarantine"},
        {"/inaccessibleLocations", nlohmann::json::object(), "not an array"},
        {"/lastReconciliation", nlohmann::json{{"addedBundles", 1}}, "lastReconciliation"},
    };
    for (const auto& c : refused) {
        const auto text = withChange(c.pointer, c.replacement);
        const auto decoded = decodePersistedInventory(text);
        ASSERT_FALSE(decoded) << c.pointer;
        EXPECT_THAT(decoded.error().message, HasSubstr(c.expected)) << c.pointer;
        EXPECT_FALSE(decodeWellFormedInventory(text)) << c.pointer;
    }

    const std::vector<std::string> optional{"/schemaVersion",
                                            "/lastScanDate",
                                            "/inaccessibleLocations",
                                            "/formatCleanupRuns",
                                            "/permanentQuarantineRules",
                                            "/pendingPrivilegedQuarantine",
                                            "/plugins/0/bundles",
                                            "/history/0/format"};
    for (const auto& pointer : optional) {
        const auto text = withChange(pointer, nullptr);
        const auto decoded = decodePersistedInventory(text);
        EXPECT_TRUE(decoded) << pointer << ": " << decoded.error().message;
        EXPECT_EQ(decodeWellFormedInventory(text), *decoded) << pointer;
    }
    EXPECT_EQ(decodePersistedInventory(withChange("/schemaVersion", nullptr))->effectiveSchemaVersion(), 1);
}

// The document is read and written record by record; the result must be what
// decoding and printing the whole tree gives.
TEST(PersistedInventoryCoding, RecordByRecordAgreesWithTheWholeTree) {
    for (const auto& state : {fullState(), minimalState()}) {
        EXPECT_EQ(encodePersistedInventory(state),
                  JsonCoder<PersistedInventory>::encode(state).dump(2, ' ', false, Json::error_handler_t::replace));
    }
    const auto treeDecoded = [](std::string_view text) -> std::optional<PersistedInventory> {
        try {
            return JsonCoder<PersistedInventory>::decode(Json::parse(text), "");
        } catch (const std::exception&) {
            return std::nullopt;
        }
    };
    const std::vector<std::string> documents{
        std::string(originalEncoderDocument),
        // A repeated key: the later value counts, whether array, null or neither.
        R"({"plugins": [{"x": 1}], "plugins": [], "protectedKeys": [], "history": []})",
        R"({"plugins": [], "protectedKeys": [], "history": [], "trashedBundles": [], "trashedBundles": null})",
        R"({"plugins": [], "protectedKeys": [], "history": [], "history": 5})",
        R"({"plugins": [], "protectedKeys": [], "history": 5, "history": []})",
        R"({"plugins": [], "protectedKeys": [[[]]], "history": [], "extra": [[{"a": [1, {"b": null}]}], 2.5]})",
        R"({"plugins": [], "protectedKeys": ["a", "a"], "history": [], "lastScanDate": 1e300, "schemaVersion": -7})",
        R"({"plugins": null, "protectedKeys": [], "history": []})",
        R"([{"plugins": [], "protectedKeys": [], "history": []}])",
        "7",
    };
    for (const auto& text : documents) {
        const auto streamed = decodePersistedInventory(text);
        const auto tree = treeDecoded(text);
        ASSERT_EQ(streamed.ok(), tree.has_value()) << text;
        if (tree) {
            EXPECT_EQ(*streamed, *tree) << text;
        }
    }
    EXPECT_EQ(decodePersistedInventory(documents[2])->trashedBundles, std::nullopt);
}

// The direct reader over well-formed, unusual, damaged and hostile documents.
// What it takes must be what the record-by-record decoder gives, down to the
// bytes written back; what that decoder refuses it must refuse too, so that
// the refusal and its words come from there. It may pass on a few documents
// the other takes (repeated or escaped keys).
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
    struct Case {
        std::string text;
        bool taken;
    };
    std::vector<Case> cases{
        {every, true},
        {std::string(originalEncoderDocument), true},  // "\/", lower-case UUID, an unknown object
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
        // Taken by the other decoder only.
        {withExtra(R"("plugins": [{"x": 1}])"), false},
        {withExtra(R"("plu\u0067ins": [{"x": 1}])"), false},
        {withProduct(R"({"path": "/a"})").replace(1, 0, R"("history": [],)"), false},
        // Refused by both.
        {"", false},
        {" ", false},
        {"[]", false},
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
    // Cut anywhere, a document is refused.
    for (std::size_t length = 1; length < every.size(); length += 211) {
        cases.push_back({every.substr(0, length), false});
    }
    for (const auto& [text, taken] : cases) {
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
        ASSERT_EQ(decoded.ok(), byRecord.ok()) << text;
        if (decoded) {
            EXPECT_EQ(*decoded, *byRecord) << text;
        } else {
            EXPECT_EQ(decoded.error(), byRecord.error()) << text;
        }
    }

    // With room after the text it is read in place.
    std::string padded = every + std::string(stateReaderPadding, '\0');
    EXPECT_EQ(decodeWellFormedInventory(std::string_view(padded).substr(0, every.size()), stateReaderPadding), full);
}

TEST(PersistedInventoryCoding, ReportsBrokenJsonAndTheVersionOfANewerDocument) {
    for (const std::string_view text : {"", "{\"plugins\": [", "[]", "null", "\"state\""}) {
        const auto decoded = decodePersistedInventory(text);
        ASSERT_FALSE(decoded) << text;
        EXPECT_FALSE(decoded.error().schemaVersion);
    }
    EXPECT_THAT(decodePersistedInventory("{\"plugins\": [").error().message,
                HasSubstr("The inventory state is not valid JSON: parse error at line 1, column 14"));

    // A newer build's records may not decode here; its version still shows.
    const auto newer = decodePersistedInventory(R"({"schemaVersion": 4, "plugins": [{"shape": "new"}]})");
    ASSERT_FALSE(newer);
    EXPECT_EQ(newer.error().schemaVersion, 4);
}

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
}  // namespace kestrova
