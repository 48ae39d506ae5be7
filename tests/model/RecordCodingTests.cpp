// How records are written to and read from the state file, and every stored
// name both ways.
#include "model/FormatCleanupRun.h"
#include "model/History.h"
#include "model/InventoryRevisionToken.h"
#include "model/OperationNotice.h"
#include "model/PermanentQuarantineRule.h"
#include "model/Plugin.h"
#include "model/ScanReconciliationSummary.h"
#include "model/TrashedBundleRecord.h"
#include "support/NameTables.h"

#include "RecordBuilders.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace kestrova {
namespace {

using testing::expectNamesBothWays;

template <typename T>
T decodeText(const std::string& text) {
    return JsonCoder<T>::decode(Json::parse(text), "value");
}

TEST(RecordCoding, UnknownRawValuesAndMissingKeysAreRejected) {
    const std::string item =
        R"({"id":"0F8E2C1A-3B4D-4E5F-8A9B-0C1D2E3F4A5B","plugin":"X","detail":"d","time":"t","kind":)";
    EXPECT_NO_THROW(decodeText<HistoryItem>(item + R"("Restored"})"));
    // Case names and near misses are not raw values.
    for (const auto* kind : {R"("restore"})", R"("Restored "})", "3}"}) {
        EXPECT_THROW(decodeText<HistoryItem>(item + kind), DecodingError) << kind;
    }
    EXPECT_THROW(decodeText<HistoryItem>(R"({"id":"0F8E2C1A-3B4D-4E5F-8A9B-0C1D2E3F4A5B","kind":"Restored"})"),
                 DecodingError);
    EXPECT_THROW(decodeText<TrashRecoveryState>(R"("readyToRestore")"), DecodingError);
    EXPECT_THROW(decodeText<FormatCleanupRunStatus>(R"("Completed")"), DecodingError);
    EXPECT_THROW(decodeText<FormatCleanupPresetKind>(R"("AU Only")"), DecodingError);
    EXPECT_THROW(decodeText<NoticeStyle>(R"("error")"), DecodingError);
    EXPECT_THROW(decodeText<InventoryRevisionToken>(R"({"value":"not a uuid"})"), DecodingError);
    EXPECT_THROW(decodeText<InventoryRevisionToken>(R"("0F8E2C1A-3B4D-4E5F-8A9B-0C1D2E3F4A5B")"), DecodingError);
    EXPECT_THROW(decodeText<ScanReconciliationSummary>(
                     R"({"addedBundles":1,"missingBundles":2,"manuallyRestoredBundles":3,"missingCheckWasLimited":1})"),
                 DecodingError);
}

// The store's rule tests fold case, accents and the comma'd aliases.
TEST(RecordCoding, ManufacturerKeysFoldCaseAccentsAndUniversalAudioAliases) {
    EXPECT_EQ(manufacturerKey("  Ÿamaha\n"), "yamaha");
    EXPECT_EQ(manufacturerKey("Universal Audio Inc."), "universal audio");
    EXPECT_EQ(manufacturerKey("Universal Audio Ltd"), "universal audio ltd");
}

// A product with one active and one quarantined, protected bundle.
Plugin fullProduct() {
    auto plugin = testing::product("Pro-Q 3", "FabFilter",
                                   {testing::bundleRecord("AU", "/Library/Audio/Plug-Ins/Components/Pro-Q 3.component"),
                                    testing::bundleRecord("VST3", "/Library/Audio/Plug-Ins/VST3/Pro-Q 3.vst3")});
    auto& vst3 = plugin.bundles->at(1);
    vst3.path = testing::quarantine(vst3, "/Q");
    vst3.presetRunID = Uuid::random();
    vst3.isProtected = true;
    plugin.status = PluginStatus::partiallyQuarantined;
    return plugin;
}

// Whole products round-trip, sorted and without nulls, in the state
// document's tests; here, what a product requires and what older ones leave out.
TEST(PluginCoding, RequiredKeysAndWhatOlderRecordsLeaveOut) {
    const auto plugin = fullProduct();
    auto json = JsonCoder<Plugin>::encode(plugin);
    EXPECT_EQ(JsonCoder<Plugin>::decode(json, "plugin"), plugin);
    EXPECT_EQ(json.at("bundles").at(0).at("isProtected"), false);  // always written
    // The state document's tests refuse a bundle without its format; a
    // product without any of its own required keys is refused as well.
    for (const auto* key : {"id", "name", "manufacturer", "version", "formats", "architecture", "size", "path",
                            "status", "isProtected"}) {
        auto without = json;
        without.erase(key);
        EXPECT_THROW(JsonCoder<Plugin>::decode(without, "plugin"), DecodingError) << key;
    }
    // Older files: a bundle without its flag, no bundles at all, an empty list.
    json["bundles"][0].erase("isProtected");
    EXPECT_FALSE(JsonCoder<Plugin>::decode(json, "plugin").bundles->at(0).isProtected);
    json.erase("bundles");
    EXPECT_FALSE(JsonCoder<Plugin>::decode(json, "plugin").bundles.has_value());
    json["bundles"] = Json::array();
    EXPECT_EQ(JsonCoder<Plugin>::decode(json, "plugin").bundles, std::vector<PluginBundleRecord>{});
}

TEST(PluginCoding, KeysIgnoreCaseAndPathSpelling) {
    PluginBundleRecord a;
    a.format = " vst3\n";
    a.path = "/Library/Audio/Plug-Ins/VST3/Pro-Q 3.vst3";
    PluginBundleRecord b = a;
    b.format = "VST3";
    b.path = "/library/audio/plug-ins/vst3//PRO-Q 3.vst3/";
    EXPECT_EQ(a.id(), b.id());
    EXPECT_EQ(a.id(), "VST3|/library/audio/plug-ins/vst3/pro-q 3.vst3");
    b.originalPath = "/Library/Audio/Plug-Ins/VST3/Other.vst3";  // the original location wins
    EXPECT_EQ(b.id(), "VST3|/library/audio/plug-ins/vst3/other.vst3");
    // Product keys ("fabfilter|fabfilter pro-q 3") are in the recorded CLI run's state files.
}

// The stored names the state file's tests hold against an earlier build's
// file (tests/data/store/stored-names.json), here with near misses refused.
TEST(NameMapping, EveryStoredRawValueAndTitle) {
    std::ifstream in(std::string(KESTROVA_SOURCE_DIR) + "/tests/data/store/stored-names.json");
    const auto stored = Json::parse(std::string(std::istreambuf_iterator<char>(in), {}));
    const auto names = [&](const char* pointer) {
        std::vector<std::string_view> list;
        for (const auto& name : stored.at(pointer)) {
            list.push_back(name.get_ref<const std::string&>());
        }
        return list;
    };
    const auto raw = [](auto value) { return rawValue(value); };
    expectNamesBothWays<HistoryKind>(names("/history/0/kind"), raw, historyKindFromRawValue);
    for (int i = 0; i < historyKindCount; ++i) {
        EXPECT_EQ(title(static_cast<HistoryKind>(i)), rawValue(static_cast<HistoryKind>(i)));
        EXPECT_FALSE(iconName(static_cast<HistoryKind>(i)).empty());
    }
    expectNamesBothWays<PluginStatus>(names("/plugins/0/status"), raw, pluginStatusFromRawValue);
    expectNamesBothWays<NoticeStyle>({"success", "warning"}, raw, noticeStyleFromRawValue);
    expectNamesBothWays<TrashRecoveryState>(
        {"Ready to Restore", "Already Restored", "Destination Occupied", "Missing from Trash", "Needs Verification"},
        raw, trashRecoveryStateFromRawValue);
    expectNamesBothWays<FormatCleanupPresetKind>(names("/formatCleanupRuns/0/preset"), raw,
                                                 formatCleanupPresetFromRawValue);
    expectNamesBothWays<FormatCleanupRunStatus>(names("/formatCleanupRuns/0/status"), raw,
                                                formatCleanupRunStatusFromRawValue);
}

TEST(NameMapping, FormatsAndTheirBundleExtensions) {
    const std::vector<std::pair<std::string_view, std::string_view>> table{
        {"AU", "component"}, {"VST2", "vst"}, {"VST3", "vst3"}, {"AAX", "aaxplugin"}, {"CLAP", "clap"}};
    for (const auto& [format, extension] : table) {
        EXPECT_EQ(bundleExtension(format), extension);
        EXPECT_EQ(formatForExtension(extension), format);
        EXPECT_EQ(formatForExtension(std::string(extension) + "x"), std::nullopt) << extension;
    }
    EXPECT_EQ(formatForExtension("VST3"), "VST3");
    EXPECT_EQ(bundleExtension("LV2"), "");
    EXPECT_EQ(bundleExtension("vst3"), "");
    EXPECT_EQ(formatForExtension("so"), std::nullopt);
}

}  // namespace
}  // namespace kestrova
