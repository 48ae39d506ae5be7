#include "cli/Commands.h"

#include "support/TemporaryDirectory.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <sstream>

namespace kestrova::cli {
namespace {

using kestrova::testing::TemporaryDirectory;

struct Run {
    int exitCode = 0;
    std::string out;
    std::string err;
};

Run runStateCheck(const std::string& home, bool json) {
    CLI::App app;
    std::ostringstream out;
    std::ostringstream err;
    CliContext context;
    context.homeOption = home;
    context.out = &out;
    context.err = &err;
    addStateCommands(app, context);
    std::vector<std::string> arguments{"state", "check"};
    if (json) {
        arguments.emplace_back("--json");
    }
    std::reverse(arguments.begin(), arguments.end());  // CLI11 takes them last first
    app.parse(arguments);
    return {context.exitCode, out.str(), err.str()};
}

constexpr std::string_view legacyDocument =
    R"({"plugins" : [{"id" : "0E4C6D2A-1B3F-4A5E-8C7D-9F0A1B2C3D4E", "name" : "Gate", "manufacturer" : "Acme",
        "version" : "1", "formats" : ["AU"], "architecture" : "Intel", "size" : "1 MB",
        "path" : "\/q\/Gate.component", "status" : "Ready to Restore", "isProtected" : false,
        "originalPath" : "\/Library\/Audio\/Plug-Ins\/Components\/Gate.component",
        "quarantinePath" : "\/q\/Gate.component", "quarantineOperationID" : "OP"}],
      "protectedKeys" : ["acme|gate"], "history" : [],
      "pendingPrivilegedTrash" : {"transactionID" : "TX-1", "items" : []}})";

TEST(StateCheck, ReportsWhatALoadWouldDoWithoutWritingAnything) {
    TemporaryDirectory home;
    EXPECT_EQ(runStateCheck(home.path(), false).exitCode, 0);

    home.writeFile("Library/Application Support/Halvern/inventory-state.json", legacyDocument);
    const auto run = runStateCheck(home.path(), true);
    EXPECT_EQ(run.exitCode, 0);
    const auto report = nlohmann::json::parse(run.out);
    EXPECT_EQ(report["status"], "ok");
    EXPECT_EQ(report["schemaVersion"], 1);
    EXPECT_EQ(report["wouldMigrate"], true);
    EXPECT_EQ(report["wouldCopyLegacy"], true);
    EXPECT_EQ(report["counts"]["products"], 1);
    EXPECT_EQ(report["counts"]["protectedProducts"], 1);
    EXPECT_EQ(report["counts"]["quarantinedBundles"], 1);
    EXPECT_EQ(report["pendingTransactions"], nlohmann::json::array({"trash TX-1"}));
    EXPECT_FALSE(home.exists("Library/Application Support/Kestrova"));
}

TEST(StateCheck, FailsWithTheExactReasonOnAFileThatCannotBeLoaded) {
    TemporaryDirectory home;
    const std::string newer = R"({"schemaVersion" : 4, "plugins" : [], "protectedKeys" : [], "history" : []})";
    home.writeFile("Library/Application Support/Kestrova/inventory-state.json", newer);
    const auto run = runStateCheck(home.path(), false);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.err, ::testing::HasSubstr("Inventory schema 4 is newer than this Kestrova build supports."));

    home.writeFile("Library/Application Support/Kestrova/inventory-state.json", R"({"plugins" : []})");
    const auto damaged = nlohmann::json::parse(runStateCheck(home.path(), true).out);
    EXPECT_EQ(damaged["status"], "error");
    EXPECT_EQ(damaged["error"]["kind"], "damaged");
    EXPECT_THAT(damaged["error"]["description"].get<std::string>(),
                ::testing::HasSubstr("The key “protectedKeys” is missing."));
    EXPECT_EQ(home.readFile("Library/Application Support/Kestrova/inventory-state.json"), R"({"plugins" : []})");
}

}  // namespace
}  // namespace kestrova::cli
