// Plug-ins shaped as distributions and SDK tools really ship them: JSON5
// module descriptions, LV2 bundles whose manifest points to per-plug-in
// data files, suites, VST2 collections with a shared core library.
#include "model/ProductSearch.h"
#include "platform/Elf.h"
#include "scan/Lv2Bundle.h"
#include "scan/PluginScanner.h"
#include "scan/TurtleReader.h"
#include "scan/Vst3ModuleInfo.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace kestrova {
namespace {

using testing::TemporaryDirectory;

const std::string x86_64Object = syntheticElfHeader(elf::machineX86_64, true) + std::string(200, '\0');

TEST(Vst3ModuleInfoJson5, WhatTheSdkToolWritesAndItsParserAcceptsIsRead) {
    // The SDK tool's own shape: trailing commas after every last member,
    // empty arrays, nested classes with names and vendors of their own.
    const auto sdkShaped = R"({
  "Name": "Surge XT", "Version": "1.3.1.0",
  "Factory Info": {"Vendor": "Surge Synth Team", "E-Mail": "", "Flags": {"Unicode": true, "Classes Discardable": false,},},
  "Compatibility": [
  ],
  "Classes": [{"CID": "3DE61C1E", "Name": "Surge", "Vendor": "Other", "Sub Categories": ["Instrument", "Synth",],
               "Class Flags": 0, "Cardinality": 2147483647, "Snapshots": [],},],
}
)";
    EXPECT_EQ(parseVst3ModuleInfo(sdkShaped), (Vst3ModuleInfo{"Surge XT", "1.3.1.0", "Surge Synth Team"}));

    const struct {
        const char* text;
        Vst3ModuleInfo expected;
    } cases[] = {
        // Unquoted keys, single quotes, escapes, both comment kinds.
        {R"({Name: 'It\'s \u00C4 \x41', /* note */ 'Version': "2", // end
            "Factory Info": {Vendor: 'Acme',},})",
         {"It's Ä A", "2", "Acme"}},
        // JSON5 numbers and a string continued over an escaped line break.
        {"{\"A\": 0x1F, \"B\": +1, \"C\": .5, \"D\": 5., \"E\": -Infinity, \"F\": NaN,\n"
         "  \"Name\": \"Line \\\n break\"}",
         {"Line  break", std::nullopt, std::nullopt}},
        {"\xEF\xBB\xBF{\"Name\": \"After a BOM\"}", {"After a BOM", std::nullopt, std::nullopt}},
        // Not what the parser accepts: nothing is taken.
        {R"({"Name": "Never",,})", {}},
        {R"({"Name": "Never" "Version": "1"})", {}},
        {R"({"Name": "Never"} trailing)", {}},
        {R"({"Name": "Never" /* unterminated)", {}},
        {R"({"Name": 'unterminated})", {}},
        {"{\"Name\": \"raw\nline break\"}", {}},
        {R"({"Name": "Never", "N": 0xZZ})", {}},
        {R"({"Name": "Never", "N": undefined})", {}},
        {R"({"Name": "Never", 1key: 1})", {}},
    };
    for (const auto& entry : cases) {
        EXPECT_EQ(parseVst3ModuleInfo(entry.text), entry.expected) << entry.text;
    }
    // Deep nesting is refused without exhausting the stack.
    std::string deep = "{\"Name\": \"Deep\", \"x\": ";
    deep += std::string(100000, '[') + std::string(100000, ']') + "}";
    EXPECT_EQ(parseVst3ModuleInfo(deep), Vst3ModuleInfo{});
    std::string deepObjects = "{\"Name\": \"Deep\", ";
    for (int i = 0; i < 100000; ++i) {
        deepObjects += "a: {";
    }
    EXPECT_EQ(parseVst3ModuleInfo(deepObjects), Vst3ModuleInfo{});
}

// Every literal of one predicate, in order.
std::vector<TurtleTerm> literals(const std::string& turtle) {
    std::vector<TurtleTerm> found;
    readTurtle(
        turtle, "file:///b.lv2/m.ttl", "_:t", [](std::string_view p) { return p == "urn:p"; },
        [&](const TurtleTerm&, std::string_view, TurtleTerm object) { found.push_back(std::move(object)); });
    return found;
}

TEST(TurtleReaderTest, EveryStringFormIsDecoded) {
    const auto found = literals(R"(@prefix x: <urn:> .
<urn:s> x:p "Sp\u00E4t \U0001F3B9 \t\"q\" \\" , 'single \'q\'' ,
    """long "quoted" ""text""
over lines""" , '''long ' single''' , "tagged"@EN-gb , "typed"^^<urn:t> , 42 , -1.5e3 , true .)");
    std::vector<std::string> values;
    for (const auto& term : found) {
        values.push_back(term.value);
    }
    EXPECT_EQ(values,
              (std::vector<std::string>{"Spät 🎹 \t\"q\" \\", "single 'q'", "long \"quoted\" \"\"text\"\"\nover lines",
                                        "long ' single", "tagged", "typed", "42", "-1.5e3", "true"}));
    EXPECT_EQ(found.at(4).language, "en-gb");
    // A string that ends its long quote with extra quotes keeps them.
    EXPECT_EQ(literals(R"(<urn:s> <urn:p> """a"""" .)").at(0).value, "a\"");
}

TEST(TurtleReaderTest, IrisResolveAgainstTheBaseAndHostileTextEndsReadingSafely) {
    EXPECT_EQ(resolvedIri("file:///u/b.lv2/manifest.ttl", "x.ttl"), "file:///u/b.lv2/x.ttl");
    EXPECT_EQ(resolvedIri("file:///u/b.lv2/manifest.ttl", "./sub/../y.ttl"), "file:///u/b.lv2/y.ttl");
    EXPECT_EQ(resolvedIri("file:///u/b.lv2/manifest.ttl", "../other.lv2/z.ttl"), "file:///u/other.lv2/z.ttl");
    EXPECT_EQ(resolvedIri("file:///u/b.lv2/manifest.ttl", "#frag"), "file:///u/b.lv2/manifest.ttl#frag");
    EXPECT_EQ(resolvedIri("file:///u/b.lv2/manifest.ttl", "/etc/x.ttl"), "file:///etc/x.ttl");
    EXPECT_EQ(resolvedIri("file:///u/b.lv2/manifest.ttl", "http://e.org/p"), "http://e.org/p");

    // Statements before an error are kept; nothing after it is read.
    EXPECT_EQ(literals("<urn:s> <urn:p> \"kept\" . <urn:s> <urn:p> undeclared:x . <urn:s> <urn:p> \"lost\" .").size(),
              1u);
    const std::string hostile[] = {
        "<urn:s> <urn:p> " + std::string(200000, '[') + " .",
        "@prefix a: <urn:> . <urn:s> a:p " +
            [] {
                std::string nested;
                for (int i = 0; i < 100000; ++i) {
                    nested += "[ a:p ";
                }
                return nested;
            }(),
        "<urn:s> <urn:p> " + std::string(200000, '(') + " .",
        "<urn:s> <urn:p> \"\\u12",
        "<urn:s> <urn:p> \"\"\"never closed",
        std::string(100000, '<'),
        std::string(100000, ';'),
        "@prefix",
        "<urn:s> <urn:p> <urn:o> ; ; ; .",
    };
    for (const auto& text : hostile) {
        EXPECT_LE(literals(text).size(), 1u);
    }
    // Blank nodes and collections nested to just below the limit are read;
    // at the limit reading stops, so the statement after them is lost.
    for (const auto* open : {"[ <urn:x> ", "( "}) {
        for (const int depth : {turtleNestingLimit - 1, turtleNestingLimit}) {
            std::string text = "<urn:s> <urn:x> ";
            for (int level = 0; level < depth; ++level) {
                text += open;
            }
            text += "\"deep\" ";
            for (int level = 0; level < depth; ++level) {
                text += open[0] == '[' ? "] " : ") ";
            }
            EXPECT_EQ(literals(text + ". <urn:s> <urn:p> \"after\" .").size(), depth < turtleNestingLimit ? 1u : 0u)
                << open << depth;
        }
    }
}

// A bundle in memory: file name → text.
Lv2BundleFacts bundle(const std::map<std::string, std::string>& files) {
    return readLv2Bundle("/usr/lib/lv2/x y.lv2", [&](const std::string& relative, std::size_t limit) {
        const auto found = files.find(relative);
        return found != files.end() && found->second.size() <= limit ? std::optional(found->second) : std::nullopt;
    });
}

const std::string prefixes = R"(@prefix lv2: <http://lv2plug.in/ns/lv2core#> .
@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .
@prefix doap: <http://usefulinc.com/ns/doap#> .
@prefix foaf: <http://xmlns.com/foaf/0.1/> .
)";

TEST(Lv2BundleTest, NamesMakersAndVersionsComeFromThePluginsDataFiles) {
    // DPF's shape: the manifest declares, the data file describes; presets
    // and user interfaces declared beside the plug-in are not read.
    const auto dpf = bundle({
        {"manifest.ttl", prefixes + R"(<http://distrho.sf.net/plugins/3BandEQ> a lv2:Plugin ;
    lv2:binary <3BandEQ_dsp.so> ; rdfs:seeAlso <3BandEQ_dsp.ttl> .
<http://distrho.sf.net/plugins/3BandEQ#UI> a <http://lv2plug.in/ns/extensions/ui#X11UI> ;
    rdfs:seeAlso <ui.ttl> .)"},
        {"3BandEQ_dsp.ttl", prefixes + R"(<http://distrho.sf.net/plugins/3BandEQ> a lv2:EQPlugin, lv2:Plugin ;
    lv2:port [ a lv2:InputPort ; lv2:name "Low" ; lv2:minorVersion 9 ] ;
    doap:name "Drei Bänder"@de , "3 Band EQ"@en , "3 Band EQ, plain";
        doap:maintainer [ foaf:name "DISTRHO" ; foaf:homepage <https://github.com/DISTRHO> ] ;
    lv2:microVersion 0 ;
    lv2:minorVersion 2 .)"},
        {"ui.ttl", "this is never read"},
    });
    ASSERT_EQ(dpf.plugins.size(), 1u);
    EXPECT_EQ(dpf.plugins[0], (Lv2PluginFacts{"http://distrho.sf.net/plugins/3BandEQ", "3 Band EQ, plain", "DISTRHO",
                                              "2.0", std::nullopt}));
    EXPECT_EQ(dpf.binaries, std::vector<std::string>{"3BandEQ_dsp.so"});

    // Language tags: English before others when no plain literal exists;
    // the maker through the project; SWH's empty prefix.
    const auto tagged = bundle({
        {"manifest.ttl", R"(@prefix : <http://lv2plug.in/ns/lv2core#> .
@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .
<urn:p> a :Plugin ; :binary <sub/p%20x.so> ; rdfs:seeAlso <p%20data.ttl> , <./p%20data.ttl> .)"},
        {"p data.ttl", prefixes + R"(<urn:p> doap:name "Spät"@de , "Late"@en-US ; lv2:project <urn:proj> ;
    lv2:minorVersion "3" .
<urn:proj> doap:name "Project" ; doap:maintainer <urn:me> .
<urn:me> foaf:name '''Steve "The" Harris''' .)"},
    });
    ASSERT_EQ(tagged.plugins.size(), 1u);
    EXPECT_EQ(tagged.plugins[0], (Lv2PluginFacts{"urn:p", "Late", "Steve \"The\" Harris", "3.0", "Project"}));
    EXPECT_EQ(tagged.binaries, std::vector<std::string>{"sub/p x.so"});
}

TEST(Lv2BundleTest, ReferencesOutsideTheBundleAreNeverFollowed) {
    std::vector<std::string> asked;
    const auto facts = readLv2Bundle("/usr/lib/lv2/x.lv2", [&](const std::string& relative, std::size_t) {
        asked.push_back(relative);
        return relative == "manifest.ttl" ? std::optional<std::string>(prefixes + R"(<urn:p> a lv2:Plugin ; rdfs:seeAlso
    <../other.lv2/p.ttl> , </etc/passwd> , <file:///usr/lib/lv2/x.lv2/../y.ttl> , <http://example.org/p.ttl> ,
    <.hidden.ttl> , <p.ttl?q> , <a%2Fb.ttl> , <file:///usr/lib/lv2/x.lv2/ok.ttl> ;
    lv2:binary <../escape.so> , <x.so> .)")
                                          : std::optional<std::string>(prefixes + "<urn:p> doap:name \"Inside\" .");
    });
    EXPECT_EQ(asked, (std::vector<std::string>{"manifest.ttl", "ok.ttl"}));
    ASSERT_EQ(facts.plugins.size(), 1u);
    EXPECT_EQ(facts.plugins[0].name, "Inside");
    EXPECT_EQ(facts.binaries, std::vector<std::string>{"x.so"});

    // A manifest naming more data files than a bundle may have: exactly the
    // limit are read, the manifest among them.
    std::string many = prefixes + "<urn:p> a lv2:Plugin";
    for (std::size_t index = 0; index < lv2FileCountLimit + 10; ++index) {
        many += " ; rdfs:seeAlso <f" + std::to_string(index) + ".ttl>";
    }
    std::size_t reads = 0;
    readLv2Bundle("/usr/lib/lv2/x.lv2", [&](const std::string& relative, std::size_t) {
        ++reads;
        return relative == "manifest.ttl" ? std::optional(many + " .") : std::optional<std::string>("");
    });
    EXPECT_EQ(reads, lv2FileCountLimit);
}

// A Linux sandbox, as LinuxScannerTests lays one out.
class RealLinuxScanTest : public ::testing::Test {
protected:
    TemporaryDirectory sandbox;
    SystemLayout layout{sandbox / "root", sandbox / "home", PlatformProfile::gnuLinux};

    ScanSummary scan(std::vector<std::string> roots = {}) const {
        if (roots.empty()) {
            roots.push_back(sandbox.path());
        }
        const PluginScanner scanner(realFileSystem(), layout, {}, PluginPathVariables{});
        return scanner.scan(roots, ScanControl{}, nullptr);
    }

    const Plugin* product(const ScanSummary& summary, const std::string& name) const {
        for (const auto& plugin : summary.plugins) {
            if (plugin.name == name) {
                return &plugin;
            }
        }
        return nullptr;
    }

    // Builds a real shared object with the system compiler; empty if it cannot.
    std::string compile(const std::string& relative, const std::string& source, const std::string& flags = {}) const {
        const auto sourcePath = sandbox.writeFile("src/" + lastComponent(relative) + ".c", source);
        const auto output = sandbox / relative;
        sandbox.makeDirectory(relative.substr(0, relative.rfind('/')));
        const auto command = "cc -shared -fPIC -o '" + output + "' '" + sourcePath + "' " + flags + " >/dev/null 2>&1";
        return std::system(command.c_str()) == 0 ? output : std::string();
    }

private:
    static std::string lastComponent(const std::string& path) { return path.substr(path.rfind('/') + 1); }
};

TEST_F(RealLinuxScanTest, SuitesAreOneBundleNamedAfterTheirProjectAndFoundByEachPlugin) {
    const auto plugin = [](const std::string& id, const std::string& name) {
        return "<urn:calf:" + id + "> a lv2:Plugin ; doap:name \"" + name +
               "\" ; lv2:project <urn:calf> ; lv2:minorVersion 90 ; lv2:microVersion 3 .\n";
    };
    sandbox.writeFile("root/usr/lib/lv2/calf.lv2/manifest.ttl",
                      prefixes +
                          "<urn:calf:comp> a lv2:Plugin ; lv2:binary <calf.so> ; rdfs:seeAlso <Compressor.ttl> .\n"
                          "<urn:calf:rev> a lv2:Plugin ; lv2:binary <calf.so> ; rdfs:seeAlso <Reverb.ttl> .\n"
                          "<urn:calf> a doap:Project ; doap:name \"Calf Studio Gear\" ; doap:maintainer <urn:team> .\n"
                          "<urn:team> foaf:name \"Calf Team\" .\n");
    sandbox.writeFile("root/usr/lib/lv2/calf.lv2/Compressor.ttl", prefixes + plugin("comp", "Calf Compressor"));
    sandbox.writeFile("root/usr/lib/lv2/calf.lv2/Reverb.ttl", prefixes + plugin("rev", "Calf Reverb"));
    sandbox.writeFile("root/usr/lib/lv2/calf.lv2/calf.so", x86_64Object);
    // A suite without a project is named after its folder.
    sandbox.writeFile("home/.lv2/pack.lv2/manifest.ttl",
                      prefixes +
                          "<urn:a> a lv2:Plugin ; doap:name \"Alpha\" ; lv2:minorVersion 1 .\n"
                          "<urn:b> a lv2:Plugin ; doap:name \"Beta\" ; lv2:minorVersion 2 .\n"
                          "<urn:c> a lv2:Plugin .\n");

    // Bundles that describe LV2 extensions declare no plug-in: not products. A
    // manifest that cannot be read whole still marks a bundle.
    sandbox.writeFile("root/usr/lib/lv2/core.lv2/manifest.ttl",
                      prefixes +
                          "<http://lv2plug.in/ns/lv2core> a <http://lv2plug.in/ns/lv2core#Specification> ; "
                          "rdfs:seeAlso <lv2core.ttl> .");
    sandbox.writeFile("root/usr/lib/lv2/broken.lv2/manifest.ttl", prefixes + "<urn:x> a lv2:Plugin ; ((( .");

    const auto summary = scan();
    ASSERT_EQ(summary.plugins.size(), 3u);
    EXPECT_NE(product(summary, "broken"), nullptr);
    const auto* calf = product(summary, "Calf Studio Gear");
    ASSERT_NE(calf, nullptr);
    EXPECT_EQ(calf->manufacturer + " " + calf->version, "Calf Team 90.3");
    ASSERT_EQ(calf->bundles->size(), 1u);
    EXPECT_EQ(calf->bundles->front().pluginNames, (std::vector<std::string>{"Calf Compressor", "Calf Reverb"}));
    EXPECT_EQ(calf->bundles->front().architecture, "x86-64");
    EXPECT_TRUE(productMatchesSearch(*calf, "calf REVERB"));
    EXPECT_FALSE(productMatchesSearch(*calf, "Delay"));

    const auto* pack = product(summary, "pack");
    ASSERT_NE(pack, nullptr);
    EXPECT_EQ(pack->version + " " + pack->manufacturer, "Unavailable Unknown");  // the plug-ins disagree
    EXPECT_EQ(pack->bundles->front().pluginNames, (std::vector<std::string>{"Alpha", "Beta", "c"}));

    // The names survive the state file's coding.
    const auto decoded = JsonCoder<Plugin>::decode(JsonCoder<Plugin>::encode(*calf), "plugin");
    EXPECT_EQ(decoded, *calf);
    EXPECT_FALSE(JsonCoder<PluginBundleRecord>::encode(PluginBundleRecord{}).contains("pluginNames"));
}

TEST_F(RealLinuxScanTest, FormatSuffixesAndFileNamesGiveWayToDescriptions) {
    sandbox.writeFile("root/usr/lib/lv2/3BandEQ.lv2/manifest.ttl",
                      prefixes + "<urn:eq> a lv2:Plugin ; lv2:binary <eq.so> ; rdfs:seeAlso <eq.ttl> .");
    sandbox.writeFile("root/usr/lib/lv2/3BandEQ.lv2/eq.ttl",
                      prefixes +
                          "<urn:eq> doap:name \"3 Band EQ\" ; doap:maintainer [ foaf:name \"DISTRHO\" ] ;"
                          " lv2:minorVersion 2 ; lv2:microVersion 0 .");
    sandbox.writeFile("root/usr/lib/lv2/3BandEQ.lv2/eq.so", x86_64Object);
    const auto plugin = syntheticElfSharedObject({"VSTPluginMain"}, {"libc.so.6"});
    sandbox.writeFile("root/usr/lib/vst/3BandEQ-vst.so", plugin);
    sandbox.writeFile("root/usr/lib/lxvst/3bandeq-VST2.so", plugin);
    sandbox.writeFile("home/.lxvst/Lonely-vst.so", plugin);
    sandbox.writeFile("root/usr/lib/clap/3BandEQ-clap.clap", x86_64Object);

    const auto summary = scan();
    ASSERT_EQ(summary.plugins.size(), 2u);
    const auto* eq = product(summary, "3 Band EQ");
    ASSERT_NE(eq, nullptr);
    EXPECT_EQ(eq->manufacturer + " " + eq->version, "DISTRHO 2.0");
    EXPECT_EQ(eq->formats, (std::vector<std::string>{"CLAP", "LV2", "VST2"}));
    EXPECT_EQ(eq->bundles->size(), 4u);
    const auto* lonely = product(summary, "Lonely");
    ASSERT_NE(lonely, nullptr);
    EXPECT_EQ(lonely->formats, std::vector<std::string>{"VST2"});
}

TEST_F(RealLinuxScanTest, SharedLibrariesAreComponentsOfTheirDependantsOrLeftOut) {
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
    std::map<std::string, const Plugin*> byName;
    for (const auto& plugin : summary.plugins) {
        byName[plugin.name] = &plugin;
    }
    std::vector<std::string> names;
    for (const auto& [name, plugin] : byName) {
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Compressor", "Cut", "Gate", "Other", "libsuite-core"}));
    const auto& component = *byName.at("libsuite-core");
    EXPECT_EQ(component.status, PluginStatus::sharedShell);
    EXPECT_TRUE(component.isProtected);
    EXPECT_EQ(component.bundles->front().path, core);
    EXPECT_EQ(component.bundles->front().pluginNames, (std::vector<std::string>{"Compressor", "Gate"}));
    EXPECT_TRUE(productMatchesSearch(component, "gate"));
}

TEST_F(RealLinuxScanTest, AnAuthorizedFolderOfTheUsersOwnIsReadByForm) {
    const auto plugin = syntheticElfSharedObject({"VSTPluginMain"}, {});
    sandbox.writeFile("studio/Synths/Pad.so", plugin);
    sandbox.writeFile("studio/Synths/libshared.so", syntheticElfSharedObject({"helper"}, {}));
    sandbox.writeFile("studio/Verb.vst3/Contents/x86_64-linux/Verb.so", x86_64Object);
    sandbox.writeFile("studio/Verb.vst3/Contents/Resources/moduleinfo.json", R"({Name: "Verb",})");
    sandbox.writeFile("studio/Delay.clap", x86_64Object);
    sandbox.writeFile("studio/eq.lv2/manifest.ttl", prefixes + "<urn:eq> a lv2:Plugin ; doap:name \"EQ\" .");
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
