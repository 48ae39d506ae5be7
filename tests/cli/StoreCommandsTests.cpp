// The command line over the inventory store: scanning (also a dry run and the
// demo tree), authorization, protection, rules, blocked states and the state
// check, and how names pick a product or bundle.
#include "CliProcess.h"
#include "cli/DemoTree.h"
#include "cli/TargetResolution.h"
#include "model/JsonCoding.h"
#include "store/state/PersistedInventoryFile.h"
#include "support/BundleFixtures.h"
#include "support/TemporaryDirectory.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

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

    // Each command is refused (exit 3) and says why.
    using Refusals = std::vector<std::pair<std::vector<std::string>, std::string>>;
    void expectRefusals(const Refusals& refusals) const {
        for (const auto& [arguments, refusal] : refusals) {
            const auto result = run(arguments);
            EXPECT_EQ(result.exitCode, 3) << arguments.front();
            EXPECT_THAT(result.err, HasSubstr(refusal)) << arguments.front() << ": " << result.err;
        }
    }
};

TEST(StoreCommands, AuthorizeScanProtectAndReadBackThroughTheStore) {
    Cli cli;
    cli.bundle("VST3/Alpha.vst3", "Alpha", "com.acme.alpha");
    cli.bundle("Components/Alpha.component", "Alpha", "com.acme.alpha");
    cli.bundle("VST3/Other Alpha.vst3", "Alpha", "com.zeta.alpha");

    auto result = cli.run({"scan"});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_THAT(result.err, HasSubstr("No plug-in folders are authorized yet"));

    result = cli.run({"authorize", cli.root + "/Library/Audio/Plug-Ins"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(cli.run({"folders"}).out, cli.root + "/Library/Audio/Plug-Ins\n");

    result = cli.run({"scan"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_THAT(result.out, HasSubstr("Scan Complete: Indexed 2 plugin products across 3 format bundles.\n"));
    EXPECT_THAT(result.out, HasSubstr("Scan complete. No inventory changes detected.\n"));
    EXPECT_THAT(result.err, IsEmpty());

    result = cli.run({"list", "--json"});
    const auto products = Json::parse(result.out);
    ASSERT_EQ(products.size(), 2u);
    const auto acme = products[0]["manufacturer"].get<std::string>();

    result = cli.run({"protect", "alpha"});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_THAT(result.err, HasSubstr("names 2 products"));
    EXPECT_THAT(result.err, HasSubstr("--manufacturer"));
    result = cli.run({"protect", "Alp"});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_THAT(result.err, HasSubstr("Did you mean “Alpha”?"));

    result = cli.run({"protect-format", "alpha", "vst3", "--manufacturer", acme});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "VST3 Format Protected: Only the selected VST3 bundle is locked against file actions.\n");
    result = cli.run({"protect-format", "alpha", "CLAP", "-m", acme});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_THAT(result.err, HasSubstr("has no CLAP bundle"));
    result = cli.run({"unprotect", "Alpha", "-m", acme});
    EXPECT_EQ(result.out, "Protection Removed: No files were moved.\n");

    // A new bundle shows up in the next scan's reconciliation.
    cli.bundle("CLAP/Beta.clap", "Beta", "com.acme.beta");
    result = cli.run({"scan"});
    EXPECT_THAT(result.out, HasSubstr("Rescan: 1 added, 0 missing, 0 manually restored.\n"));

    result = cli.run({"history", "--json"});
    const auto operations = Json::parse(result.out);
    ASSERT_GE(operations.size(), 5u);
    EXPECT_EQ(operations[0]["kind"], "Scan Completed");
    EXPECT_EQ(operations[1]["summary"], "Rescan: 1 added, 0 missing, 0 manually restored.");

    result = cli.run({"rule", "on", " " + acme + " "});
    EXPECT_EQ(result.out, "Permanent Quarantine Enabled: Exact future replacements from " + acme +
                              " will be re-quarantined after a verified scan.\n");
    EXPECT_THAT(cli.run({"rules"}).out, HasSubstr("on    " + acme));
    EXPECT_EQ(cli.run({"trash-records"}).out, "No bundles were sent to the Finder Trash.\n");
}

TEST(StoreCommands, ABlockedStateRefusesWithWarningsAndIsLeftAlone) {
    Cli cli;
    PersistedInventory newer;
    newer.schemaVersion = currentInventorySchemaVersion + 1;
    const SystemLayout layout{cli.root, cli.home};
    ASSERT_TRUE(writePersistedInventory(newer, layout).ok());
    const auto before = cli.sandbox.readFile("home/Library/Application Support/Kestrova/inventory-state.json");

    // No folder authorized yet: the store's refusal still comes first.
    auto result = cli.run({"scan"});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_THAT(result.err, HasSubstr("Inventory Upgrade Blocked: Kestrova kept the existing Build 39 inventory"));
    EXPECT_THAT(result.err, HasSubstr("Scan Blocked: The Build 39 inventory could not be upgraded safely. No "
                                      "inventory or plugin files were changed.\n"));
    EXPECT_THAT(result.err, Not(HasSubstr("authorized")));

    // Every gated command answers with the store's own refusal, not with
    // what it would have said about its target or the helper.
    const std::string fileActions =
        "The Build 39 inventory could not be upgraded safely. Plugin file actions are "
        "blocked.\n";
    cli.expectRefusals({
        {{"quarantine", "Nothing", "VST3"}, "Privileged Quarantine Blocked: " + fileActions},
        {{"restore", "Nothing", "VST3"}, "Privileged Restore Blocked: " + fileActions},
        {{"trash", "Nothing", "--all-formats"}, "Privileged Trash Move Blocked: " + fileActions},
        {{"trash-restore", "--all-ready"},
         "Finder Trash Restore Blocked: The local inventory state is unavailable. Trash recovery is blocked.\n"},
        {{"protect-format", "Nothing", "VST3"},
         "Protection Change Blocked: The local inventory must be upgraded safely before format protection can "
         "change.\n"},
        {{"cleanup", "run", "retireVST2"},
         "Cleanup Preset Blocked: The local inventory must be available before a cleanup preset can begin.\n"},
        {{"cleanup", "restore-run", "0000"}, "Privileged Restore Blocked: " + fileActions},
    });

    cli.run({"authorize", cli.root});
    result = cli.run({"scan", "--json"});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(Json::parse(result.out)["notice"]["title"], "Scan Blocked");
    // The rule is refused by the write of the state file it cannot replace.
    EXPECT_EQ(cli.run({"rule", "on", "Acme"}).exitCode, 1);
    EXPECT_EQ(cli.sandbox.readFile("home/Library/Application Support/Kestrova/inventory-state.json"), before);
}

TEST(StoreCommands, AJournalStillToReconcileRefusesBeforeTheCommandLooksAtItsTarget) {
    Cli cli;
    // Something at both ends of the one item: recovery can decide nothing.
    const auto source = cli.sandbox.makeDirectory("root/Library/Audio/Plug-Ins/VST3/Echo.vst3");
    const auto destination = cli.sandbox.makeDirectory("root/q/Echo.vst3");
    auto state = PersistedInventory{};
    state.pendingPrivilegedQuarantine = PrivilegedQuarantineRequest{"TX-1", {{source, destination, "OP"}}};
    ASSERT_TRUE(writePersistedInventory(state, SystemLayout{cli.root, cli.home}).ok());

    const std::string journal = "A previous privileged plugin transaction still needs reconciliation.\n";
    cli.expectRefusals({
        {{"scan"},
         "Scan Blocked: A privileged plugin transaction still needs reconciliation. Do not rescan until that "
         "transaction is resolved.\n"},
        {{"quarantine", "Nothing", "VST3"}, "Privileged Quarantine Blocked: " + journal},
        {{"restore", "Nothing", "VST3"}, "Privileged Restore Blocked: " + journal},
        {{"trash-restore", "--all-ready"},
         "Finder Trash Restore Blocked: A privileged plugin transaction still needs reconciliation.\n"},
        {{"cleanup", "run", "retireVST2"}, "Cleanup Preset Blocked: " + journal},
    });
    EXPECT_TRUE(std::filesystem::exists(source));
    EXPECT_TRUE(std::filesystem::exists(destination));
    EXPECT_TRUE(decodePersistedInventory(cli.sandbox.readFile("home/Library/Application Support/Kestrova/"
                                                              "inventory-state.json"))
                    ->pendingPrivilegedQuarantine);
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

TEST(TargetResolution, NamesOneBundleOrSaysWhatWouldTellThemApart) {
    const auto bundle = [](std::string format, std::string path) {
        PluginBundleRecord record;
        record.format = std::move(format);
        record.path = std::move(path);
        return record;
    };
    Plugin twoVst3;
    twoVst3.id = Uuid::random();
    twoVst3.name = "Delay";
    twoVst3.manufacturer = "Acme";
    twoVst3.formats = {"VST3"};
    twoVst3.bundles = std::vector{bundle("VST3", "/Library/Audio/Plug-Ins/VST3/Delay.vst3"),
                                  bundle("VST3", "/Users/me/Library/Audio/Plug-Ins/VST3/Delay.vst3")};
    Plugin hosted;
    hosted.id = Uuid::random();
    hosted.name = "CLA-2A";
    hosted.manufacturer = "Waves";
    hosted.formats = {"AU"};
    hosted.status = PluginStatus::hostedByShell;
    const std::vector<Plugin> plugins{twoVst3, hosted};

    auto resolved = resolveBundle(plugins, {{"delay", std::nullopt}, "vst3", std::nullopt});
    ASSERT_FALSE(resolved.ok());
    EXPECT_THAT(resolved.error().message, HasSubstr("has 2 VST3 bundles"));
    EXPECT_THAT(resolved.error().message, HasSubstr("--path"));

    resolved = resolveBundle(plugins, {{"Delay", "ACME"}, "VST3", "/Users/me/Library/Audio/Plug-Ins/VST3/Delay.vst3/"});
    ASSERT_TRUE(resolved.ok());
    EXPECT_EQ(resolved->selection, (PluginBundleSelection{twoVst3.id, (*twoVst3.bundles)[1].id()}));

    resolved = resolveBundle(plugins, {{"Delay", std::nullopt}, "VST3", std::nullopt},
                             [](const PluginBundleRecord& record) { return record.path.starts_with("/Library"); });
    ASSERT_TRUE(resolved.ok());
    EXPECT_EQ(resolved->bundle.path, "/Library/Audio/Plug-Ins/VST3/Delay.vst3");

    resolved = resolveBundle(plugins, {{"CLA-2A", std::nullopt}, "AU", std::nullopt});
    ASSERT_FALSE(resolved.ok());
    EXPECT_THAT(resolved.error().message, HasSubstr("lives inside the Waves shell"));

    EXPECT_FALSE(resolveProduct(plugins, {"Delay", "Zeta"}).ok());
    const auto product = resolveProduct(plugins, {"DELAY", std::nullopt});
    ASSERT_TRUE(product.ok());
    EXPECT_EQ((*product)->id, twoVst3.id);
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

// The expectations below were worked out from the demo's files by hand, not
// taken from a run.
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
    const auto missingRoot = dryRun(directory, directory / "nowhere", demo + "/home", "", {demo});
    EXPECT_EQ(missingRoot.exitCode, 2);
    EXPECT_NE(missingRoot.err.find("nowhere"), std::string::npos);
    // --json still leaves its one document: the error.
    EXPECT_EQ(Json::parse(missingRoot.out)["error"]["outcome"], "usage");
    EXPECT_EQ(dryRun(directory, demo + "/root", demo + "/home", "", {directory / "absent"}).exitCode, 2);
    EXPECT_EQ(dryRun(directory, demo + "/root", demo + "/home", directory / "none.json", {demo}).exitCode, 2);

    // Without authorization nothing is walked; the table still prints.
    const auto nothing = dryRun(directory, demo + "/root", demo + "/home", "", {}, false);
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
