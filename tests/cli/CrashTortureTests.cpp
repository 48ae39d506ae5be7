// A cleanup run over 600 bundles (three child transactions) with kestrova-cli
// or KestrovaHelper killed with SIGKILL at a random moment, round after
// round; the next command's start recovers. After every recovery each bundle
// exists exactly once, byte for byte, where the inventory says; every run
// can be restored; restoring them all gives back the original tree.
//
// KESTROVA_TORTURE_ROUNDS (default 20), KESTROVA_TORTURE_SECONDS (default
// 150: no round starts after that) and KESTROVA_TORTURE_SEED set the run.
#include "CliProcess.h"
#include "store/TransactionFixtures.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <random>
#include <thread>

namespace kestrova::testing {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

long environmentNumber(const char* name, long fallback) {
    const char* value = std::getenv(name);
    return value && *value ? std::strtol(value, nullptr, 10) : fallback;
}

// 300 products with AU, VST2 and VST3 bundles, written straight into the
// inventory; the helper enabled for the sandbox.
class CrashTortureTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::access(cliExecutable().c_str(), X_OK), 0) << "build kestrova_app_bundle first";
        layout = SystemLayout{directory.makeDirectory("root"), directory.makeDirectory("home")};
        auto state = minimalState();
        for (int index = 1; index <= 300; ++index) {
            state.plugins.push_back(
                productOnDisk(layout, "Acme", fmt::format("Synth {:03}", index), {"AU", "VST2", "VST3"}));
            for (const auto& bundle : *state.plugins.back().bundles) {
                originals[bundle.path] = contentsBelow(bundle.path);
            }
        }
        ASSERT_TRUE(writePersistedInventory(state, layout, realFileSystem()).ok());
        originalTree = contentsBelow(layout.system("/Library/Audio"));
        const auto enabled = cli({"helper", "enable"});
        ASSERT_EQ(enabled.exitCode, 0) << enabled.err;
    }
    void TearDown() override { cli({"helper", "disable"}); }

    std::vector<std::string> environment() const {
        return {"KESTROVA_HELPER_MODE=session", "KESTROVA_HELPER_SESSION_DIR=" + (directory / "session"),
                "KESTROVA_RECOVERY_WAIT_MS=60000"};
    }
    std::vector<std::string> command(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), {cliExecutable(), "--root", layout.systemRoot, "--home", layout.home});
        return arguments;
    }
    ProcessOutcome cli(std::vector<std::string> arguments) const {
        return runProcess(command(std::move(arguments)), environment(), directory.path());
    }
    pid_t daemonPid() const { return std::atoi(readWholeFile(directory / "session/helper.pid").c_str()); }
    PersistedInventory saved() const {
        auto loaded = readPersistedInventory(inventoryStateURL(layout), realFileSystem());
        EXPECT_TRUE(loaded.ok());
        return loaded.ok() ? loaded->state : PersistedInventory{};
    }

    // Every bundle once, byte for byte, where the saved inventory says.
    void expectInventoryAndDiskAgree(const PersistedInventory& state) const {
        EXPECT_FALSE(state.pendingPrivilegedQuarantine) << "a quarantine journal was left";
        EXPECT_FALSE(state.pendingPrivilegedRestore) << "a restore journal was left";
        std::size_t bundles = 0;
        for (const auto& product : state.plugins) {
            for (const auto& bundle : product.bundles.value_or(std::vector<PluginBundleRecord>{})) {
                ++bundles;
                const auto original = bundle.originalPath.value_or(bundle.path);
                const auto where = bundle.quarantinePath.value_or(original);
                ASSERT_TRUE(originals.contains(original)) << original;
                EXPECT_EQ(contentsBelow(where), originals.at(original)) << where;
                if (bundle.quarantinePath) {
                    EXPECT_FALSE(existsAt(original)) << original << " is also in quarantine";
                }
            }
        }
        EXPECT_EQ(bundles, 900u);
        EXPECT_EQ(bundlesOnDisk(layout), 900u) << "a bundle was lost or copied";
        for (const auto& run : state.formatCleanupRuns.value_or(std::vector<FormatCleanupRunRecord>{})) {
            EXPECT_NE(run.status, FormatCleanupRunStatus::pending) << "run " << run.id.string() << " left pending";
        }
    }

    // Every run with bundles in quarantine goes back as a run.
    void restoreEveryRun(const PersistedInventory& state) const {
        std::set<std::string> runs;
        for (const auto& product : state.plugins) {
            for (const auto& bundle : product.bundles.value_or(std::vector<PluginBundleRecord>{})) {
                if (bundle.quarantinePath && bundle.presetRunID) {
                    runs.insert(bundle.presetRunID->string());
                }
            }
        }
        for (const auto& run : runs) {
            const auto restored = cli({"cleanup", "restore-run", run});
            EXPECT_EQ(restored.exitCode, 0) << "restore-run " << run << ": " << restored.err;
        }
    }

    TemporaryDirectory directory;
    SystemLayout layout;
    std::map<std::string, std::map<std::string, std::string>> originals;
    std::map<std::string, std::string> originalTree;
};

TEST_F(CrashTortureTest, KilledAtRandomMomentsEveryRoundRecoversWithNothingStranded) {
    const auto rounds = environmentNumber("KESTROVA_TORTURE_ROUNDS", 20);
    const auto budget = std::chrono::seconds(environmentNumber("KESTROVA_TORTURE_SECONDS", 150));
    const auto seed = static_cast<unsigned>(environmentNumber("KESTROVA_TORTURE_SEED", 18));
    std::mt19937 random(seed);
    const auto started = std::chrono::steady_clock::now();
    int played = 0;
    int cliKills = 0;
    int daemonKills = 0;
    int missed = 0;
    int journalsLeft = 0;  // kills that left a child transaction's journal behind
    // The kill window follows how long an unhurt run takes here.
    auto window = 1500ms;
    for (; played < rounds && std::chrono::steady_clock::now() - started < budget; ++played) {
        SCOPED_TRACE(fmt::format("round {} (seed {})", played + 1, seed));
        const bool killDaemon = random() % 2 == 1;
        const auto delay = std::chrono::milliseconds(random() % static_cast<unsigned>(window.count()));
        const auto runStart = std::chrono::steady_clock::now();
        const pid_t run = spawnProcess(command({"cleanup", "run", "auOnly"}), environment(), directory / "run.out",
                                       directory / "run.err");
        ASSERT_GT(run, 0);
        std::this_thread::sleep_for(delay);
        int status = 0;
        const bool stillRunning = ::waitpid(run, &status, WNOHANG) == 0;
        if (stillRunning) {
            ::kill(killDaemon ? daemonPid() : run, SIGKILL);
            (killDaemon ? daemonKills : cliKills) += 1;
            while (::waitpid(run, &status, 0) < 0 && errno == EINTR) {
            }
        } else {
            ++missed;
            window = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - runStart);
        }

        if (stillRunning && saved().pendingPrivilegedQuarantine) {
            ++journalsLeft;
        }
        // The next command's start recovers (and restarts a killed daemon).
        const auto recovered = cli({"list"});
        ASSERT_NE(recovered.exitCode, -1);
        const auto state = saved();
        expectInventoryAndDiskAgree(state);
        if (::testing::Test::HasFailure()) {
            ADD_FAILURE() << "list said: " << recovered.err
                          << "\nthe run said: " << readWholeFile(directory / "run.err");
            break;
        }
        restoreEveryRun(state);
        const auto back = saved();
        expectInventoryAndDiskAgree(back);
        EXPECT_EQ(contentsBelow(layout.system("/Library/Audio")), originalTree) << "the tree did not come back";
        if (::testing::Test::HasFailure()) {
            break;
        }
    }
    std::cout << fmt::format(
        "crash torture: {} rounds, {} kestrova-cli kills, {} KestrovaHelper kills ({} left a journal behind), {} runs "
        "that ended first (seed {})\n",
        played, cliKills, daemonKills, journalsLeft, missed, seed);
    EXPECT_GE(played, std::min<long>(rounds, 3));
}

}  // namespace
}  // namespace kestrova::testing
