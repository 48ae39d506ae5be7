#include "platform/BundleInfo.h"

#include "support/BundleFixtures.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

using testing::BundleFixture;
using testing::TemporaryDirectory;
using testing::writeBundle;

TEST(BundleInfo, ReadsXmlAndBinaryDictionariesKeepingOnlyStrings) {
    const TemporaryDirectory directory;
    for (const auto format : {PropertyListFormat::xml, PropertyListFormat::binary}) {
        BundleFixture fixture;
        fixture.info = {{"CFBundleName", std::string("Pro-Q 3")},
                        {"CFBundleDisplayName", std::string("  Pro-Q 3 ")},
                        {"CFBundleVersion", std::int64_t{328}},
                        {"LSRequiresNativeExecution", true}};
        fixture.infoFormat = format;
        const auto bundle = writeBundle(directory, format == PropertyListFormat::xml ? "x.vst3" : "b.vst3", fixture);
        const auto info = readBundleInfoDictionary(realFileSystem(), bundle);
        ASSERT_TRUE(info);
        EXPECT_EQ(*info, (InfoDictionary{{"CFBundleName", "Pro-Q 3"}, {"CFBundleDisplayName", "  Pro-Q 3 "}}));
    }
    // Both encodings really were written.
    EXPECT_EQ(directory.readFile("b.vst3/Contents/Info.plist").substr(0, 8), "bplist00");
    EXPECT_EQ(directory.readFile("x.vst3/Contents/Info.plist").substr(0, 5), "<?xml");
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
}

TEST(BundleInfo, ExecutableLivesInContentsMacOS) {
    EXPECT_EQ(bundleExecutablePath("/P/Pro-Q 3.vst3", {{"CFBundleExecutable", "Pro-Q 3"}}),
              "/P/Pro-Q 3.vst3/Contents/MacOS/Pro-Q 3");
    EXPECT_FALSE(bundleExecutablePath("/P/x.vst3", {}));
    EXPECT_FALSE(bundleExecutablePath("/P/x.vst3", {{"CFBundleExecutable", ""}}));
}

}  // namespace
}  // namespace kestrova
