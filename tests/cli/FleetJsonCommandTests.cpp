// What fleet tools build on: `authorize --standard` and the --json output of
// the commands that change something (authorize, cleanup run and
// restore-run, rule, helper), each one JSON document saying whether anything
// changed, so that asking twice is seen to change nothing.
#include "CliProcess.h"
#include "model/JsonCoding.h"
#include "planning/FormatCleanupPlan.h"
#include "platform/Text.h"
#include "store/FolderGrants.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace kestrova::testing {
namespace {

using ::testing::HasSubstr;

TEST(FolderGrants, AFolderAGrantCoversIsNotGrantedAgain) {
    const std::vector<std::string> authorized{"/r/usr/lib", "/h/.vst3"};
    struct Case {
        std::vector<std::string> requested;
        FolderGrantPlan expected;
    };
    const std::vector<Case> cases{
        {{"/r/usr/lib/lv2", "/h/.vst3"}, {{}, {"/r/usr/lib/lv2", "/h/.vst3"}}},
        // Whole path components: /r/usr/lib does not cover /r/usr/lib64.
        {{"/r/usr/lib64/lv2", "/h/.vst"}, {{"/r/usr/lib64/lv2", "/h/.vst"}, {}}},
        // Asked twice, or with a trailing slash, it is one folder.
        {{"/x/clap/", "/x/clap", "/h/.vst3/"}, {{"/x/clap"}, {"/h/.vst3"}}},
    };
    for (const auto& [requested, expected] : cases) {
        EXPECT_EQ(planFolderGrants(requested, authorized), expected) << requested.front();
    }
    EXPECT_EQ(planFolderGrants({"/anything"}, {"/"}).alreadyAuthorized, std::vector<std::string>{"/anything"});
}

struct Sandbox {
    TemporaryDirectory directory;
    std::string root = directory.makeDirectory("root");
    std::string home = directory.makeDirectory("home");
    std::vector<std::string> options{"--root", root, "--home", home};
    std::vector<std::string> environment;

    ProcessOutcome run(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), options.begin(), options.end());
        arguments.insert(arguments.begin(), cliExecutable());
        return runProcess(arguments, environment, directory.path());
    }
    // The command must succeed and print exactly one JSON document.
    Json json(const std::vector<std::string>& arguments) const {
        const auto outcome = run(arguments);
        EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
        return Json::parse(outcome.out);
    }
};

TEST(AuthorizeCommand, TheStandardFoldersThatExistAreGrantedOnceOnEitherProfile) {
    struct Profile {
        std::string name;
        std::vector<std::string> folders;  // made, relative to the sandbox
        std::vector<std::string> variables;
        std::vector<std::string> granted;  // in the scanner's order
    };
    const std::vector<Profile> profiles{
        {"macos",
         {"root/Library/Audio/Plug-Ins/VST3", "root/Library/Audio/Plug-Ins/Components",
          "home/Library/Audio/Plug-Ins/CLAP", "root/Library/Audio/Plug-Ins/Unrelated"},
         {},
         {"root/Library/Audio/Plug-Ins/Components", "root/Library/Audio/Plug-Ins/VST3",
          "home/Library/Audio/Plug-Ins/CLAP"}},
        {"linux",
         {"root/usr/local/lib/vst3", "root/usr/lib/lv2", "home/.clap", "shared/lv2", "shared/vst"},
         // Relative and missing entries are passed over.
         {"LV2_PATH=relative/lv2:{}/shared/lv2:{}/missing", "VST_PATH={}/shared/vst", "CLAP_PATH="},
         {"root/usr/local/lib/vst3", "root/usr/lib/lv2", "home/.clap", "shared/vst", "shared/lv2"}},
    };
    for (const auto& profile : profiles) {
        SCOPED_TRACE(profile.name);
        Sandbox sandbox;
        sandbox.options.insert(sandbox.options.end(), {"--profile", profile.name});
        for (const auto& folder : profile.folders) {
            sandbox.directory.makeDirectory(folder);
        }
        for (auto variable : profile.variables) {
            for (auto at = variable.find("{}"); at != std::string::npos; at = variable.find("{}")) {
                variable.replace(at, 2, sandbox.directory.path());
            }
            sandbox.environment.push_back(variable);
        }
        std::vector<std::string> expected;
        for (const auto& folder : profile.granted) {
            expected.push_back(sandbox.directory / folder);
        }

        auto result = sandbox.json({"authorize", "--standard", "--dry-run", "--json"});
        EXPECT_EQ(result["granted"], Json(expected));
        EXPECT_EQ(sandbox.json({"folders", "--json"}), Json::array());

        result = sandbox.json({"authorize", "--standard", "--json"});
        EXPECT_EQ(result["granted"], Json(expected));
        EXPECT_EQ(result["alreadyAuthorized"], Json::array());
        EXPECT_EQ(result["authorizedFolders"].size(), expected.size());

        result = sandbox.json({"authorize", "--standard", "--json"});
        EXPECT_EQ(result["granted"], Json::array());
        EXPECT_EQ(result["alreadyAuthorized"], Json(expected));

        // The text form lists what was granted, folder by folder.
        const auto text = sandbox.run({"authorize", "--standard"});
        EXPECT_EQ(text.out.find("Granted:"), std::string::npos) << text.out;
        EXPECT_NE(text.out.find("Already authorized: " + expected.front() + "\n"), std::string::npos) << text.out;
    }
}

// Every step prints one JSON document (Json::parse refuses anything after
// it) and says what it changed.
TEST_F(DemoCliTest, RunRestoreRuleAndHelperAnswerInJson) {
    const auto json = [this](const std::vector<std::string>& arguments) {
        const auto outcome = demo->expectSuccess(arguments);
        return Json::parse(outcome.out);
    };
    auto status = json({"helper", "status", "--json"});
    EXPECT_EQ(status["status"], "Enabled");
    EXPECT_EQ(status["secureHandshake"], true);

    const auto plan = JsonCoder<FormatCleanupPlan>::decode(json({"cleanup", "preview", "retireVST2", "--json"}), "");
    EXPECT_EQ(std::count_if(plan.candidates.begin(), plan.candidates.end(),
                            [](const auto& candidate) { return candidate.selectedByDefault; }),
              1);
    const auto run = json({"cleanup", "run", "retireVST2", "--json"});
    EXPECT_EQ(run["preset"], "retireVST2");
    EXPECT_EQ(run["status"], "completed");
    EXPECT_EQ(run["moved"], 1);
    EXPECT_EQ(run["selected"], 1);
    ASSERT_TRUE(run["runID"].is_string());
    const auto runID = run["runID"].get<std::string>();
    EXPECT_EQ(run["notices"].back()["style"], "success");

    auto runs = json({"cleanup", "runs", "--json"});
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0]["id"], runID);
    EXPECT_EQ(runs[0]["bundlesInQuarantine"], 1);
    EXPECT_EQ(runs[0]["restorable"], true);

    // Nothing left to move: the store refuses before any run begins, and the
    // one document is the refusal in the product's words.
    const auto again = demo->run({"cleanup", "run", "retireVST2", "--json"});
    EXPECT_EQ(again.exitCode, 3);
    const auto refusal = Json::parse(again.out)["error"];
    EXPECT_EQ(refusal["outcome"], "refused");
    const auto message = refusal["messages"].back().get<std::string>();
    EXPECT_THAT(message, ::testing::StartsWith("Cleanup Preset Blocked: "));
    EXPECT_NE(again.err.find(message), std::string::npos) << again.err;

    // A run named by the start of its id, in any letter case.
    const auto restored = json({"cleanup", "restore-run", lowercased(runID.substr(0, 8)), "--json"});
    EXPECT_EQ(restored["runID"], runID);
    EXPECT_EQ(restored["restored"], 1);
    EXPECT_EQ(restored["bundlesInQuarantine"], 0);
    EXPECT_EQ(json({"cleanup", "runs", "--json"})[0]["bundlesInQuarantine"], 0);
    const auto restoredAgain = demo->run({"cleanup", "restore-run", runID});
    EXPECT_EQ(restoredAgain.exitCode, 3);

    struct RuleStep {
        std::vector<std::string> arguments;
        bool enabled;
        bool changed;
    };
    const std::vector<RuleStep> steps{
        {{"rule", "on", "--dry-run", "--json", "--", "brightwater audio"}, true, true},
        {{"rule", "on", "--json", "--", "brightwater audio"}, true, true},
        {{"rule", "on", "--json", "--", "Brightwater Audio"}, true, false},
        {{"rule", "off", "--dry-run", "--json", "--", "Brightwater Audio"}, false, true},
    };
    for (const auto& step : steps) {
        const auto rule = json(step.arguments);
        EXPECT_EQ(rule["manufacturer"], "Brightwater Audio") << step.arguments[1];
        EXPECT_EQ(rule["enabled"], step.enabled) << step.arguments[1];
        EXPECT_EQ(rule["changed"], step.changed) << step.arguments[1];
    }
    const auto rules = json({"rules", "--json"});
    const auto brightwater = std::find_if(rules.begin(), rules.end(),
                                          [](const Json& rule) { return rule["manufacturer"] == "Brightwater Audio"; });
    ASSERT_NE(brightwater, rules.end());
    EXPECT_EQ((*brightwater)["enabled"], true);

    EXPECT_EQ(json({"helper", "disable", "--json"})["status"], "Not Enabled");
    status = json({"helper", "status", "--json"});
    EXPECT_EQ(status["status"], "Not Enabled");
    EXPECT_EQ(status["secureHandshake"], false);
    const auto refused = demo->run({"cleanup", "run", "noAAX", "--json"});
    EXPECT_EQ(refused.exitCode, 3);
    EXPECT_EQ(Json::parse(refused.out)["error"]["outcome"], "refused");
}

}  // namespace
}  // namespace kestrova::testing
