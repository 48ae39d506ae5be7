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
    // Blanks, untrimmed values and ASCII capitals are in the table above.
    EXPECT_TRUE(nonBlankInfoValue({{"k", "\n"}}, "k"));  // newlines are not trimmed
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
    // "Waves: ", "Waves - " and "Waves " as the demo's registry spells them
    // are in its recording. Trimmed before the prefix test, so a bare prefix
    // loses its space and stays.
    for (const auto& [name, shown] :
         std::vector<std::pair<std::string, std::string>>{{"  waves - CLA-76 Mono\n", "CLA-76 Mono"},
                                                          {"WAVES Tune", "Tune"},
                                                          {"WavesLib", "WavesLib"},
                                                          {"Waves: ", "Waves:"},
                                                          {"Waves:  \t", "Waves:"},
                                                          {"Waves -  x", "x"}}) {
        EXPECT_EQ(registryDisplayName(name), shown) << name;
    }
}

// The demo registry shows the Waves prefixes, a later twin replacing an
// earlier one, a blank version and every field of a hosted product.
TEST(RegistryProducts, OnlyWavesComponentsOncePerCleanedName) {
    const auto products = registryProducts({
        {"Waves", "Waves: SSL E-Channel", "14.0"},
        {"Apple", "AUDelay", "1.0"},
        {"Acme", "Waves Emulation", ""},  // "waves" in the name is enough
        {"Waves", "waveshell-extra", "1"},
        {"Waves", " \n", "1"},
        {"Waves", "ssl e-channel", "14.12"},  // same key as the first, whatever the case: replaces it
    });
    EXPECT_EQ(names(products), (std::vector<std::string>{"Waves|ssl e-channel", "Waves|Emulation"}));
    ASSERT_EQ(products.size(), 2u);
    EXPECT_EQ(products[0].version, "14.12");
    EXPECT_NE(products[0].id, products[1].id);
}

TEST(RegistryProducts, DiskProductsWinOverTwinsAndTheListSortsAsPeopleRead) {
    // The demo's scan shows a disk product beating its registry twin, the
    // registry's others joining, and the order ignoring case (iZotope) but not
    // spaces (Waves Tune before WaveShell). Here: a twin in another case, and
    // numbers compared as text.
    const auto products =
        productsOfScan({diskProduct("Waves", "ssl e-channel"), diskProduct("acme", "Unit 9"),
                        diskProduct("acme", "Unit 10"), diskProduct("Brainworx", "bx_console")},
                       registryProducts({{"Waves", "Waves: SSL E-Channel", "14"}, {"Waves", "Tune", "14"}}));
    EXPECT_EQ(names(products), (std::vector<std::string>{"acme|Unit 10", "acme|Unit 9", "Brainworx|bx_console",
                                                         "Waves|ssl e-channel", "Waves|Tune"}));
}

}  // namespace
}  // namespace kestrova
