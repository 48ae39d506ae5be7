#include "scan/PluginScanner.h"

#include "platform/MachO.h"
#include "support/BundleFixtures.h"
#include "support/FaultyFileSystem.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace kestrova {
namespace {

using testing::BundleFixture;
using testing::FaultyFileSystem;
using testing::TemporaryDirectory;
using testing::writeBundle;

const std::string arm64Header = syntheticMachOHeader({machO::cpuTypeArm64});
const std::string intelHeader = syntheticMachOHeader({machO::cpuTypeX86_64});

// A sandbox with a system root and a home, as the scanner sees a Mac.
class ScannerTest : public ::testing::Test {
protected:
    TemporaryDirectory sandbox;
    SystemLayout layout{sandbox / "root", sandbox / "home"};

    std::string system(std::string_view relative) const { return "root/Library/" + std::string(relative); }
    std::string systemRoots() const { return sandbox / "root/Library/Audio/Plug-Ins"; }

    std::string bundle(std::string_view relative, PropertyListDictionary info, std::optional<std::string> executable,
                       PropertyListFormat format = PropertyListFormat::xml) const {
        BundleFixture fixture;
        fixture.info = std::move(info);
        fixture.executable = std::move(executable);
        fixture.infoFormat = format;
        return writeBundle(sandbox, relative, fixture);
    }

    ScanSummary scan(const FileSystem& fs, const std::vector<std::string>& roots,
                     std::vector<ScanProgress>* progress = nullptr, AudioUnitRegistry registry = {}) const {
        const PluginScanner scanner(fs, layout, std::move(registry));
        const ScanControl control;
        return scanner.scan(roots, control, [&](const ScanProgress& record) {
            if (progress) {
                progress->push_back(record);
            }
        });
    }
};

std::vector<std::string> productPaths(const ScanSummary& summary) {
    std::vector<std::string> paths;
    for (const auto& product : summary.plugins) {
        for (const auto& record : product.bundles.value_or(std::vector<PluginBundleRecord>{})) {
            paths.push_back(record.path);
        }
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

TEST_F(ScannerTest, OnlyLocationsInsideAnAuthorizedRootAreWalked) {
    const auto walked = [&](std::vector<std::string> roots) {
        std::vector<ScanProgress> progress;
        scan(realFileSystem(), roots, &progress);
        std::vector<std::string> locations;
        for (const auto& record : progress) {
            if (locations.empty() || locations.back() != record.location) {
                locations.push_back(record.location);
            }
        }
        return locations;
    };
    const auto plugIns = sandbox / "root/Library/Audio/Plug-Ins";
    // Avid's folder is not below Audio/Plug-Ins; missing folders still count.
    EXPECT_EQ(walked({plugIns}), (std::vector<std::string>{plugIns + "/Components", plugIns + "/VST", plugIns + "/VST3",
                                                           plugIns + "/CLAP"}));
    // ".../VST" covers neither ".../VST3" nor anything but itself.
    EXPECT_EQ(walked({plugIns + "/VST"}), std::vector<std::string>{plugIns + "/VST"});
    EXPECT_EQ(walked({plugIns + "/../Plug-Ins/./VST3"}), std::vector<std::string>{plugIns + "/VST3"});
    EXPECT_TRUE(walked({plugIns + "/VS"}).empty());
    EXPECT_TRUE(walked({plugIns + "/Components/Deeper"}).empty());
    // The system's five locations come before the home's, AAX from Avid's folder.
    const auto everything = walked({sandbox.path()});
    ASSERT_EQ(everything.size(), 10u);
    EXPECT_EQ(everything[3], sandbox / "root/Library/Application Support/Avid/Audio/Plug-Ins");
    EXPECT_EQ(everything[7], sandbox / "home/Library/Audio/Plug-Ins/VST3");
    EXPECT_EQ(walked({sandbox / "home"}).size(), 5u);
}

TEST_F(ScannerTest, BundlesAreFoundByExtensionAndNeverInsideAnotherBundle) {
    // Vendor sub-folders and a helper inside a bundle: the demo tree's
    // Soundtoys and Ozone Helper.
    const auto vst = "Audio/Plug-Ins/VST/";
    bundle(system("Audio/Plug-Ins/Components/Outer.COMPONENT"), {}, arm64Header);
    bundle(system("Audio/Plug-Ins/Components/Outer.COMPONENT/Contents/PlugIns/Inner.component"), {}, arm64Header);
    bundle(system("Audio/Plug-Ins/Components/.Hidden.component"), {}, arm64Header);
    // A VST3 bundle in the VST folder is not recorded, but is walked into.
    bundle(system(std::string(vst) + "Wrong.vst3"), {}, arm64Header);
    bundle(system(std::string(vst) + "Wrong.vst3/Contents/Legacy.vst"), {}, arm64Header);
    sandbox.writeFile(system(std::string(vst) + "Single.vst"), intelHeader);  // a file counts too

    const auto summary = scan(realFileSystem(), {systemRoots()});
    const auto lib = sandbox / "root/Library/";
    EXPECT_EQ(productPaths(summary),
              (std::vector<std::string>{lib + "Audio/Plug-Ins/Components/Outer.COMPONENT",
                                        lib + "Audio/Plug-Ins/VST/Single.vst",
                                        lib + "Audio/Plug-Ins/VST/Wrong.vst3/Contents/Legacy.vst"}));
}

// name, version, manufacturer, architecture as read from one bundle.
std::string facts(const DiscoveredBundle& bundle) {
    return bundle.name + "|" + bundle.version + "|" + bundle.manufacturer + "|" + bundle.architecture;
}

TEST_F(ScannerTest, ReadsNamesVersionsManufacturersAndTheDeclaredExecutablesArchitecture) {
    const PluginScanner scanner(realFileSystem(), layout);
    const ScanControl control;
    const auto read = [&](std::string_view relative, const std::string& format = "VST3") {
        return scanner.readBundle(sandbox / relative, format, control);
    };
    // A blank display name, the build number as version and the maker from
    // the identifier: the demo tree's Acme Reverb. Here what it does not show.
    bundle("a/Spaced.vst3",
           {{"CFBundleDisplayName", std::string(" Pro-Q 3 ")},
            {"CFBundleShortVersionString", std::string("3.28")},
            {"CFBundleName", std::int64_t{5}}},
           std::nullopt);
    EXPECT_EQ(facts(read("a/Spaced.vst3")), " Pro-Q 3 |3.28|Unknown|Unknown");
    sandbox.makeDirectory("a/No Info.v1.vst3/Contents");
    EXPECT_EQ(facts(read("a/No Info.v1.vst3")), "No Info.v1|Unavailable|Unknown|Unknown");
    EXPECT_EQ(read("a/No Info.v1.vst3").byteSize, 0);

    // A blank short version gives way to the build number; a declared
    // executable that is not there.
    bundle("c/Gone.vst3",
           {{"CFBundleExecutable", std::string("Gone")},
            {"CFBundleShortVersionString", std::string("\t")},
            {"CFBundleVersion", std::string("1042")}},
           std::nullopt);
    EXPECT_EQ(facts(read("c/Gone.vst3")), "Gone|1042|Unknown|Unknown");
    // A single-file CLAP is its own executable (the demo's Surge XT.clap); a
    // CLAP folder without a declared one, or a single-file VST2, is not.
    sandbox.writeFile("c/Folder.clap/Contents/MacOS/Folder", arm64Header);
    EXPECT_EQ(read("c/Folder.clap", "CLAP").architecture, "Unknown");
    sandbox.writeFile("c/Single.vst", arm64Header);
    EXPECT_EQ(read("c/Single.vst", "VST2").architecture, "Unknown");
    EXPECT_EQ(scanner.executableArchitecture(sandbox.writeFile("c/seven", arm64Header.substr(0, 7))), "Unknown");
}

TEST_F(ScannerTest, ProgressForExactlyTenBundles) {
    for (int i = 0; i < 10; ++i) {
        sandbox.writeFile(system("Audio/Plug-Ins/VST3/P" + std::to_string(i) + ".vst3"), arm64Header);
    }
    std::vector<ScanProgress> progress;
    const auto vst3 = sandbox / "root/Library/Audio/Plug-Ins/VST3";
    scan(realFileSystem(), {vst3}, &progress);
    EXPECT_EQ(progress,
              (std::vector<ScanProgress>{{"VST3", vst3, 0, 1, 0}, {"VST3", vst3, 0, 1, 10}, {"VST3", vst3, 1, 1, 10}}));

    // Across locations the count keeps running and missing folders advance.
    sandbox.writeFile(system("Audio/Plug-Ins/CLAP/A.clap"), arm64Header);
    progress.clear();
    scan(realFileSystem(), {systemRoots()}, &progress);
    const auto plugIns = sandbox / "root/Library/Audio/Plug-Ins";
    EXPECT_EQ(progress, (std::vector<ScanProgress>{{"AU", plugIns + "/Components", 0, 4, 0},
                                                   {"AU", plugIns + "/Components", 1, 4, 0},
                                                   {"VST2", plugIns + "/VST", 1, 4, 0},
                                                   {"VST2", plugIns + "/VST", 2, 4, 0},
                                                   {"VST3", plugIns + "/VST3", 2, 4, 0},
                                                   {"VST3", plugIns + "/VST3", 2, 4, 10},
                                                   {"VST3", plugIns + "/VST3", 3, 4, 10},
                                                   {"CLAP", plugIns + "/CLAP", 3, 4, 10},
                                                   {"CLAP", plugIns + "/CLAP", 4, 4, 11}}));
}

TEST_F(ScannerTest, UnreadableFoldersAreReportedAndTheScanGoesOn) {
    bundle(system("Audio/Plug-Ins/VST3/Good.vst3"), {{"CFBundleName", std::string("Good")}}, arm64Header);
    bundle(system("Audio/Plug-Ins/VST3/Locked/Hidden.vst3"), {}, arm64Header);
    bundle(system("Audio/Plug-Ins/Components/Any.component"), {}, arm64Header);
    sandbox.writeFile(system("Audio/Plug-Ins/CLAP"), "a file where a folder belongs");
    FaultyFileSystem fs;
    const auto plugIns = sandbox / "root/Library/Audio/Plug-Ins";
    fs.failReadsUnder(plugIns + "/Components");
    fs.failReadsUnder(plugIns + "/VST3/Locked");
    const auto summary = scan(fs, {plugIns});
    EXPECT_EQ(summary.inaccessibleLocations,
              (std::vector<std::string>{plugIns + "/CLAP", plugIns + "/Components", plugIns + "/VST3/Locked"}));
    ASSERT_EQ(summary.plugins.size(), 1u);
    EXPECT_EQ(summary.plugins[0].name, "Good");
    EXPECT_FALSE(summary.wasCancelled);
}

// Cancels the scan the moment the size summation lists a chosen folder.
class CancellingFileSystem final : public FaultyFileSystem {
public:
    CancellingFileSystem(std::string trigger, ScanControl& control) : trigger_(std::move(trigger)), control_(control) {}
    Result<std::vector<DirectoryEntry>> entriesOfDirectory(const std::string& path) const override {
        if (path == trigger_) {
            control_.requestCancellation();
        }
        return FaultyFileSystem::entriesOfDirectory(path);
    }

private:
    std::string trigger_;
    ScanControl& control_;
};

TEST_F(ScannerTest, CancellingWhileSummingSizesStopsEverything) {
    BundleFixture big;
    big.executable = arm64Header;
    for (int i = 0; i < 50; ++i) {
        big.files.emplace_back("Contents/Resources/f" + std::to_string(i), std::string(100, 'x'));
    }
    const auto bigBundle = writeBundle(sandbox, system("Audio/Plug-Ins/VST3/Big.vst3"), big);
    bundle(system("Audio/Plug-Ins/VST3/zLater.vst3"), {}, arm64Header);
    bundle(system("Audio/Plug-Ins/CLAP/Later.clap"), {}, arm64Header);
    sandbox.makeDirectory(system("Audio/Plug-Ins/Components/Locked"));

    ScanControl control;
    CancellingFileSystem fs(bigBundle + "/Contents/Resources", control);
    // The Components folder has an unreadable sub-folder, met before the cancel.
    fs.failReadsUnder(sandbox / system("Audio/Plug-Ins/Components/Locked"));

    std::vector<ScanProgress> progress;
    const PluginScanner scanner(fs, layout, AudioUnitRegistry({{"Waves", "Tune", "1"}}));
    const auto summary = scanner.scan({systemRoots()}, control, [&](const ScanProgress& p) { progress.push_back(p); });
    EXPECT_TRUE(summary.wasCancelled);
    EXPECT_TRUE(summary.plugins.empty());  // not even registry products
    EXPECT_EQ(summary.inaccessibleLocations,
              std::vector<std::string>{sandbox / system("Audio/Plug-Ins/Components/Locked")});
    // Nothing after the VST3 folder was started.
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back().format, "VST3");

    // The interrupted sum is the part counted before the cancel.
    ScanControl fresh;
    CancellingFileSystem again(bigBundle + "/Contents/Resources", fresh);
    const auto partial = PluginScanner(again, layout).bundleByteSize(bigBundle, fresh);
    EXPECT_LT(partial, 50 * 100);
}

}  // namespace
}  // namespace kestrova
