// kestrova-cli killed with SIGKILL at each crash point of each transaction
// kind, then the store started again: every bundle must exist exactly once,
// where the disk says the transaction got to, the inventory must agree with
// the disk, and no bundle may ever be lost.
#include "CliProcess.h"
#include "platform/Executor.h"
#include "scan/ScanSummary.h"
#include "store/PluginInventoryStore.h"
#include "store/journal/CrashPoint.h"
#include "store/state/PersistedInventoryFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace kestrova::testing {
namespace {

namespace fs = std::filesystem;

struct Scenario {
    std::string kind;  // the command and the crash scope
    std::string point;
    std::string product;
    std::string format;
};

// The two ends of the one-item journal the crashed run left in the state file.
struct JournalItem {
    std::string transactionID;
    std::string sourcePath;
    std::string destinationPath;
};

template <typename Request>
std::optional<JournalItem> onlyItem(const std::optional<Request>& journal) {
    if (!journal || journal->items.size() != 1) {
        return std::nullopt;
    }
    return JournalItem{journal->transactionID, journal->items[0].sourcePath, journal->items[0].destinationPath};
}

std::optional<JournalItem> journalOf(const PersistedInventory& state, const std::string& kind) {
    if (kind == "quarantine") {
        return onlyItem(state.pendingPrivilegedQuarantine);
    }
    if (kind == "restore") {
        return onlyItem(state.pendingPrivilegedRestore);
    }
    if (kind == "trash") {
        return onlyItem(state.pendingPrivilegedTrash);
    }
    return onlyItem(state.pendingPrivilegedTrashRestore);
}

bool existsAt(const std::string& path) {
    std::error_code error;
    return fs::symlink_status(path, error).type() != fs::file_type::not_found && !error;
}

// Every location the inventory records is what the disk shows.
void expectInventoryMatchesDisk(const PluginInventoryStore& store) {
    for (const auto& product : store.plugins()) {
        for (const auto& bundle : product.bundles.value_or(std::vector<PluginBundleRecord>{})) {
            if (bundle.isQuarantined()) {
                EXPECT_TRUE(existsAt(*bundle.quarantinePath)) << *bundle.quarantinePath;
                EXPECT_FALSE(existsAt(bundle.originalPath.value_or(bundle.path))) << bundle.path;
            } else {
                EXPECT_TRUE(existsAt(bundle.path)) << bundle.path;
            }
        }
    }
    for (const auto& record : store.trashedBundles()) {
        if (record.isOpen()) {
            EXPECT_TRUE(existsAt(record.trashPath)) << record.trashPath;
        } else {
            EXPECT_TRUE(existsAt(record.originalPath)) << record.originalPath;
        }
    }
}

class TransactionCrashTest : public DemoCliTest {
protected:
    void SetUp() override {
        if (!crashPointsEnabled()) {
            GTEST_SKIP() << "this build has no crash points (KESTROVA_FAULT_INJECTION is off)";
        }
        DemoCliTest::SetUp();
    }

    std::unique_ptr<PluginInventoryStore> openStore() {
        return std::make_unique<PluginInventoryStore>(demo->layout(), realFileSystem(), executor,
                                                      [](auto&&...) { return ScanSummary{}; });
    }

    // The open recovery record of a bundle sent to the Trash, as the CLI takes it.
    std::string openRecordOf(const Scenario& scenario) {
        for (const auto& record : savedState().trashedBundles.value_or(std::vector<TrashedBundleRecord>{})) {
            if (record.pluginName == scenario.product && record.format == scenario.format && record.isOpen()) {
                return record.id.string();
            }
        }
        ADD_FAILURE() << "no open Trash record of " << scenario.product;
        return {};
    }

    // Brings the bundle to where the scenario's transaction starts and
    // returns the command that runs it.
    std::vector<std::string> prepare(const Scenario& scenario) {
        if (scenario.kind != "quarantine") {
            demo->expectSuccess({"quarantine", scenario.product, scenario.format});
        }
        if (scenario.kind == "trash-restore") {
            demo->expectSuccess({"trash", scenario.product, scenario.format});
            return {"trash-restore", openRecordOf(scenario)};
        }
        return {scenario.kind, scenario.product, scenario.format};
    }

    RunLoopExecutor executor;
};

TEST_F(TransactionCrashTest, EveryCrashPointOfEveryKindIsRecoveredFromTheDisk) {
    const std::vector<std::string> points{std::string(crashPoints::journalSaved),
                                          std::string(crashPoints::helperReplied),
                                          std::string(crashPoints::commitApplied)};
    const std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> bundlesByKind{
        {"quarantine", {{"FabFilter Pro-Q 3", "AU"}, {"FabFilter Pro-Q 3", "VST3"}, {"FabFilter Pro-Q 3", "CLAP"}}},
        {"restore", {{"Ozone 11", "AAX"}, {"Ozone 11", "AU"}, {"Ozone 11", "VST3"}}},
        {"trash",
         {{"Cradle The God Particle", "AU"}, {"Cradle The God Particle", "VST3"}, {"ValhallaVintageVerb", "VST2"}}},
        {"trash-restore", {{"Tape Echo", "AU"}, {"Acme Reverb", "VST3"}, {"Diva", "CLAP"}}},
    };
    int scenarios = 0;
    for (const auto& [kind, bundles] : bundlesByKind) {
        for (std::size_t p = 0; p < points.size(); ++p) {
            const Scenario scenario{kind, points[p], bundles[p].first, bundles[p].second};
            SCOPED_TRACE(kind + "." + scenario.point + " on " + scenario.product + " " + scenario.format);
            const auto command = prepare(scenario);
            const auto before = census(demo->layout());
            const auto historyBefore = savedState().history.size();

            const auto crashed = demo->run(command, {"KESTROVA_CRASH_AT=" + kind + "." + scenario.point});
            ASSERT_EQ(crashed.killedBySignal, SIGKILL) << "exit " << crashed.exitCode << ": " << crashed.err;

            // The journal is in the file; the disk alone shows how far it got.
            const auto journal = journalOf(savedState(), kind);
            ASSERT_TRUE(journal) << "the crashed run left no one-item journal";
            const bool moved = scenario.point != crashPoints::journalSaved;
            EXPECT_EQ(existsAt(journal->sourcePath), !moved);
            EXPECT_EQ(existsAt(journal->destinationPath), moved);
            EXPECT_EQ(census(demo->layout()), before) << "a bundle was lost, damaged or copied";

            const auto store = openStore();
            EXPECT_FALSE(store->hasPendingPrivilegedTransaction()) << store->lastOperationError().value_or("");
            EXPECT_FALSE(store->lastOperationError());
            EXPECT_FALSE(journalOf(savedState(), kind));
            expectInventoryMatchesDisk(*store);
            const auto committed =
                std::count_if(store->history().begin(), store->history().end(),
                              [&](const auto& item) { return item.transactionID == journal->transactionID; });
            EXPECT_EQ(committed, moved ? 1 : 0);
            EXPECT_EQ(store->history().size(), historyBefore + (moved ? 1u : 0u));
            EXPECT_EQ(census(demo->layout()), before) << "recovery touched a bundle";
            ++scenarios;
        }
    }
    EXPECT_EQ(scenarios, 12);

    // After all that, the CLI still carries out transactions normally.
    demo->expectSuccess({"restore", "Ozone 11", "--all-formats"});
}

}  // namespace
}  // namespace kestrova::testing
