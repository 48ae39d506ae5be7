#include "model/Plugin.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

// A product with one active and one quarantined, protected bundle.
Plugin fullProduct() {
    Plugin plugin;
    plugin.id = *Uuid::parse("0F2C1A9E-6B1D-4C55-9A0B-7E3D2F1C4B5A");
    plugin.name = "Pro-Q 3";
    plugin.manufacturer = "FabFilter";
    plugin.formats = {"AU", "VST3"};
    plugin.path = "/Library/Audio/Plug-Ins/Components/Pro-Q 3.component";
    plugin.status = PluginStatus::partiallyQuarantined;
    PluginBundleRecord au;
    au.format = "AU";
    au.path = plugin.path;
    PluginBundleRecord vst3 = au;
    vst3.format = "VST3";
    vst3.path = "/Q/op/Pro-Q 3.vst3";
    vst3.quarantinePath = vst3.path;
    vst3.originalPath = "/Library/Audio/Plug-Ins/VST3/Pro-Q 3.vst3";
    vst3.quarantineOperationID = "7D0E0C1B-0000-4000-8000-000000000001";
    vst3.presetRunID = Uuid::random();
    vst3.isProtected = true;
    plugin.bundles = std::vector<PluginBundleRecord>{au, vst3};
    return plugin;
}

TEST(PluginCoding, RoundTripsOmittingAbsentOptionalsAndReadsOlderRecords) {
    const auto plugin = fullProduct();
    auto json = JsonCoder<Plugin>::encode(plugin);
    EXPECT_EQ(json.at("id"), "0F2C1A9E-6B1D-4C55-9A0B-7E3D2F1C4B5A");
    EXPECT_EQ(json.at("status"), "Partially Quarantined");
    EXPECT_FALSE(json.contains("originalPath"));
    const auto& au = json.at("bundles").at(0);
    EXPECT_EQ(au.at("isProtected"), false);  // always written
    EXPECT_FALSE(au.contains("quarantinePath"));
    EXPECT_FALSE(au.contains("presetRunID"));
    EXPECT_EQ(JsonCoder<Plugin>::decode(json, "plugin"), plugin);

    // Older files: a bundle without its flag, no bundles at all, an empty list.
    json["bundles"][0].erase("isProtected");
    EXPECT_FALSE(JsonCoder<Plugin>::decode(json, "plugin").bundles->at(0).isProtected);
    json.erase("bundles");
    EXPECT_FALSE(JsonCoder<Plugin>::decode(json, "plugin").bundles.has_value());
    json["bundles"] = Json::array();
    EXPECT_EQ(JsonCoder<Plugin>::decode(json, "plugin").bundles, std::vector<PluginBundleRecord>{});
}

TEST(PluginCoding, StrictAboutStatusTypesAndRequiredKeys) {
    const auto good = JsonCoder<Plugin>::encode(fullProduct());
    for (const auto& [key, value] : std::vector<std::pair<std::string, Json>>{{"status", "Quarantined"},
                                                                              {"status", "ok"},
                                                                              {"isProtected", "true"},
                                                                              {"formats", "AU"},
                                                                              {"id", "not-a-uuid"}}) {
        auto json = good;
        json[key] = value;
        EXPECT_THROW(JsonCoder<Plugin>::decode(json, "plugin"), DecodingError) << key;
    }
    for (const auto* key : {"id", "name", "manufacturer", "version", "formats", "architecture", "size", "path",
                            "status", "isProtected"}) {
        auto json = good;
        json.erase(key);
        EXPECT_THROW(JsonCoder<Plugin>::decode(json, "plugin"), DecodingError) << key;
    }
    auto unknownKey = good;
    unknownKey["futureField"] = 1;
    EXPECT_NO_THROW(JsonCoder<Plugin>::decode(unknownKey, "plugin"));
    // Every raw value reads back as its own case.
    for (int i = 0; i <= static_cast<int>(PluginStatus::hostedByShell); ++i) {
        const auto status = static_cast<PluginStatus>(i);
        EXPECT_EQ(pluginStatusFromRawValue(rawValue(status)), status);
    }
    EXPECT_EQ(rawValue(PluginStatus::quarantined), "Ready to Restore");
    EXPECT_EQ(rawValue(PluginStatus::hostedByShell), "Hosted by WaveShell");
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

    Plugin plugin;
    plugin.manufacturer = "FabFilter";
    plugin.name = "Pro-Q 3";
    EXPECT_EQ(productKey(plugin), "fabfilter|pro-q 3");
}

}  // namespace
}  // namespace kestrova
