// Names a scan derives: manufacturers from bundle metadata, and products
// from the Audio Unit registry.
#include "scan/BundleManufacturer.h"
#include "scan/RegistryProducts.h"
#include "support/TemporaryDirectory.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

namespace kestrova {
namespace {

// The cases, each with why it is there, are in tests/data/scan/bundle-manufacturers.json.
TEST(BundleManufacturer, VendorTableThenManufacturerKeysThenTheIdentifier) {
    const auto cases = nlohmann::json::parse(
        testing::readWholeFile(std::string(KESTROVA_SOURCE_DIR) + "/tests/data/scan/bundle-manufacturers.json"));
    ASSERT_EQ(cases.size(), 17u);
    for (const auto& entry : cases) {
        const auto identifier =
            entry.contains("identifier") ? std::optional(entry.at("identifier").get<std::string>()) : std::nullopt;
        EXPECT_EQ(bundleManufacturer(entry.at("info").get<InfoDictionary>(), identifier), entry.at("maker")) << entry;
    }
}

TEST(BundleManufacturer, NonBlankValuesAndCapitalization) {
    EXPECT_EQ(nonBlankInfoValue({{"k", " v "}}, "k"), " v ");
    EXPECT_FALSE(nonBlankInfoValue({{"k", " \t"}}, "k"));
    EXPECT_TRUE(nonBlankInfoValue({{"k", "\n"}}, "k"));  // newlines are not trimmed
    EXPECT_FALSE(nonBlankInfoValue({}, "k"));
    EXPECT_EQ(capitalizedWords("ACME AUDIO labs"), "Acme Audio Labs");
    EXPECT_EQ(capitalizedWords("élan vital"), "Élan Vital");
}

Plugin diskProduct(std::string manufacturer, std::string name) {
    Plugin plugin;
    plugin.manufacturer = std::move(manufacturer);
    plugin.name = std::move(name);
    return plugin;
}

std::vector<std::string> names(const std::vector<Plugin>& products) {
    std::vector<std::string> result;
    for (const auto& product : products) {
        result.push_back(product.manufacturer + "|" + product.name);
    }
    return result;
}

TEST(RegistryProducts, DisplayNamesLoseTheWavesPrefix) {
    // Trimmed before the prefix test, so a bare prefix loses its space and stays.
    for (const auto& [name, shown] :
         std::vector<std::pair<std::string, std::string>>{{"Waves: SSL E-Channel", "SSL E-Channel"},
                                                          {"  waves - CLA-76 Mono\n", "CLA-76 Mono"},
                                                          {"Waves:   H-Delay ", "H-Delay"},
                                                          {"WAVES Tune", "Tune"},
                                                          {"WavesLib", "WavesLib"},
                                                          {"Waves: ", "Waves:"},
                                                          {"Waves:  \t", "Waves:"},
                                                          {"Waves -  x", "x"}}) {
        EXPECT_EQ(registryDisplayName(name), shown) << name;
    }
}

TEST(RegistryProducts, OnlyWavesComponentsOncePerCleanedName) {
    const auto products = registryProducts({
        {"Waves", "Waves: SSL E-Channel", "14.0"},
        {"Apple", "AUDelay", "1.0"},
        {"Acme", "Waves Emulation", ""},  // "waves" in the name is enough
        {"Waves", "WaveShell1-AU 14.12", "14.12"},
        {"Waves", "waveshell-extra", "1"},
        {"Waves", " \n", "1"},
        {"Waves", "ssl e-channel", "14.12"},  // same key as the first: replaces it
    });
    ASSERT_EQ(products.size(), 2u);
    EXPECT_EQ(products[0].name, "ssl e-channel");
    EXPECT_EQ(products[0].version, "14.12");
    EXPECT_EQ(products[1].name, "Emulation");
    EXPECT_EQ(products[1].version, "Unavailable");
    const auto& hosted = products[0];
    EXPECT_EQ(hosted.manufacturer, "Waves");
    EXPECT_EQ(hosted.formats, std::vector<std::string>{"AU"});
    EXPECT_EQ(hosted.architecture, "Via WaveShell");
    EXPECT_EQ(hosted.size, "Shared");
    EXPECT_EQ(hosted.path, "macOS Audio Unit Registry");
    EXPECT_EQ(hosted.status, PluginStatus::hostedByShell);
    EXPECT_TRUE(hosted.isProtected);
    ASSERT_TRUE(hosted.bundles);
    EXPECT_TRUE(hosted.bundles->empty());
    EXPECT_NE(products[0].id, products[1].id);
}

TEST(RegistryProducts, DiskProductsWinOverTwinsAndTheListSortsAsPeopleRead) {
    const auto registry = registryProducts({{"Waves", "Waves: SSL E-Channel", "14"}, {"Waves", "Tune", "14"}});
    const auto products = productsOfScan(
        {diskProduct("Waves", "WaveShell1-AU 14.12"), diskProduct("Waves", "ssl e-channel"),
         diskProduct("acme", "Unit 10"), diskProduct("acme", "Unit 9"), diskProduct("Brainworx", "bx_console")},
        registry);
    // "Waves|Tune" joins; the registry's SSL E-Channel is the disk product's
    // twin. Spaces count, so "Tune" and "ssl" sort by letters only here.
    EXPECT_EQ(names(products),
              (std::vector<std::string>{"acme|Unit 10", "acme|Unit 9", "Brainworx|bx_console", "Waves|ssl e-channel",
                                        "Waves|Tune", "Waves|WaveShell1-AU 14.12"}));
    const auto spaced = productsOfScan({diskProduct("Waves", "WaveShell"), diskProduct("Waves", "Waves Tune")}, {});
    EXPECT_EQ(names(spaced), (std::vector<std::string>{"Waves|Waves Tune", "Waves|WaveShell"}));
}

}  // namespace
}  // namespace kestrova
