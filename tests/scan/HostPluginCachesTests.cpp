// The hosts' own plug-in lists after a move: only the moved bundles they
// still name are reported, and hosts without a documented list are named as
// guidance when their cache exists.
#include "scan/HostPluginCaches.h"

#include "support/TemporaryDirectory.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <tuple>

namespace kestrova {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::TemporaryDirectory;

// A REAPER VST list and CLAP list as REAPER writes them: file names keyed
// with underscores for spaces, CLAP files as sections.
const std::string reaperFolder = std::string(KESTROVA_SOURCE_DIR) + "/tests/data/scan/reaper/";
const std::string vstList = testing::readWholeFile(reaperFolder + "reaper-vstplugins_arm64.ini");
const std::string clapList = testing::readWholeFile(reaperFolder + "reaper-clap-macos-arm64.ini");

TEST(HostPluginCaches, ReaperListsNameBundlesByFileNameOrFullPath) {
    const std::vector<std::tuple<std::string, std::string, bool>> cases{
        {vstList, "/Library/Audio/Plug-Ins/VST3/FabFilter Pro-Q 3.vst3", true},
        {vstList, "/Library/Audio/Plug-Ins/VST3/fabfilter pro-q 3.VST3", true},
        {vstList, "/Library/Audio/Plug-Ins/VST/ValhallaVintageVerb.vst", true},
        {vstList, "/Library/Audio/Plug-Ins/VST3/Pro-Q 3.vst3", false},
        {vstList, "/Library/Audio/Plug-Ins/VST3/vstcache", false},
        {clapList, "/Library/Audio/Plug-Ins/CLAP/Surge XT.clap", true},
        {clapList, "/Library/Audio/Plug-Ins/CLAP/Diva.clap", true},
        {clapList, "/Library/Audio/Plug-Ins/CLAP/com.u-he.diva", false},
        {"[vstcache]\n/usr/lib/vst/Dragonfly.so=00,1,Dragonfly\n", "/usr/lib/vst/Dragonfly.so", true},
        {"[vstcache]\n/usr/lib/vst/Dragonfly.so=00,1,Dragonfly\n", "/usr/local/lib/vst/Dragonfly.so", false},
        {"", "/Library/Audio/Plug-Ins/VST3/FabFilter Pro-Q 3.vst3", false},
    };
    for (const auto& [text, path, named] : cases) {
        EXPECT_EQ(reaperCacheNames(text, path), named) << path;
    }
}

TEST(HostPluginCaches, OnlyMovedBundlesAreReportedPerProfile) {
    TemporaryDirectory tree;
    const FileSystem fileSystem;
    const SystemLayout mac{tree / "root", tree / "mac"};
    tree.writeFile("mac/Library/Application Support/REAPER/reaper-vstplugins_arm64.ini", vstList);
    tree.writeFile("mac/Library/Application Support/REAPER/reaper-clap-macos-arm64.ini", clapList);
    // Not a plug-in list, though it names the same file.
    tree.writeFile("mac/Library/Application Support/REAPER/reaper-recentfx.ini", "Ozone_11.vst3=1\n");

    const auto proQ = mac.system("/Library/Audio/Plug-Ins/VST3/FabFilter Pro-Q 3.vst3");
    const auto surge = mac.system("/Library/Audio/Plug-Ins/CLAP/Surge XT.clap");
    const auto untouchedByReaper = mac.system("/Library/Audio/Plug-Ins/Components/Pigments.component");
    auto findings = hostCachesNaming({proQ, surge, untouchedByReaper}, mac, fileSystem);
    ASSERT_EQ(findings.size(), 1U);
    EXPECT_EQ(findings[0].host, "REAPER");
    EXPECT_FALSE(findings[0].guidanceOnly);
    EXPECT_THAT(findings[0].namedBundles, ElementsAre(proQ, surge));
    EXPECT_EQ(findings[0].cacheFiles.size(), 2U);
    // One bundle named, and the REAPER guidance, are in the demo's recording.
    EXPECT_THAT(hostCacheNoticeText(findings), HasSubstr("REAPER still lists 2 moved bundles in its plug-in cache."));

    // The Audio Unit cache is named once it exists and an Audio Unit moved.
    tree.makeDirectory("mac/Library/Caches/AudioUnitCache");
    findings = hostCachesNaming({proQ}, mac, fileSystem);
    ASSERT_EQ(findings.size(), 1U);
    findings = hostCachesNaming({untouchedByReaper}, mac, fileSystem);
    ASSERT_EQ(findings.size(), 1U);
    EXPECT_EQ(findings[0].host, "Audio Unit cache");
    EXPECT_TRUE(findings[0].guidanceOnly);
    EXPECT_THAT(hostCacheNoticeText(findings), HasSubstr("Audio Unit cache may still list moved plug-ins."));
    EXPECT_TRUE(hostCachesNaming({}, mac, fileSystem).empty());

    // Linux: REAPER under ~/.config, Ardour's and Bitwig's caches as guidance.
    SystemLayout gnuLinux{tree / "root", tree / "linux", PlatformProfile::gnuLinux};
    tree.writeFile("linux/.config/REAPER/reaper-vstplugins64.ini", "[vstcache]\nDragonfly.so=00,1,Dragonfly\n");
    const std::string dragonfly = "/usr/lib/vst/Dragonfly.so";
    EXPECT_TRUE(hostCachesNaming({"/usr/lib/vst/Other.so"}, gnuLinux, fileSystem).empty());
    tree.makeDirectory("linux/.cache/ardour8/vst");
    tree.makeDirectory("linux/.BitwigStudio/cache");
    findings = hostCachesNaming({dragonfly}, gnuLinux, fileSystem);
    ASSERT_EQ(findings.size(), 3U);
    EXPECT_EQ(findings[0].host, "REAPER");
    EXPECT_THAT(findings[0].namedBundles, ElementsAre(dragonfly));
    EXPECT_EQ(findings[1].host, "Ardour");
    EXPECT_THAT(findings[1].cacheFiles, ElementsAre(tree / "linux/.cache/ardour8"));
    EXPECT_EQ(findings[2].host, "Bitwig Studio");
}

}  // namespace
}  // namespace kestrova
