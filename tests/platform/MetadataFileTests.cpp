// Metadata files a scan reads: bundle information dictionaries and the
// Audio Unit registry export.
#include "platform/AudioUnitRegistry.h"
#include "platform/BundleInfo.h"
#include "support/BundleFixtures.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

using testing::BundleFixture;
using testing::TemporaryDirectory;
using testing::writeBundle;

// Both encodings are read in the demo tree's scan; here what is not a string.
TEST(BundleInfo, ReadsDictionariesKeepingOnlyStrings) {
    const TemporaryDirectory directory;
    BundleFixture fixture;
    fixture.info = {{"CFBundleName", std::string("Pro-Q 3")},
                    {"CFBundleDisplayName", std::string("  Pro-Q 3 ")},
                    {"CFBundleVersion", std::int64_t{328}},
                    {"LSRequiresNativeExecution", true}};
    fixture.infoFormat = PropertyListFormat::binary;
    const auto info = readBundleInfoDictionary(realFileSystem(), writeBundle(directory, "b.vst3", fixture));
    ASSERT_TRUE(info);
    EXPECT_EQ(*info, (InfoDictionary{{"CFBundleName", "Pro-Q 3"}, {"CFBundleDisplayName", "  Pro-Q 3 "}}));
}

TEST(BundleInfo, MissingOrBrokenDictionariesAreAbsent) {
    const TemporaryDirectory directory;
    const auto& fs = realFileSystem();
    EXPECT_FALSE(readBundleInfoDictionary(fs, directory.makeDirectory("Empty.vst3")));
    directory.writeFile("Broken.vst3/Contents/Info.plist", "<plist><dict><key>x</key>");
    EXPECT_FALSE(readBundleInfoDictionary(fs, directory / "Broken.vst3"));
    directory.writeFile(
        "Array.vst3/Contents/Info.plist",
        serializePropertyList({}, PropertyListFormat::xml)
            .replace(serializePropertyList({}, PropertyListFormat::xml).find("<dict/>"), 7, "<array/>"));
    EXPECT_FALSE(readBundleInfoDictionary(fs, directory / "Array.vst3"));
    directory.makeDirectory("Folder.vst3/Contents/Info.plist");
    EXPECT_FALSE(readBundleInfoDictionary(fs, directory / "Folder.vst3"));
    // A single file is never a bundle with a dictionary.
    EXPECT_FALSE(readBundleInfoDictionary(fs, directory.writeFile("Single.clap", "\xCF\xFA\xED\xFE")));
    // An executable named blank is none.
    EXPECT_FALSE(bundleExecutablePath("/P/x.vst3", {{"CFBundleExecutable", ""}}));
}

TEST(AudioUnitRegistry, LoadsComponentsInFileOrderAndBadFilesAreClearErrors) {
    const TemporaryDirectory directory;
    const auto& fs = realFileSystem();
    const auto registry = AudioUnitRegistry::load(fs, directory.writeFile("au.json", R"([
        {"manufacturerName": "Waves", "name": "Waves: SSL E-Channel Stereo", "versionString": "14.12", "extra": 1},
        {"manufacturerName": "Apple", "name": "AUDelay", "versionString": ""}])"));
    ASSERT_TRUE(registry) << registry.error().message;
    EXPECT_EQ(
        registry->allComponents(),
        (std::vector<AudioUnitComponent>{{"Waves", "Waves: SSL E-Channel Stereo", "14.12"}, {"Apple", "AUDelay", ""}}));

    // A missing file's error is in the demo's recording (--au-registry none.json).
    EXPECT_FALSE(AudioUnitRegistry::load(fs, directory.makeDirectory("folder.json")));
    EXPECT_FALSE(AudioUnitRegistry::parse("[{", "f"));
    EXPECT_FALSE(AudioUnitRegistry::parse(R"({"name": "x"})", "f"));

    const auto wrongType = AudioUnitRegistry::parse(
        R"([{"manufacturerName": "Waves", "name": "A", "versionString": "1"},
            {"manufacturerName": "Waves", "name": 7, "versionString": "1"}])",
        "f");
    ASSERT_FALSE(wrongType);
    EXPECT_NE(wrongType.error().message.find("Entry 2"), std::string::npos);
    EXPECT_NE(wrongType.error().message.find("“name”"), std::string::npos);
    EXPECT_FALSE(AudioUnitRegistry::parse(R"([{"manufacturerName": "Waves", "name": "A"}])", "f"));
}

}  // namespace
}  // namespace kestrova
