// The descriptions plug-ins ship, as distributions and SDK tools write
// them: JSON5 module descriptions, Turtle, and LV2 bundles whose manifest
// points to per-plug-in data files (tests/data/scan).
#include "scan/Lv2Bundle.h"
#include "scan/TurtleReader.h"
#include "scan/Vst3ModuleInfo.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <sstream>

namespace kestrova {
namespace {

const std::string dataFolder = std::string(KESTROVA_SOURCE_DIR) + "/tests/data/scan/";

// tests/data/scan/moduleinfo-cases.txt: "### Name|Version|Vendor", comment
// lines, then the text up to the next case.
std::vector<std::pair<Vst3ModuleInfo, std::string>> moduleInfoCases() {
    std::vector<std::pair<Vst3ModuleInfo, std::string>> cases;
    std::istringstream file(testing::readWholeFile(dataFolder + "moduleinfo-cases.txt"));
    const auto field = [](std::string text) { return text == "-" ? std::nullopt : std::optional(text); };
    for (std::string line; std::getline(file, line);) {
        if (line.starts_with("### ")) {
            std::istringstream header(line.substr(4));
            std::string name, version, vendor;
            std::getline(std::getline(std::getline(header, name, '|'), version, '|'), vendor);
            cases.push_back({{field(name), field(version), field(vendor)}, ""});
        } else if (!cases.empty() && !(line.starts_with("# ") && cases.back().second.empty())) {
            cases.back().second += (cases.back().second.empty() ? "" : "\n") + line;
        }
    }
    return cases;
}

TEST(Vst3ModuleInfoJson5, WhatTheSdkToolWritesAndItsParserAcceptsIsRead) {
    const auto cases = moduleInfoCases();
    ASSERT_EQ(cases.size(), 18u);
    for (const auto& [expected, text] : cases) {
        EXPECT_EQ(parseVst3ModuleInfo(text), expected) << text;
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

// A bundle of tests/data/scan, read through the size limit the scanner uses.
Lv2BundleFacts bundle(const std::string& name) {
    return readLv2Bundle("/usr/lib/lv2/" + name, [&](const std::string& relative, std::size_t limit) {
        const auto text = testing::readWholeFile(dataFolder + name + "/" + relative);
        return !text.empty() && text.size() <= limit ? std::optional(text) : std::nullopt;
    });
}

const std::string prefixes = R"(@prefix lv2: <http://lv2plug.in/ns/lv2core#> .
@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .
@prefix doap: <http://usefulinc.com/ns/doap#> .
)";

TEST(Lv2BundleTest, NamesMakersAndVersionsComeFromThePluginsDataFiles) {
    const auto dpf = bundle("dpf.lv2");
    ASSERT_EQ(dpf.plugins.size(), 1u);
    EXPECT_EQ(dpf.plugins[0], (Lv2PluginFacts{"http://distrho.sf.net/plugins/3BandEQ", "3 Band EQ, plain", "DISTRHO",
                                              "2.0", std::nullopt}));
    EXPECT_EQ(dpf.binaries, std::vector<std::string>{"3BandEQ_dsp.so"});

    const auto tagged = bundle("tagged.lv2");
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

}  // namespace
}  // namespace kestrova
