// Scripts read --json output as one JSON document and decide by the exit
// code alone. Every --json command is run after each way start-up can
// recover (a cleanup run closed three ways, a journal committed, discarded
// or kept, a state file it cannot load), each time from the same state; and
// a command that fails before its output still leaves one document.
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

// The demo tree granted and scanned, with no helper enabled: start-up
// recovery decides from the disk.
class JsonSandbox {
public:
    JsonSandbox() {
        const auto demo = directory_ / "demo";
        EXPECT_EQ(runProcess({cliExecutable(), "demo", demo}, {}, directory_.path()).exitCode, 0);
        layout_ = SystemLayout{demo + "/root", demo + "/home"};
        EXPECT_EQ(run({"authorize", layout_.system("/Library"), layout_.user("Library")}).exitCode, 0);
        const auto scanned = run({"scan"});
        EXPECT_EQ(scanned.exitCode, 0) << scanned.err;
    }

    ProcessOutcome run(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), {cliExecutable(), "--root", layout_.systemRoot, "--home", layout_.home,
                                             "--au-registry", directory_ / "demo/au-registry.json"});
        return runProcess(arguments,
                          {"KESTROVA_HELPER_MODE=session", "KESTROVA_HELPER_SESSION_DIR=" + (directory_ / "session")},
                          directory_.path());
    }

    const SystemLayout& layout() const { return layout_; }
    std::string stateFile() const { return inventoryStateURL(layout_); }
    PersistedInventory state() const {
        auto loaded = readPersistedInventory(stateFile(), realFileSystem());
        EXPECT_TRUE(loaded.ok());
        return loaded.ok() ? loaded->state : PersistedInventory{};
    }
    void write(const PersistedInventory& state) const { ASSERT_TRUE(writePersistedInventory(state, layout_).ok()); }

    // A format bundle of the scanned inventory, as a run selects it.
    struct Bundle {
        PluginBundleSelection selection;
        std::string path;
    };
    Bundle bundle(const std::string& product, const std::string& format) const {
        for (const auto& plugin : state().plugins) {
            for (const auto& record : bundleRecords(plugin)) {
                if (plugin.name == product && record.format == format) {
                    return {{plugin.id, record.id()}, record.path};
                }
            }
        }
        ADD_FAILURE() << "no " << format << " bundle of " << product;
        return {};
    }

private:
    TemporaryDirectory directory_;
    SystemLayout layout_;
};

// One quarantine journal item for a bundle, and, when `moved`, the helper's
// move already done on disk.
PrivilegedQuarantineItem quarantineItem(const JsonSandbox& sandbox, const JsonSandbox::Bundle& bundle, bool moved) {
    const auto operationID = Uuid::random().string();
    const auto destination =
        fs::path(quarantineRoot(sandbox.layout())) / operationID / fs::path(bundle.path).filename();
    if (moved) {
        fs::create_directories(destination.parent_path());
        fs::rename(bundle.path, destination);
    }
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
    std::function<void(const JsonSandbox&)> prepare;
    // What start-up says on stderr, when it says anything.
    std::string startupText;
    bool blocksFileActions = false;
    bool stateUnloadable = false;
};

std::vector<RecoveryPath> recoveryPaths() {
    // A run or a bare journal over the VST3 (and the AU) bundle of one product.
    const auto journal = [](const JsonSandbox& sandbox, bool moved, bool withRun, bool runSelectsMore) {
        auto state = sandbox.state();
        const auto vst3 = sandbox.bundle("FabFilter Pro-Q 3", "VST3");
        const auto au = sandbox.bundle("FabFilter Pro-Q 3", "AU");
        const auto transactionID = Uuid::random().string();
        state.pendingPrivilegedQuarantine =
            PrivilegedQuarantineRequest{transactionID, {quarantineItem(sandbox, vst3, moved)}};
        if (withRun) {
            auto selections = std::vector{vst3.selection};
            if (runSelectsMore) {
                selections.push_back(au.selection);
            }
            state.formatCleanupRuns = std::vector{pendingRun(selections, transactionID)};
        }
        sandbox.write(state);
    };
    return {
        {"RunClosedAsCompleted", [=](const auto& sandbox) { journal(sandbox, true, true, false); },
         "Cleanup Preset Completed: 1 reviewed format bundles moved into reversible quarantine"},
        {"RunClosedAsPartiallyCompleted", [=](const auto& sandbox) { journal(sandbox, true, true, true); },
         "Cleanup Preset Stopped: "},
        {"RunClosedAsCanceled", [=](const auto& sandbox) { journal(sandbox, false, true, false); },
         "Cleanup Preset Stopped: The cleanup preset was canceled; no additional bundles were moved"},
        {"JournalCommitted", [=](const auto& sandbox) { journal(sandbox, true, false, false); }, ""},
        {"JournalDiscarded", [=](const auto& sandbox) { journal(sandbox, false, false, false); }, ""},
        {"MixedJournalKept",
         [](const JsonSandbox& sandbox) {
             auto state = sandbox.state();
             state.pendingPrivilegedQuarantine = PrivilegedQuarantineRequest{
                 Uuid::random().string(),
                 {quarantineItem(sandbox, sandbox.bundle("FabFilter Pro-Q 3", "VST3"), true),
                  quarantineItem(sandbox, sandbox.bundle("FabFilter Pro-Q 3", "AU"), false)}};
             sandbox.write(state);
         },
         "A pending privileged quarantine has a mixed disk state.", true},
        {"StateFileBlocked",
         [](const JsonSandbox& sandbox) {
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

std::vector<JsonCommand> jsonCommands(const JsonSandbox& sandbox) {
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
        JsonSandbox sandbox;
        path.prepare(sandbox);
        const auto preparedBytes = readWholeFile(sandbox.stateFile());
        for (const auto& command : jsonCommands(sandbox)) {
            // Every command meets the state start-up has to recover.
            std::ofstream(sandbox.stateFile(), std::ios::trunc) << preparedBytes;
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

TEST(JsonOutput, ACommandThatFailsBeforeItsOutputStillPrintsOneDocument) {
    if (::access(cliExecutable().c_str(), X_OK) != 0) {
        GTEST_SKIP() << "build kestrova_app_bundle first";
    }
    TemporaryDirectory directory;
    const auto missing = directory / "missing";
    const struct {
        std::vector<std::string> arguments;
        int exitCode;
        std::string message;
    } failures[] = {
        {{"--root", missing, "--home", directory.path(), "list", "--json"}, 2, "is not an existing folder."},
        {{"--root", directory.path(), "--home", directory.path(), "list", "--json", "--no-such-option"}, 2, ""},
        {{"--root", directory.path(), "--home", directory.path(), "cleanup", "preview", "everything", "--json"},
         2,
         "“everything” is not a cleanup preset."},
        {{"--root", directory.path(), "--home", directory.path(), "scan", "--json"},
         3,
         "No plug-in folders are authorized yet"},
    };
    for (const auto& failure : failures) {
        auto arguments = failure.arguments;
        arguments.insert(arguments.begin(), cliExecutable());
        const auto outcome = runProcess(arguments, {}, directory.path());
        SCOPED_TRACE(outcome.err);
        EXPECT_EQ(outcome.exitCode, failure.exitCode);
        const auto document = Json::parse(outcome.out, nullptr, false);
        ASSERT_TRUE(document.is_object()) << outcome.out;
        EXPECT_EQ(document["error"]["exitCode"], failure.exitCode);
        EXPECT_EQ(document["error"]["outcome"], failure.exitCode == 2 ? "usage" : "refused");
        if (!failure.message.empty()) {
            EXPECT_THAT(document["error"]["messages"][0].get<std::string>(), HasSubstr(failure.message));
            EXPECT_THAT(outcome.err, HasSubstr(failure.message));
        }
    }
    const auto help = runProcess({cliExecutable(), "--help"}, {}, directory.path());
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_THAT(help.out, HasSubstr("3  refused: Kestrova said why and wrote or moved nothing"));
    EXPECT_THAT(help.err, IsEmpty());
}

}  // namespace
}  // namespace kestrova::testing
