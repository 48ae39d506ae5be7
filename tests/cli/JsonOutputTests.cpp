// Scripts read --json output as one JSON document and decide by the exit
// code alone. Every --json command is run after start-up has closed a
// cleanup run, and on a state file it cannot load, each time from the same
// state (start-up's notice goes to stderr, never into the document); and a
// command that fails before its output still leaves one document.
#include "CliProcess.h"
#include "model/ProductStatus.h"
#include "planning/PathRules.h"
#include "store/state/PersistedInventoryFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace kestrova::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace fs = std::filesystem;

// A format bundle of the scanned inventory, as a run selects it.
struct Bundle {
    PluginBundleSelection selection;
    std::string path;
};
Bundle bundleOf(const DemoCli& sandbox, const std::string& product, const std::string& format) {
    for (const auto& plugin : sandbox.state().plugins) {
        for (const auto& record : bundleRecords(plugin)) {
            if (plugin.name == product && record.format == format) {
                return {{plugin.id, record.id()}, record.path};
            }
        }
    }
    ADD_FAILURE() << "no " << format << " bundle of " << product;
    return {};
}

// One quarantine journal item for a bundle, the helper's move already done
// on disk.
PrivilegedQuarantineItem movedItem(const DemoCli& sandbox, const Bundle& bundle) {
    const auto operationID = Uuid::random().string();
    const auto destination =
        fs::path(quarantineRoot(sandbox.layout())) / operationID / fs::path(bundle.path).filename();
    fs::create_directories(destination.parent_path());
    fs::rename(bundle.path, destination);
    return {bundle.path, destination.string(), operationID};
}

// A cleanup run left pending by a quit, whose one child transaction is the
// journal's.
FormatCleanupRunRecord pendingRun(std::vector<PluginBundleSelection> selections, const std::string& transactionID) {
    std::sort(selections.begin(), selections.end(), storedSelectionOrder);
    FormatCleanupRunRecord run;
    run.id = Uuid::random();
    run.planID = Uuid::random();
    run.preset = FormatCleanupPresetKind::auAndVST3;
    run.createdAt = Date::now();
    run.selections = std::move(selections);
    run.childTransactionIDs = {*Uuid::parse(transactionID)};
    return run;
}

struct RecoveryPath {
    std::string name;
    // Writes the state (and moves what the helper would have moved).
    std::function<void(const DemoCli&)> prepare;
    // What start-up says on stderr, when it says anything.
    std::string startupText;
    bool blocksFileActions = false;
    bool stateUnloadable = false;
};

std::vector<RecoveryPath> recoveryPaths() {
    // A run over the VST3 bundle of one product, its one move done; the other
    // ways start-up settles a journal are the store's to test.
    const auto runDone = [](const DemoCli& sandbox) {
        auto state = sandbox.state();
        const auto vst3 = bundleOf(sandbox, "FabFilter Pro-Q 3", "VST3");
        const auto transactionID = Uuid::random().string();
        state.pendingPrivilegedQuarantine = PrivilegedQuarantineRequest{transactionID, {movedItem(sandbox, vst3)}};
        state.formatCleanupRuns = std::vector{pendingRun({vst3.selection}, transactionID)};
        sandbox.write(state);
    };
    return {
        {"RunClosedAsCompleted", runDone, "Cleanup Preset Completed: "},
        {"StateFileBlocked",
         [](const DemoCli& sandbox) {
             auto state = sandbox.state();
             state.schemaVersion = currentInventorySchemaVersion + 1;
             sandbox.write(state);
         },
         "Inventory Upgrade Blocked: ", true, true},
    };
}

struct JsonCommand {
    std::vector<std::string> arguments;
    // Whether the command opens the store, and so runs start-up recovery.
    bool opensStore = true;
    // The exit code in a sandbox where nothing blocks it.
    int exitCode = 0;
};

std::vector<JsonCommand> jsonCommands(const DemoCli& sandbox) {
    return {
        {{"list", "--json"}},
        {{"history", "--json"}},
        {{"trash-records", "--json"}},
        {{"folders", "--json"}},
        {{"rules", "--json"}},
        {{"cleanup", "preview", "retireVST2", "--json"}},
        {{"cleanup", "runs", "--json"}},
        {{"scan", "--json"}},
        {{"scan", "--dry-run", "--json", "--authorize", sandbox.layout().system("/Library")}, false},
        {{"state", "check", "--json"}, false},
        {{"helper", "status", "--json"}, false},
        // No helper is enabled here, so checks fail.
        {{"helper", "readiness", "--json"}, false, 1},
    };
}

TEST(JsonOutput, EveryJsonCommandPrintsOneDocumentAfterEachRecoveryPath) {
    if (::access(cliExecutable().c_str(), X_OK) != 0) {
        GTEST_SKIP() << "build kestrova_app_bundle first";
    }
    for (const auto& path : recoveryPaths()) {
        SCOPED_TRACE(path.name);
        const DemoCli sandbox(false);  // start-up recovery decides from the disk
        path.prepare(sandbox);
        const auto stateFile = inventoryStateURL(sandbox.layout());
        const auto preparedBytes = readWholeFile(stateFile);
        for (const auto& command : jsonCommands(sandbox)) {
            // Every command meets the state start-up has to recover.
            std::ofstream(stateFile, std::ios::trunc) << preparedBytes;
            const auto outcome = sandbox.run(command.arguments);
            const auto name = command.arguments.front() + " " + command.arguments[1];
            const auto document = Json::parse(outcome.out, nullptr, false);
            EXPECT_FALSE(document.is_discarded()) << name << " printed:\n" << outcome.out;

            auto expected = command.exitCode;
            if (name == "scan --json" && path.blocksFileActions) {
                expected = 3;  // refused, with the store's notice in the document
                EXPECT_EQ(document["notice"]["title"], "Scan Blocked") << outcome.out;
            } else if (name == "state check" && path.stateUnloadable) {
                expected = 1;  // the check found the file unloadable
                EXPECT_EQ(document["status"], "error");
            }
            EXPECT_EQ(outcome.exitCode, expected) << name << ": " << outcome.err;
            if (command.opensStore && !path.startupText.empty()) {
                EXPECT_THAT(outcome.err, HasSubstr(path.startupText)) << name;
            }
            if (!path.startupText.empty()) {
                EXPECT_THAT(outcome.out, Not(HasSubstr(path.startupText))) << name;
            }
        }
    }
}

// Command lines that cannot be carried out: a usage error (2) whatever the
// inventory holds, or a refusal (3), with the reason on stderr, nothing
// written, and with --json one document that is the error.
TEST(JsonOutput, ACommandThatFailsBeforeItsOutputStillPrintsOneDocument) {
    if (::access(cliExecutable().c_str(), X_OK) != 0) {
        GTEST_SKIP() << "build kestrova_app_bundle first";
    }
    TemporaryDirectory directory;
    const auto root = directory.makeDirectory("root");
    const auto home = directory.makeDirectory("home");
    const auto missing = directory / "missing";
    const struct {
        std::vector<std::string> arguments;
        int exitCode;
        std::string message;
    } failures[] = {
        {{"--root", missing, "list", "--json"}, 2, "is not an existing folder."},
        {{"list", "--json", "--no-such-option"}, 2, ""},
        {{"--profile", "windows", "scan"}, 2, "windows"},
        {{"cleanup", "preview", "everything", "--json"}, 2, "“everything” is not a cleanup preset."},
        {{"cleanup", "run", "everything"}, 2, "“everything” is not a cleanup preset."},
        {{"scan", "--dry-run", "--json", "--authorize", missing}, 2, "missing"},
        {{"--au-registry", directory / "none.json", "scan", "--dry-run", "--authorize", root}, 2, "none.json"},
        {{"authorize", "--json", home, missing}, 2, "missing"},
        {{"authorize"}, 2, "--standard"},
        {{"quarantine"}, 2, ""},
        {{"quarantine", "Ozone 11", "VST3", "--all-formats"},
         2,
         "Give the formats or --all-formats, not both. No plugin files were moved.\n"},
        {{"restore", "Ozone 11", "--all-formats", "--path", "/x"}, 2, "--path names one bundle"},
        {{"trash", "Ozone 11"}, 2, "Name the formats to move"},
        {{"trash-restore"}, 2, "Name the recovery records to restore"},
        {{"trash-restore", "ABC", "--all-ready"}, 2, "Give record ids or --all-ready, not both."},
        {{"scan", "--json"}, 3, "No plug-in folders are authorized yet"},
    };
    for (const auto& failure : failures) {
        std::vector<std::string> arguments{cliExecutable(), "--home", home};
        if (failure.arguments.front() != "--root") {
            arguments.insert(arguments.end(), {"--root", root});
        }
        arguments.insert(arguments.end(), failure.arguments.begin(), failure.arguments.end());
        const auto outcome = runProcess(arguments, {}, directory.path());
        SCOPED_TRACE(failure.arguments.front() + " " + failure.arguments.back() + ": " + outcome.err);
        EXPECT_EQ(outcome.exitCode, failure.exitCode);
        EXPECT_THAT(outcome.err, HasSubstr(failure.message));
        if (std::find(arguments.begin(), arguments.end(), "--json") == arguments.end()) {
            continue;
        }
        const auto document = Json::parse(outcome.out, nullptr, false);
        ASSERT_TRUE(document.is_object()) << outcome.out;
        EXPECT_EQ(document["error"]["exitCode"], failure.exitCode);
        EXPECT_EQ(document["error"]["outcome"], failure.exitCode == 2 ? "usage" : "refused");
        if (!failure.message.empty()) {
            EXPECT_THAT(document["error"]["messages"][0].get<std::string>(), HasSubstr(failure.message));
        }
    }
    // A profile from the environment is checked as the option is.
    EXPECT_EQ(runProcess({cliExecutable(), "--root", root, "--home", home, "scan"}, {"KESTROVA_PROFILE=beos"},
                         directory.path())
                  .exitCode,
              2);
    EXPECT_FALSE(directory.exists("home/Library/Application Support/Kestrova/inventory-state.json"));
    EXPECT_FALSE(directory.exists("home/.local"));
    const auto help = runProcess({cliExecutable(), "--help"}, {}, directory.path());
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_THAT(help.out, HasSubstr("3  refused: Kestrova said why and wrote or moved nothing"));
    EXPECT_THAT(help.err, IsEmpty());
}

}  // namespace
}  // namespace kestrova::testing
