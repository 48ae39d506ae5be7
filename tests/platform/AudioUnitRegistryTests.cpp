#include "platform/AudioUnitRegistry.h"

#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

using testing::TemporaryDirectory;

TEST(AudioUnitRegistry, LoadsComponentsInFileOrder) {
    const TemporaryDirectory directory;
    const auto file = directory.writeFile("au.json", R"([
        {"manufacturerName": "Waves", "name": "Waves: SSL E-Channel Stereo", "versionString": "14.12", "extra": 1},
        {"manufacturerName": "Apple", "name": "AUDelay", "versionString": ""}
    ])");
    const auto registry = AudioUnitRegistry::load(realFileSystem(), file);
    ASSERT_TRUE(registry) << registry.error().message;
    EXPECT_EQ(
        registry->allComponents(),
        (std::vector<AudioUnitComponent>{{"Waves", "Waves: SSL E-Channel Stereo", "14.12"}, {"Apple", "AUDelay", ""}}));
}

TEST(AudioUnitRegistry, BadFilesAreClearErrors) {
    const TemporaryDirectory directory;
    const auto& fs = realFileSystem();
    const auto missing = AudioUnitRegistry::load(fs, directory / "none.json");
    ASSERT_FALSE(missing);
    EXPECT_NE(missing.error().message.find("none.json"), std::string::npos);

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
