// The Linux demo tree as a new Linux user meets it: the first run's grant of
// the standard folders, a scan that finds every format in the home and the
// system folders, and the command line speaking in Linux words throughout.
#include "CliProcess.h"

#include "model/JsonCoding.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>

namespace kestrova::testing {
namespace {

using ::testing::HasSubstr;
namespace fs = std::filesystem;

class LinuxDemoTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::access(cliExecutable().c_str(), X_OK), 0) << "build kestrova_app_bundle first";
        const auto made = runProcess({cliExecutable(), "demo", "--profile", "linux", demo}, {}, directory.path());
        ASSERT_EQ(made.exitCode, 0) << made.err;
        EXPECT_THAT(made.out, HasSubstr("authorize --standard"));
    }
    void TearDown() override { run({"helper", "disable"}); }

    ProcessOutcome run(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(),
                         {cliExecutable(), "--profile", "linux", "--root", demo + "/root", "--home", demo + "/home"});
        return runProcess(arguments,
                          {"KESTROVA_HELPER_MODE=session", "KESTROVA_HELPER_SESSION_DIR=" + (directory / "session"),
                           "CLAP_PATH=", "VST_PATH=", "LV2_PATH="},
                          directory.path());
    }
    Json expectJson(const std::vector<std::string>& arguments) const {
        const auto outcome = run(arguments);
        EXPECT_EQ(outcome.exitCode, 0) << arguments.front() << ": " << outcome.err;
        return Json::parse(outcome.out, nullptr, false);
    }

    TemporaryDirectory directory;
    std::string demo = directory / "demo";
};

TEST_F(LinuxDemoTest, TheFirstRunGrantsTheStandardFoldersAndTheScanFindsEveryFormatOnBothSides) {
    // Which standard folders are granted, once, is the authorize command's
    // own test; here the demo has one of each on both sides.
    EXPECT_EQ(expectJson({"authorize", "--standard", "--json"}).at("granted").size(), 14u);

    ASSERT_EQ(run({"scan"}).exitCode, 0);
    // Each product with its bundles, as "format path-below-the-demo".
    std::map<std::string, std::set<std::string>> products;
    std::map<std::string, std::string> makers;
    std::vector<std::string> suitePlugins;
    for (const auto& product : expectJson({"list", "--json"})) {
        const auto name = product.at("name").get<std::string>();
        makers[name] = product.at("manufacturer").get<std::string>();
        for (const auto& bundle : product.at("bundles")) {
            products[name].insert(bundle.at("format").get<std::string>() + " " +
                                  bundle.at("path").get<std::string>().substr(demo.size()));
            if (bundle.contains("pluginNames") && name == "Calf Studio Gear") {
                suitePlugins = bundle.at("pluginNames").get<std::vector<std::string>>();
            }
        }
    }
    // One product installed on both sides; a suite is one bundle. How each
    // format is read is the scanner's to test.
    EXPECT_EQ(products["Vital"],
              (std::set<std::string>{"VST3 /home/.vst3/Vital.vst3", "CLAP /root/usr/lib/clap/Vital.clap"}));
    EXPECT_EQ(makers["Vital"], "Matt Tytel");
    EXPECT_EQ(products["Calf Studio Gear"], (std::set<std::string>{"LV2 /root/usr/lib/lv2/calf.lv2"}));
    EXPECT_EQ(suitePlugins, (std::vector<std::string>{"Calf Compressor", "Calf Reverb", "Calf Equalizer 5 Band"}));
    EXPECT_EQ(products.size(), 13u);

    // Laid out again over itself, the demo starts afresh.
    std::ofstream(demo + "/root/usr/lib/clap/Stray.clap") << "x";
    const auto again = runProcess({cliExecutable(), "demo", "--profile", "linux", demo}, {}, directory.path());
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_FALSE(fs::exists(demo + "/root/usr/lib/clap/Stray.clap"));
}

TEST_F(LinuxDemoTest, TheCommandLineNamesNoMacOSService) {
    const std::regex macOSNames(
        "Finder|macOS|\\bMac\\b|XPC|System Settings|Login Items|App Background|[Ll]aunch [Dd]aemon|[Nn]otariz|"
        "[Cc]ode.sign|Developer ID|SMAppService");
    ASSERT_EQ(run({"authorize", "--standard"}).exitCode, 0);
    ASSERT_EQ(run({"scan"}).exitCode, 0);
    const auto report = directory / "report.txt";
    const std::vector<std::vector<std::string>> commands{
        {"--help"},
        {"helper", "status"},
        {"helper", "readiness"},
        {"helper", "enable"},
        {"helper", "readiness"},
        {"quarantine", "Surge XT", "VST3"},
        {"trash", "Surge XT", "VST3"},
        {"trash-records"},
        {"trash", "--help"},
        {"trash-records", "--help"},
        {"trash-restore", "--help"},
        {"history"},
        {"export", "report", "--output", report},
        {"trash-restore", "--all-ready"},
        {"trash-restore", "--all-ready"},
    };
    for (const auto& command : commands) {
        const auto outcome = run(command);
        EXPECT_FALSE(std::regex_search(outcome.out + outcome.err, macOSNames))
            << command.front() << " " << command.back() << ":\n"
            << outcome.out << outcome.err;
    }
    std::ifstream in(report);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_THAT(text, HasSubstr("Operating system: "));
    EXPECT_FALSE(std::regex_search(text, macOSNames)) << text;
}

}  // namespace
}  // namespace kestrova::testing
