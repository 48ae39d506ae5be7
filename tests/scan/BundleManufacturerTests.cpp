#include "scan/BundleManufacturer.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

std::string maker(const InfoDictionary& info, std::optional<std::string> identifier = std::nullopt) {
    return bundleManufacturer(info, identifier);
}

TEST(BundleManufacturer, VendorTableComesFirstAndSearchesNamesAndIdentifier) {
    // A name mentioning Waves wins over an identifier of another company and
    // over the manufacturer keys.
    EXPECT_EQ(
        maker({{"CFBundleDisplayName", "Waves Tune"}, {"AudioUnitManufacturer", "Antares"}}, "com.antares.autotune"),
        "Waves");
    EXPECT_EQ(maker({}, "com.fabfilter.Pro-Q.3"), "FabFilter");
    EXPECT_EQ(maker({{"CFBundleName", "Kontakt 8"}}, "com.native-instruments.Kontakt8"), "Native Instruments");
    EXPECT_EQ(maker({{"CFBundleName", "ValhallaVintageVerb"}}), "Valhalla DSP");
    EXPECT_EQ(maker({}, "com.AkaiPro.MPC"), "Akai Pro");  // the search text is lower-cased
    // The parts are joined with single spaces before searching.
    EXPECT_EQ(maker({{"CFBundleName", "Native"}}, "Instruments.Maschine"), "Native Instruments");
    // Blank names take no part in the search text.
    EXPECT_EQ(maker({{"CFBundleDisplayName", " \t "}, {"CFBundleName", "Tool"}}, "com.acme.tool"), "Acme");
}

TEST(BundleManufacturer, ManufacturerKeysBeforeTheIdentifier) {
    EXPECT_EQ(maker({{"AudioUnitManufacturer", " Brightwater "}, {"Manufacturer", "Other"}}, "com.acme.x"),
              " Brightwater ");  // used as stored
    EXPECT_EQ(maker({{"AudioUnitManufacturer", "  "}, {"Manufacturer", "Other"}}, "com.acme.x"), "Other");
    EXPECT_EQ(maker({{"AudioUnitManufacturer", "\t"}}, "com.acme.x"), "Acme");
}

TEST(BundleManufacturer, IdentifierPieces) {
    EXPECT_EQ(maker({}, "com.acme-audio.reverb"), "Acme Audio");
    EXPECT_EQ(maker({}, "com.u-he.Diva"), "U He");
    EXPECT_EQ(maker({}, "com.vst3.12"), "Unknown");
    EXPECT_EQ(maker({}, "COM..Audio.PlugIns.VST3.bRIGHTWATER.verb"), "Brightwater");
    EXPECT_EQ(maker({}, "net.audiounit.2nd-sense.x"), "2nd Sense");
    EXPECT_EQ(maker({}, "org.42.7"), "Unknown");
    EXPECT_EQ(maker({}), "Unknown");
}

TEST(BundleManufacturer, NonBlankValuesAndCapitalization) {
    EXPECT_EQ(nonBlankInfoValue({{"k", " v "}}, "k"), " v ");
    EXPECT_FALSE(nonBlankInfoValue({{"k", " \t"}}, "k"));
    EXPECT_TRUE(nonBlankInfoValue({{"k", "\n"}}, "k"));  // newlines are not trimmed
    EXPECT_FALSE(nonBlankInfoValue({}, "k"));
    EXPECT_EQ(capitalizedWords("ACME AUDIO labs"), "Acme Audio Labs");
    EXPECT_EQ(capitalizedWords("élan vital"), "Élan Vital");
}

}  // namespace
}  // namespace kestrova
