// Linux sandboxes scanned whole: each format from the folders hosts use,
// suites and shared libraries as distributions ship them, links and loops.
#include "model/ProductSearch.h"
#include "platform/Elf.h"
#include "scan/PluginScanner.h"
#include "scan/Vst3ModuleInfo.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>

namespace kestrova {
namespace {

using testing::TemporaryDirectory;

const std::string x86_64Object = syntheticElfHeader(elf::machineX86_64, true) + std::string(200, '\0');
const std::string aarch64Object = syntheticElfHeader(elf::machineAArch64, true) + std::string(100, '\0');
const std::string armObject = syntheticElfHeader(elf::machineArm, false);
const std::string lv2Prefixes =
    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix doap: <http://usefulinc.com/ns/doap#> .\n";

// A sandbox laid out as a Linux machine: system folders below root/usr,
// the user's below home.
class LinuxScannerTest : public ::testing::Test {
protected:
    TemporaryDirectory sandbox;
    SystemLayout layout{sandbox / "root", sandbox / "home", PlatformProfile::gnuLinux};
    PluginPathVariables variables;

    ScanSummary scan(std::vector<std::string> roots = {}) const {
        if (roots.empty()) {
            roots.push_back(sandbox.path());
        }
        const PluginScanner scanner(realFileSystem(), layout, {}, variables);
        return scanner.scan(roots, ScanControl{}, nullptr);
    }

    static const Plugin* product(const ScanSummary& summary, const std::string& name) {
        const auto found = std::find_if(summary.plugins.begin(), summary.plugins.end(),
                                        [&](const Plugin& plugin) { return plugin.name == name; });
        return found == summary.plugins.end() ? nullptr : &*found;
    }

    // Builds a real shared object with the system compiler; empty if it cannot.
    std::string compile(const std::string& relative, const std::string& source, const std::string& flags = {}) const {
        const auto sourcePath = sandbox.writeFile("src/" + relative.substr(relative.rfind('/') + 1) + ".c", source);
        sandbox.makeDirectory(relative.substr(0, relative.rfind('/')));
        const auto command =
            "cc -shared -fPIC -o '" + sandbox / relative + "' '" + sourcePath + "' " + flags + " >/dev/null 2>&1";
        return std::system(command.c_str()) == 0 ? sandbox / relative : std::string();
    }

    // Every bundle found, by its path relative to the sandbox.
    std::map<std::string, std::pair<const Plugin*, const PluginBundleRecord*>> bundles(
        const ScanSummary& summary) const {
        std::map<std::string, std::pair<const Plugin*, const PluginBundleRecord*>> found;
        for (const auto& product : summary.plugins) {
            for (const auto& record : *product.bundles) {
                found[record.path.substr(sandbox.path().size() + 1)] = {&product, &record};
            }
        }
        return found;
    }
};

TEST_F(LinuxScannerTest, EachFormatIsReadFromTheFoldersHostsUse) {
    // VST3 with two architectures and a module description.
    sandbox.writeFile("root/usr/lib/vst3/Surge.vst3/Contents/x86_64-linux/Surge.so", x86_64Object);
    sandbox.writeFile("root/usr/lib/vst3/Surge.vst3/Contents/aarch64-linux/Surge.so", aarch64Object);
    sandbox.writeFile("root/usr/lib/vst3/Surge.vst3/Contents/Resources/moduleinfo.json",
                      R"({ // comments are allowed
                           "Name": "Surge XT", "Version": "1.3.1",
                           "Factory Info": { "Vendor": "Surge Synth Team", "URL": "" },
                           "Classes": [] })");
    // A Windows or macOS binary inside the bundle is not ours to read.
    sandbox.writeFile("root/usr/lib/vst3/Surge.vst3/Contents/x86_64-win/Surge.vst3", "MZ");
    sandbox.writeFile("root/usr/local/lib/vst3/Arm.vst3/Contents/armv7l-linux/Arm.so", armObject);
    sandbox.writeFile("home/.clap/notes.txt", "not a plug-in");
    sandbox.writeFile("home/.vst/Cut.so", x86_64Object.substr(0, 40));
    sandbox.writeFile("root/usr/lib/lv2/eq.lv2/manifest.ttl",
                      lv2Prefixes + "<urn:eq> a lv2:Plugin ; lv2:binary <eq.so> ; doap:name \"Parametric EQ\" .\n");
    sandbox.writeFile("root/usr/lib/lv2/eq.lv2/eq.so", aarch64Object);
    // macOS folders mean nothing on this profile.
    sandbox.writeFile("root/Library/Audio/Plug-Ins/CLAP/Mac.clap", x86_64Object);

    const auto summary = scan();
    const auto found = bundles(summary);
    ASSERT_EQ(found.size(), 4u);

    // name|manufacturer|version|format|architecture of each bundle. The demo
    // tree's scan shows the plain x86-64 cases of every folder.
    const std::map<std::string, std::string> expected{
        {"root/usr/lib/vst3/Surge.vst3", "Surge XT|Surge Synth Team|1.3.1|VST3|Universal"},
        {"root/usr/local/lib/vst3/Arm.vst3", "Arm|Unknown|Unavailable|VST3|ARM"},
        {"home/.vst/Cut.so", "Cut|Unknown|Unavailable|VST2|Unknown"},
        {"root/usr/lib/lv2/eq.lv2", "Parametric EQ|Unknown|Unavailable|LV2|ARM64"},
    };
    for (const auto& [path, facts] : expected) {
        const auto& [product, record] = found.at(path);
        EXPECT_EQ(product->name + "|" + product->manufacturer + "|" + product->version + "|" + record->format + "|" +
                      record->architecture,
                  facts);
    }
}

TEST_F(LinuxScannerTest, DamagedMetadataIsIgnoredAndNothingIsTakenForABundleThatIsNotOne) {
    const auto vst3 = [&](const std::string& name, const std::string& moduleInfo) {
        sandbox.writeFile("home/.vst3/" + name + ".vst3/Contents/x86_64-linux/" + name + ".so", x86_64Object);
        sandbox.writeFile("home/.vst3/" + name + ".vst3/Contents/Resources/moduleinfo.json", moduleInfo);
    };
    // Malformed text: the parser's own table.
    vst3("WrongTypes", R"({"Name": 7, "Version": "  ", "Factory Info": "Vendor"})");
    vst3("Huge", R"({"Name": "Never", "Pad": ")" + std::string(vst3ModuleInfoLimit, 'x') + "\"}");
    // A FIFO where the description should be must not hang the scan.
    sandbox.writeFile("home/.vst3/Fifo.vst3/Contents/x86_64-linux/Fifo.so", x86_64Object);
    const auto fifo = sandbox / "home/.vst3/Fifo.vst3/Contents/Resources/moduleinfo.json";
    sandbox.makeDirectory("home/.vst3/Fifo.vst3/Contents/Resources");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // A folder named like a shared object, and an LV2 folder without a
    // manifest (nothing below it counts either).
    sandbox.makeDirectory("root/usr/lib/vst/Folder.so");
    sandbox.writeFile("root/usr/lib/lv2/nomanifest.lv2/inner.lv2/manifest.ttl", "");
    sandbox.writeFile("root/usr/lib/lv2/nomanifest.lv2/x.so", x86_64Object);

    const auto summary = scan();
    const auto found = bundles(summary);
    ASSERT_EQ(found.size(), 3u);
    for (const auto& name : {"WrongTypes", "Huge", "Fifo"}) {
        const auto& [product, record] = found.at("home/.vst3/" + std::string(name) + ".vst3");
        EXPECT_EQ(product->name, name);
        EXPECT_EQ(product->version, "Unavailable") << name;
        EXPECT_EQ(product->manufacturer, "Unknown") << name;
        EXPECT_EQ(record->architecture, "x86-64") << name;
    }
}

TEST_F(LinuxScannerTest, LinksInABundleAreFollowedForItsObjectsButAddNothingToItsSize) {
    sandbox.writeFile("extra/arm.so", armObject);
    sandbox.writeFile("extra/arm64/a.so", aarch64Object);
    sandbox.writeFile("extra/contents/x86_64-linux/t.so", x86_64Object);
    sandbox.writeFile("extra/manifest.ttl",
                      "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                      "<urn:l> a lv2:Plugin ; lv2:binary <sub/b.so>, <l.so>, <missing.so> .\n");
    // An object and a whole architecture folder linked in, beside a folder
    // named like an object, which is summed but not read.
    const std::string linked = "root/usr/lib/vst3/Linked.vst3/Contents/";
    sandbox.makeSymlink(sandbox / "extra/arm.so", linked + "x86_64-linux/Linked.so");
    sandbox.makeSymlink(sandbox / "extra/arm64", linked + "aarch64-linux");
    sandbox.writeFile(linked + "x86_64-linux/folder.so/inner", std::string(100, 'f'));
    sandbox.writeFile(linked + "Resources/moduleinfo.json", R"({"Name": "Linked"})");
    sandbox.writeFile(linked + "Resources/.hidden", std::string(500, 'h'));
    sandbox.writeFile(linked + "Resources/.git/objects/big", std::string(700, 'g'));
    sandbox.makeSymlink(sandbox / "extra/contents", "root/usr/lib/vst3/Through.vst3/Contents");
    // An LV2 bundle whose manifest, and one of its objects, are links.
    sandbox.makeSymlink(sandbox / "extra/manifest.ttl", "root/usr/lib/lv2/linked.lv2/manifest.ttl");
    sandbox.makeSymlink(sandbox / "extra/arm64/a.so", "root/usr/lib/lv2/linked.lv2/l.so");
    sandbox.writeFile("root/usr/lib/lv2/linked.lv2/sub/b.so", x86_64Object);

    const auto found = bundles(scan());
    ASSERT_EQ(found.size(), 3u);
    // Linked objects give architectures but no size; hidden entries add none.
    EXPECT_EQ(found.at("root/usr/lib/vst3/Linked.vst3").second->architecture, "Universal");
    EXPECT_EQ(found.at("root/usr/lib/vst3/Linked.vst3").second->size, "118 bytes");
    EXPECT_EQ(found.at("root/usr/lib/vst3/Through.vst3").second->architecture + " " +
                  found.at("root/usr/lib/vst3/Through.vst3").second->size,
              "x86-64 Zero KB");
    const auto& lv2 = *found.at("root/usr/lib/lv2/linked.lv2").second;
    EXPECT_EQ(lv2.architecture + " " + lv2.size, "Universal 264 bytes");
}

TEST_F(LinuxScannerTest, FoldersReachedTwiceAreWalkedOnceAndLinkLoopsEnd) {
    sandbox.writeFile("root/usr/lib/lv2/eq.lv2/manifest.ttl", "<urn:eq> a <http://lv2plug.in/ns/lv2core#Plugin> .");
    sandbox.writeFile("root/usr/lib/lv2/eq.lv2/eq.so", x86_64Object);
    sandbox.writeFile("root/usr/lib/clap/Synth.clap", x86_64Object);
    sandbox.writeFile("extra/clap/Extra.clap", aarch64Object);
    // lib64 pointing at lib, named again through LV2_PATH, and the home's
    // folder a link to the system one.
    sandbox.makeSymlink("lib", "root/usr/lib64");
    sandbox.makeSymlink(sandbox / "root/usr/lib/clap", "home/.clap");
    // Loops: a folder linking to itself, two links to each other, and a link
    // inside a plug-in folder back to its parent.
    sandbox.makeSymlink("loop", "loops/loop");
    sandbox.makeSymlink("b", "loops/a");
    sandbox.makeSymlink("a", "loops/b");
    sandbox.makeSymlink("..", "root/usr/lib/clap/up");
    variables["LV2_PATH"] = sandbox / "root/usr/lib64/lv2" + ":" + sandbox / "loops/loop" + "::relative/lv2";
    variables["CLAP_PATH"] = sandbox / "loops/a" + ":" + sandbox / "extra/clap" + ":" + sandbox / "extra/clap/";
    variables["VST_PATH"] = sandbox / "root/usr/lib/clap";  // another format's folder is walked for its own

    const PluginScanner scanner(realFileSystem(), layout, {}, variables);
    std::vector<std::string> walked;
    for (const auto& location : scanner.standardLocations()) {
        walked.push_back(location.format + " " + location.url.substr(sandbox.path().size()));
    }
    // The nine system folders come first, in the order the demo's recording
    // shows (authorize --standard); the home's linked CLAP folder and lib64
    // are walked once, as their targets.
    ASSERT_EQ(walked.size(), 17u);
    EXPECT_EQ(
        std::vector(walked.begin() + 9, walked.end()),
        (std::vector<std::string>{"VST3 /home/.vst3", "VST2 /home/.vst", "VST2 /home/.lxvst", "LV2 /home/.lv2",
                                  "CLAP /loops/a", "CLAP /extra/clap", "VST2 /root/usr/lib/clap", "LV2 /loops/loop"}));

    const auto summary = scan();
    const auto found = bundles(summary);
    EXPECT_EQ(found.size(), 3u);
    EXPECT_TRUE(found.contains("root/usr/lib/lv2/eq.lv2"));
    EXPECT_TRUE(found.contains("root/usr/lib/clap/Synth.clap"));
    EXPECT_TRUE(found.contains("extra/clap/Extra.clap"));
    EXPECT_FALSE(summary.wasCancelled);
}

TEST_F(LinuxScannerTest, SuitesAndFormatSuffixesGiveWayToDescriptions) {
    std::filesystem::copy(std::string(KESTROVA_SOURCE_DIR) + "/tests/data/scan/linux-tree", sandbox.path(),
                          std::filesystem::copy_options::recursive);
    sandbox.writeFile("root/usr/lib/lv2/calf.lv2/calf.so", x86_64Object);
    sandbox.writeFile("root/usr/lib/lv2/3BandEQ.lv2/eq.so", x86_64Object);
    const auto plugin = syntheticElfSharedObject({"VSTPluginMain"}, {"libc.so.6"});
    sandbox.writeFile("root/usr/lib/vst/3BandEQ-vst.so", plugin);
    sandbox.writeFile("root/usr/lib/lxvst/3bandeq-VST2.so", plugin);
    sandbox.writeFile("home/.lxvst/Lonely-vst.so", plugin);
    sandbox.writeFile("root/usr/lib/clap/3BandEQ-clap.clap", x86_64Object);

    const auto summary = scan();
    ASSERT_EQ(summary.plugins.size(), 5u);
    // A suite's names, maker and version from its data files, kept in the
    // state file and found by search: the demo tree's Calf Studio Gear.
    EXPECT_NE(product(summary, "broken"), nullptr);
    const auto* pack = product(summary, "pack");
    ASSERT_NE(pack, nullptr);
    EXPECT_EQ(pack->version + " " + pack->manufacturer, "Unavailable Unknown");  // the plug-ins disagree
    EXPECT_EQ(pack->bundles->front().pluginNames, (std::vector<std::string>{"Alpha", "Beta", "c"}));

    const auto* eq = product(summary, "3 Band EQ");
    ASSERT_NE(eq, nullptr);
    EXPECT_EQ(eq->manufacturer + " " + eq->version, "DISTRHO 2.0");
    EXPECT_EQ(eq->formats, (std::vector<std::string>{"CLAP", "LV2", "VST2"}));
    EXPECT_EQ(eq->bundles->size(), 4u);
    ASSERT_NE(product(summary, "Lonely"), nullptr);
    EXPECT_EQ(product(summary, "Lonely")->formats, std::vector<std::string>{"VST2"});
}

TEST_F(LinuxScannerTest, SharedLibrariesAreComponentsOfTheirDependantsOrLeftOut) {
    // Real objects from the compiler: a core library, two plug-ins linked
    // against it, and a library nothing loads.
    const auto core = compile("root/usr/lib/vst/suite/libsuite-core.so", "int core_process(void) { return 1; }\n",
                              "-Wl,-soname,libsuite-core.so");
    if (core.empty()) {
        GTEST_SKIP() << "cc could not build a shared object";
    }
    const auto pluginSource =
        "extern int core_process(void);\n"
        "void* VSTPluginMain(void* host) { (void)host; core_process(); return 0; }\n";
    const auto linkCore = "-L'" + sandbox / "root/usr/lib/vst/suite" + "' -lsuite-core";
    ASSERT_FALSE(compile("root/usr/lib/vst/suite/Compressor.so", pluginSource, linkCore).empty());
    ASSERT_FALSE(compile("root/usr/lib/vst/suite/Gate.so", pluginSource, linkCore).empty());
    ASSERT_FALSE(compile("root/usr/lib/vst/Stray.so", "int helper(void) { return 2; }\n").empty());
    // An object that declares main but does not define it is no plug-in.
    ASSERT_FALSE(
        compile("root/usr/lib/vst/Imports.so", "extern int main(void);\nint f(void) { return main(); }\n").empty());
    // A core serves only the plug-ins of its own folder.
    sandbox.writeFile("root/usr/local/lib/vst/libsuite-core.so", syntheticElfSharedObject({"core_process"}, {}));
    sandbox.writeFile("root/usr/local/lib/vst/other/Other.so",
                      syntheticElfSharedObject({"main"}, {"libsuite-core.so"}));
    // Damaged objects stay plug-ins: nothing proves them libraries.
    sandbox.writeFile("root/usr/local/lib/vst/Cut.so", x86_64Object.substr(0, 40));

    const auto summary = scan();
    std::vector<std::string> names;
    for (const auto& plugin : summary.plugins) {
        names.push_back(plugin.name);
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Compressor", "Cut", "Gate", "Other", "libsuite-core"}));
    const auto& component = *product(summary, "libsuite-core");
    EXPECT_EQ(component.status, PluginStatus::sharedShell);
    EXPECT_TRUE(component.isProtected);
    EXPECT_EQ(component.bundles->front().path, core);
    EXPECT_EQ(component.bundles->front().pluginNames, (std::vector<std::string>{"Compressor", "Gate"}));
    EXPECT_TRUE(productMatchesSearch(component, "gate"));
}

TEST_F(LinuxScannerTest, AnAuthorizedFolderOfTheUsersOwnIsReadByForm) {
    const auto plugin = syntheticElfSharedObject({"VSTPluginMain"}, {});
    sandbox.writeFile("studio/Synths/Pad.so", plugin);
    sandbox.writeFile("studio/Synths/libshared.so", syntheticElfSharedObject({"helper"}, {}));
    sandbox.writeFile("studio/Verb.vst3/Contents/x86_64-linux/Verb.so", x86_64Object);
    sandbox.writeFile("studio/Verb.vst3/Contents/Resources/moduleinfo.json", R"({Name: "Verb",})");
    sandbox.writeFile("studio/Delay.clap", x86_64Object);
    sandbox.writeFile("studio/eq.lv2/manifest.ttl", lv2Prefixes + "<urn:eq> a lv2:Plugin ; doap:name \"EQ\" .");
    sandbox.writeFile("studio/eq.lv2/eq.so", x86_64Object);
    sandbox.writeFile("studio/notes.txt", "not a plug-in");
    sandbox.writeFile("root/usr/lib/clap/System.clap", x86_64Object);

    const auto summary = scan({sandbox / "studio/Synths", sandbox / "studio"});
    std::map<std::string, std::string> formatByName;
    for (const auto& product : summary.plugins) {
        formatByName[product.name] = product.formats.front();
    }
    EXPECT_EQ(formatByName, (std::map<std::string, std::string>{
                                {"Pad", "VST2"}, {"Verb", "VST3"}, {"Delay", "CLAP"}, {"EQ", "LV2"}}));
    // A root holding the standard folders is not walked whole.
    EXPECT_EQ(scan({sandbox / "root"}).plugins.size(), 1u);
}

}  // namespace
}  // namespace kestrova
