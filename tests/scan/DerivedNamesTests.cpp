// Names a scan derives: manufacturers from bundle metadata, and products
// from the Audio Unit registry.
#include "scan/BundleManufacturer.h"
#include "scan/RegistryProducts.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

std::string maker(const InfoDictionary& info, std::optional<std::string> identifier = std::nullopt) {
    return bundleManufacturer(info, identifier);
}

TEST(BundleManufacturer, VendorTableThenManufacturerKeysThenTheIdentifier) {
    struct Case {
        InfoDictionary info;
        std::optional<std::string> identifier;
        std::string expected;
    };
    const std::vector<Case> cases{
        // A name mentioning Waves wins over another company's identifier and keys.
        {{{"CFBundleDisplayName", "Waves Tune"}, {"AudioUnitManufacturer", "Antares"}},
         "com.antares.autotune",
         "Waves"},
        {{}, "com.fabfilter.Pro-Q.3", "FabFilter"},
        {{{"CFBundleName", "Kontakt 8"}}, "com.native-instruments.Kontakt8", "Native Instruments"},
        {{{"CFBundleName", "ValhallaVintageVerb"}}, {}, "Valhalla DSP"},
        {{}, "com.AkaiPro.MPC", "Akai Pro"},  // the search text is lower-cased
        // The parts are joined with single spaces; blank names are left out.
        {{{"CFBundleName", "Native"}}, "Instruments.Maschine", "Native Instruments"},
        {{{"CFBundleDisplayName", " \t "}, {"CFBundleName", "Tool"}}, "com.acme.tool", "Acme"},
        // Manufacturer keys, used as stored, before the identifier.
        {{{"AudioUnitManufacturer", " Brightwater "}, {"Manufacturer", "Other"}}, "com.acme.x", " Brightwater "},
        {{{"AudioUnitManufacturer", "  "}, {"Manufacturer", "Other"}}, "com.acme.x", "Other"},
        {{{"AudioUnitManufacturer", "\t"}}, "com.acme.x", "Acme"},
        // The identifier's company piece.
        {{}, "com.acme-audio.reverb", "Acme Audio"},
        {{}, "com.u-he.Diva", "U He"},
        {{}, "com.vst3.12", "Unknown"},
        {{}, "COM..Audio.PlugIns.VST3.bRIGHTWATER.verb", "Brightwater"},
        {{}, "net.audiounit.2nd-sense.x", "2nd Sense"},
        {{}, "org.42.7", "Unknown"},
        {{}, {}, "Unknown"},
    };
    for (const auto& [info, identifier, expected] : cases) {
        EXPECT_EQ(maker(info, identifier), expected) << identifier.value_or("");
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
