#include "cli/DemoTree.h"
#include "cli/ScanCommands.h"
#include "model/Plugin.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <sstream>

namespace kestrova::cli {
namespace {

using testing::TemporaryDirectory;

struct Run {
    int exitCode = 0;
    std::string out;
    std::string err;
};

Run dryRun(const std::string& root, const std::string& home, const std::string& registry,
           std::vector<std::string> authorized, bool json = true) {
    std::ostringstream out;
    std::ostringstream err;
    CliContext context;
    context.rootOption = root;
    context.homeOption = home;
    context.auRegistryOption = registry;
    context.out = &out;
    context.err = &err;
    ScanCommandOptions options;
    options.dryRun = true;
    options.authorizedFolders = std::move(authorized);
    options.json = json;
    const auto code = runDryRunScan(context, options);
    return {code, out.str(), err.str()};
}

const Plugin& named(const std::vector<Plugin>& products, std::string_view name) {
    const auto found =
        std::find_if(products.begin(), products.end(), [&](const Plugin& product) { return product.name == name; });
    if (found == products.end()) {
        throw std::runtime_error("no product " + std::string(name));
    }
    return *found;
}

// The expectations below were worked out from the demo's files by hand, not
// taken from a run.
TEST(ScanCommands, DryRunOfTheDemoTree) {
    const TemporaryDirectory directory;
    const auto demo = directory / "demo";
    ASSERT_TRUE(writeDemoTree(demo));
    const auto run = dryRun(demo + "/root", demo + "/home", demo + "/au-registry.json",
                            {demo + "/root/Library/Audio/Plug-Ins", demo + "/home/Library"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto json = Json::parse(run.out);
    EXPECT_EQ(json.at("wasCancelled"), false);
    EXPECT_TRUE(json.at("inaccessibleLocations").empty());
    const auto products = JsonCoder<std::vector<Plugin>>::decode(json.at("plugins"), "plugins");

    std::vector<std::string> order;
    for (const auto& product : products) {
        order.push_back(product.manufacturer + "|" + product.name);
    }
    EXPECT_EQ(order, (std::vector<std::string>{
                         "Acme Audio|Acme Reverb", "Arturia|Pigments", "Brightwater Audio|Tape Echo",
                         "Cradle|Cradle The God Particle", "FabFilter|FabFilter Pro-Q 3", "iZotope|Ozone 11",
                         "Soundtoys|Decapitator", "U He|Diva", "Unknown|Legacy Delay", "Unknown|Surge XT",
                         "Valhalla DSP|ValhallaVintageVerb", "Waves|Abbey Road Chambers", "Waves|CLA-76 Mono",
                         "Waves|H-Delay Stereo", "Waves|SSL E-Channel Stereo", "Waves|Waves Tune Real-Time",
                         "Waves|WaveShell1-AU 14.12", "Waves|WaveShell1-VST3 14.12"}));

    // AU (arm64, 68 MB executable + 1,264,572 bytes of resources + its
    // binary Info.plist) and VST3 (universal) in the home folder.
    const auto& pigments = named(products, "Pigments");
    EXPECT_EQ(pigments.formats, (std::vector<std::string>{"AU", "VST3"}));
    EXPECT_EQ(pigments.architecture, "Mixed");
    EXPECT_EQ(pigments.path, demo + "/home/Library/Audio/Plug-Ins/Components/Pigments.component");
    EXPECT_EQ(pigments.bundles->at(0).size, "69.3 MB");

    // The AAX bundle lies outside Audio/Plug-Ins and was not authorized.
    const auto& proQ = named(products, "FabFilter Pro-Q 3");
    EXPECT_EQ(proQ.formats, (std::vector<std::string>{"AU", "CLAP", "VST3"}));
    EXPECT_EQ(proQ.architecture, "Universal");
    // The home Avid folder was authorized through home/Library.
    EXPECT_EQ(named(products, "Decapitator").formats, (std::vector<std::string>{"AAX", "AU", "VST3"}));
    EXPECT_EQ(named(products, "Decapitator").path,
              demo + "/home/Library/Application Support/Avid/Audio/Plug-Ins/Decapitator.aaxplugin");

    // A single-file CLAP is its own executable.
    EXPECT_EQ(named(products, "Surge XT").architecture, "Apple Silicon");
    EXPECT_EQ(named(products, "Surge XT").size, "18.4 MB");

    const auto& ssl = named(products, "SSL E-Channel Stereo");
    EXPECT_EQ(ssl.version, "14.13");  // the later registry entry of the same name
    EXPECT_EQ(ssl.status, PluginStatus::hostedByShell);
    // On disk, so its registry twin is gone.
    EXPECT_EQ(named(products, "Waves Tune Real-Time").architecture, "Intel");
}

TEST(ScanCommands, BadOptionsAreRefusedWithAReason) {
    const TemporaryDirectory directory;
    const auto demo = directory / "demo";
    ASSERT_TRUE(writeDemoTree(demo));
    const auto missingRoot = dryRun(directory / "nowhere", demo + "/home", "", {demo});
    EXPECT_EQ(missingRoot.exitCode, 1);
    EXPECT_NE(missingRoot.err.find("nowhere"), std::string::npos);
    EXPECT_TRUE(missingRoot.out.empty());
    EXPECT_EQ(dryRun(demo + "/root", demo + "/home", "", {directory / "absent"}).exitCode, 1);
    EXPECT_EQ(dryRun(demo + "/root", demo + "/home", directory / "none.json", {demo}).exitCode, 1);

    // Without authorization nothing is walked; the table still prints.
    const auto nothing = dryRun(demo + "/root", demo + "/home", "", {}, false);
    EXPECT_EQ(nothing.exitCode, 0);
    EXPECT_NE(nothing.out.find("0 products"), std::string::npos);
}

TEST(ScanCommands, DemoReplacesOnlyAnEarlierDemo) {
    const TemporaryDirectory directory;
    directory.writeFile("busy/notes.txt", "keep me");
    const auto refused = writeDemoTree(directory / "busy");
    ASSERT_FALSE(refused);
    EXPECT_EQ(directory.readFile("busy/notes.txt"), "keep me");
    EXPECT_FALSE(directory.exists("busy/root"));

    ASSERT_TRUE(writeDemoTree(directory / "demo"));
    directory.writeFile("demo/root/Library/Audio/Plug-Ins/VST3/Stale.vst3/x", "x");
    ASSERT_TRUE(writeDemoTree(directory / "demo"));
    EXPECT_FALSE(directory.exists("demo/root/Library/Audio/Plug-Ins/VST3/Stale.vst3"));
    EXPECT_FALSE(writeDemoTree(directory.writeFile("file", "x")));
}

}  // namespace
}  // namespace kestrova::cli
