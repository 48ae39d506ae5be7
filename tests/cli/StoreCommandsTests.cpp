// The command line over the inventory store: scanning (also a dry run and the
// demo tree), authorization, protection, rules, blocked states and the state
// check.
#include "CliProcess.h"
#include "cli/DemoTree.h"
#include "model/JsonCoding.h"
#include "store/state/PersistedInventoryFile.h"
#include "support/BundleFixtures.h"
#include "support/TemporaryDirectory.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace kestrova::cli {
namespace {

using kestrova::testing::BundleFixture;
using kestrova::testing::cliExecutable;
using kestrova::testing::ProcessOutcome;
using kestrova::testing::runProcess;
using kestrova::testing::TemporaryDirectory;
using kestrova::testing::writeBundle;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

constexpr std::string_view stateFile = "home/Library/Application Support/Kestrova/inventory-state.json";

// The built kestrova-cli over a sandbox root and home.
struct Cli {
    TemporaryDirectory sandbox;
    std::string root = sandbox.makeDirectory("root");
    std::string home = sandbox.makeDirectory("home");

    ProcessOutcome run(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), {cliExecutable(), "--root", root, "--home", home});
        return runProcess(arguments, {}, sandbox.path());
    }

    void bundle(const std::string& relative, const std::string& name, const std::string& identifier) const {
        BundleFixture fixture;
        fixture.info = {{"CFBundleName", name}, {"CFBundleIdentifier", identifier}};
        writeBundle(sandbox, "root/Library/Audio/Plug-Ins/" + relative, fixture);
    }
};

TEST(StoreCommands, AuthorizeScanProtectAndReadBackThroughTheStore) {
    Cli cli;
    cli.bundle("VST3/Alpha.vst3", "Alpha", "com.acme.alpha");
    cli.bundle("Components/Alpha.component", "Alpha", "com.acme.alpha");
    cli.bundle("VST3/Other Alpha.vst3", "Alpha", "com.zeta.alpha");

    auto result = cli.run({"authorize", cli.root + "/Library/Audio/Plug-Ins"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(cli.run({"folders"}).out, cli.root + "/Library/Audio/Plug-Ins\n");
    result = cli.run({"scan"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_THAT(result.out, HasSubstr("Scan Complete: "));
    EXPECT_THAT(result.err, IsEmpty());
    const auto products = Json::parse(cli.run({"list", "--json"}).out);
    ASSERT_EQ(products.size(), 2u);
    const auto acme = products[0]["manufacturer"].get<std::string>();

    result = cli.run({"protect-format", "alpha", "vst3", "--manufacturer", acme});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_THAT(result.out, StartsWith("VST3 Format Protected: "));
    EXPECT_EQ(cli.run({"unprotect", "Alpha", "-m", acme}).exitCode, 0);

    // A new bundle shows up in the next scan's reconciliation.
    cli.bundle("CLAP/Beta.clap", "Beta", "com.acme.beta");
    EXPECT_EQ(cli.run({"scan"}).exitCode, 0);
    const auto operations = Json::parse(cli.run({"history", "--json"}).out);
    ASSERT_GE(operations.size(), 5u);
    EXPECT_EQ(operations[0]["kind"], "Scan Completed");
    EXPECT_EQ(operations[1]["summary"], "Rescan: 1 added, 0 missing, 0 manually restored.");

    // The manufacturer as typed, spaces trimmed.
    EXPECT_THAT(cli.run({"rule", "on", " " + acme + " "}).out, StartsWith("Permanent Quarantine Enabled: "));
    EXPECT_THAT(cli.run({"rules"}).out, HasSubstr("on    " + acme));
    EXPECT_EQ(cli.run({"trash-records"}).out, "No bundles were sent to the Finder Trash.\n");
}

// A state file the store cannot use: every gated command answers with the
// store's own refusal, before it looks at its target or the helper, and
// leaves the file and the bundles as they are.
TEST(StoreCommands, ABlockedStateOrAJournalStillToReconcileRefusesFirstAndIsLeftAlone) {
    const std::vector<std::vector<std::string>> gated{
        {"quarantine", "Nothing", "VST3"},     {"restore", "Nothing", "VST3"},   {"trash", "Nothing", "--all-formats"},
        {"trash-restore", "--all-ready"},      {"cleanup", "run", "retireVST2"}, {"cleanup", "restore-run", "0000"},
        {"protect-format", "Nothing", "VST3"},
    };
    for (const bool newerSchema : {true, false}) {
        SCOPED_TRACE(newerSchema ? "newer schema" : "journal to reconcile");
        Cli cli;
        PersistedInventory state;
        // Something at both ends of the journal's one item: recovery can decide nothing.
        const auto source = cli.sandbox.makeDirectory("root/Library/Audio/Plug-Ins/VST3/Echo.vst3");
        const auto destination = cli.sandbox.makeDirectory("root/q/Echo.vst3");
        if (newerSchema) {
            state.schemaVersion = currentInventorySchemaVersion + 1;
        } else {
            state.pendingPrivilegedQuarantine = PrivilegedQuarantineRequest{"TX-1", {{source, destination, "OP"}}};
        }
        ASSERT_TRUE(writePersistedInventory(state, SystemLayout{cli.root, cli.home}).ok());
        const auto before = cli.sandbox.readFile(stateFile);

        // No folder authorized yet: the store's refusal still comes first.
        auto result = cli.run({"scan"});
        EXPECT_EQ(result.exitCode, 3);
        EXPECT_THAT(result.err, HasSubstr("Scan Blocked: "));
        EXPECT_THAT(result.err, Not(HasSubstr("authorized")));
        for (const auto& arguments : gated) {
            if (!newerSchema && arguments.front() == "protect-format") {
                continue;  // protection waits for the state file only
            }
            result = cli.run(arguments);
            // Each refusal's title is the store's; it comes before the missing target.
            EXPECT_EQ(result.exitCode, 3) << arguments.front();
            EXPECT_THAT(result.err, HasSubstr(" Blocked: ")) << result.err;
        }
        cli.run({"authorize", cli.root});
        result = cli.run({"scan", "--json"});
        EXPECT_EQ(result.exitCode, 3);
        EXPECT_EQ(Json::parse(result.out)["notice"]["title"], "Scan Blocked");
        if (newerSchema) {
            EXPECT_THAT(result.err, HasSubstr("Inventory Upgrade Blocked: "));
            // The rule is refused by the write of the state file it cannot replace.
            EXPECT_EQ(cli.run({"rule", "on", "Acme"}).exitCode, 1);
            EXPECT_EQ(cli.sandbox.readFile(stateFile), before);
        } else {
            EXPECT_TRUE(decodePersistedInventory(cli.sandbox.readFile(stateFile))->pendingPrivilegedQuarantine);
        }
        EXPECT_TRUE(std::filesystem::exists(source));
        EXPECT_TRUE(std::filesystem::exists(destination));
    }
}

constexpr std::string_view legacyDocument =
    R"({"plugins" : [{"id" : "0E4C6D2A-1B3F-4A5E-8C7D-9F0A1B2C3D4E", "name" : "Gate", "manufacturer" : "Acme",
        "version" : "1", "formats" : ["AU"], "architecture" : "Intel", "size" : "1 MB",
        "path" : "\/q\/Gate.component", "status" : "Ready to Restore", "isProtected" : false,
        "originalPath" : "\/Library\/Audio\/Plug-Ins\/Components\/Gate.component",
        "quarantinePath" : "\/q\/Gate.component", "quarantineOperationID" : "OP"}],
      "protectedKeys" : ["acme|gate"], "history" : [],
      "pendingPrivilegedTrash" : {"transactionID" : "TX-1", "items" : []}})";

TEST(StateCheck, ReportsWhatALoadWouldDoOrWhyItCannotWithoutWritingAnything) {
    Cli cli;
    EXPECT_EQ(cli.run({"state", "check"}).exitCode, 0);

    cli.sandbox.writeFile("home/Library/Application Support/Halvern/inventory-state.json", legacyDocument);
    const auto run = cli.run({"state", "check", "--json"});
    EXPECT_EQ(run.exitCode, 0);
    const auto report = Json::parse(run.out);
    EXPECT_EQ(report["status"], "ok");
    EXPECT_EQ(report["schemaVersion"], 1);
    EXPECT_EQ(report["wouldMigrate"], true);
    EXPECT_EQ(report["wouldCopyLegacy"], true);
    EXPECT_EQ(report["counts"]["products"], 1);
    EXPECT_EQ(report["counts"]["protectedProducts"], 1);
    EXPECT_EQ(report["counts"]["quarantinedBundles"], 1);
    EXPECT_EQ(report["pendingTransactions"], Json::array({"trash TX-1"}));
    EXPECT_FALSE(cli.sandbox.exists("home/Library/Application Support/Kestrova"));

    // A file that cannot be loaded fails with the exact reason.
    const std::string file = "home/Library/Application Support/Kestrova/inventory-state.json";
    cli.sandbox.writeFile(file, R"({"schemaVersion" : 4, "plugins" : [], "protectedKeys" : [], "history" : []})");
    const auto newer = cli.run({"state", "check"});
    EXPECT_EQ(newer.exitCode, 1);
    EXPECT_THAT(newer.err, HasSubstr("Inventory schema 4 is newer than this Kestrova build supports."));

    cli.sandbox.writeFile(file, R"({"plugins" : []})");
    const auto damaged = Json::parse(cli.run({"state", "check", "--json"}).out);
    EXPECT_EQ(damaged["status"], "error");
    EXPECT_EQ(damaged["error"]["kind"], "damaged");
    EXPECT_THAT(damaged["error"]["description"].get<std::string>(), HasSubstr("The key “protectedKeys” is missing."));
    EXPECT_EQ(cli.sandbox.readFile(file), R"({"plugins" : []})");
}

// kestrova-cli scan --dry-run: only the given folders are read, nothing saved.
ProcessOutcome dryRun(const TemporaryDirectory& directory, const std::string& root, const std::string& home,
                      const std::string& registry, const std::vector<std::string>& authorized, bool json = true) {
    std::vector<std::string> arguments{cliExecutable(), "--root", root,   "--home",   home,
                                       "--au-registry", registry, "scan", "--dry-run"};
    for (const auto& folder : authorized) {
        arguments.insert(arguments.end(), {"--authorize", folder});
    }
    if (json) {
        arguments.push_back("--json");
    }
    return runProcess(arguments, {}, directory.path());
}

const Plugin& named(const std::vector<Plugin>& products, std::string_view name) {
    const auto found =
        std::find_if(products.begin(), products.end(), [&](const Plugin& product) { return product.name == name; });
    if (found == products.end()) {
        throw std::runtime_error("no product " + std::string(name));
    }
    return *found;
}

TEST(ScanCommands, DryRunOfTheDemoTree) {
    const TemporaryDirectory directory;
    const auto demo = directory / "demo";
    ASSERT_TRUE(writeDemoTree(demo));
    const auto run = dryRun(directory, demo + "/root", demo + "/home", demo + "/au-registry.json",
                            {demo + "/root/Library/Audio/Plug-Ins", demo + "/home/Library"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto json = Json::parse(run.out);
    EXPECT_EQ(json.at("wasCancelled"), false);
    EXPECT_TRUE(json.at("inaccessibleLocations").empty());
    const auto products = JsonCoder<std::vector<Plugin>>::decode(json.at("plugins"), "plugins");

    EXPECT_EQ(products.size(), 18u);
    // The home Avid folder was authorized through home/Library; the AAX
    // bundle of Pro-Q 3 lies outside Audio/Plug-Ins and was not.
    EXPECT_EQ(named(products, "Decapitator").path,
              demo + "/home/Library/Application Support/Avid/Audio/Plug-Ins/Decapitator.aaxplugin");
    EXPECT_EQ(named(products, "FabFilter Pro-Q 3").formats, (std::vector<std::string>{"AU", "CLAP", "VST3"}));
    EXPECT_EQ(named(products, "SSL E-Channel Stereo").status, PluginStatus::hostedByShell);
    EXPECT_FALSE(directory.exists("demo/home/Library/Application Support/Kestrova/inventory-state.json"));

    // Without authorization nothing is walked; the table still prints.
    const auto nothing = dryRun(directory, demo + "/root", demo + "/home", "", {}, false);
    EXPECT_EQ(nothing.exitCode, 0);
    EXPECT_THAT(nothing.out, HasSubstr("0 products"));
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
