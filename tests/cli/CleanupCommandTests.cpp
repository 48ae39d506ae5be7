// cleanup preview|run|runs|restore-run, and permanent-quarantine enforcement
// after `scan`, from the command line against the real helper daemon on a
// demo tree; and kestrova-cli killed at the crash points between a run's
// chunks and between enforcement's two steps.
#include "CliProcess.h"
#include "planning/FormatCleanupPlan.h"
#include "platform/Text.h"
#include "store/journal/CrashPoint.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace kestrova::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::SizeIs;

namespace fs = std::filesystem;

class CleanupCommandTest : public DemoCliTest {
protected:
    // An installer puts a changed copy of a quarantined bundle back, in a
    // vendor folder beside where the old one was.
    std::string reinstall(const std::string& name, const std::string& vendor) const {
        const auto copy = demo->system("/Library/Audio/Plug-Ins/VST3/" + vendor + "/" + name + ".vst3");
        const auto state = savedState();
        for (const auto& product : state.plugins) {
            for (const auto& bundle : product.bundles.value_or(std::vector<PluginBundleRecord>{})) {
                if (product.name == name && bundle.format == "VST3" && bundle.isQuarantined()) {
                    fs::create_directories(fs::path(copy).parent_path());
                    fs::copy(*bundle.quarantinePath, copy, fs::copy_options::recursive);
                    std::ofstream(fs::path(copy) / "Contents" / "Reinstalled") << "new build";
                    return copy;
                }
            }
        }
        ADD_FAILURE() << "no quarantined VST3 bundle of " << name;
        return copy;
    }
};

TEST_F(CleanupCommandTest, PreviewRunAndRestoreARunFromTheCommandLine) {
    auto step = demo->expectSuccess({"cleanup", "preview", "retireVST2", "--json"});
    const auto plan = JsonCoder<FormatCleanupPlan>::decode(Json::parse(step.out), "");
    EXPECT_EQ(plan.preset, FormatCleanupPresetKind::retireVST2);
    std::vector<std::string> ticked;
    for (const auto& candidate : plan.candidates) {
        if (candidate.selectedByDefault) {
            ticked.push_back(candidate.path);
        }
    }
    ASSERT_THAT(ticked, SizeIs(1));
    const auto vst2 = ticked.front();
    const auto bytes = contentsBelow(vst2);

    step = demo->expectSuccess({"cleanup", "run", "retireVST2"});
    EXPECT_THAT(step.out, HasSubstr("Cleanup Preset Completed: 1 reviewed format bundles moved into reversible "
                                    "quarantine\n"));
    EXPECT_FALSE(fs::exists(vst2));
    const auto runs = *savedState().formatCleanupRuns;
    ASSERT_THAT(runs, SizeIs(1));
    EXPECT_EQ(runs.front().status, FormatCleanupRunStatus::completed);

    step = demo->expectSuccess({"cleanup", "runs"});
    EXPECT_THAT(step.out, HasSubstr("Retire VST2"));
    EXPECT_THAT(step.out, HasSubstr("1 format bundle remain in Quarantine"));

    // A run named by the start of its id, in any letter case.
    const auto prefix = lowercased(runs.front().id.string().substr(0, 8));
    step = demo->expectSuccess({"cleanup", "restore-run", prefix});
    EXPECT_THAT(step.out, HasSubstr("Plugins Restored: 1 format bundles returned"));
    EXPECT_EQ(contentsBelow(vst2), bytes);

    step = demo->run({"cleanup", "restore-run", prefix});
    EXPECT_EQ(step.exitCode, 3);
    EXPECT_THAT(step.err, HasSubstr("No plugin files were moved."));

    step = demo->run({"cleanup", "run", "everything"});
    EXPECT_EQ(step.exitCode, 2);
    EXPECT_THAT(step.err, HasSubstr("“everything” is not a cleanup preset."));
}

TEST_F(CleanupCommandTest, AScanReplacesAReinstalledBundleUnderAPermanentQuarantineRule) {
    demo->expectSuccess({"rule", "on", "FabFilter"});
    demo->expectSuccess({"quarantine", "FabFilter Pro-Q 3", "VST3"});
    const auto copy = reinstall("FabFilter Pro-Q 3", "FabFilter");

    // Which copy went where is the store's enforcement test, on the same daemon.
    const auto step = demo->expectSuccess({"scan"});
    EXPECT_THAT(step.out, HasSubstr("Permanent Quarantine replaced 1 exact bundle copy: old copies are in Finder "
                                    "Trash and replacements are safely quarantined."));
    EXPECT_FALSE(fs::exists(copy));
}

TEST_F(CleanupCommandTest, KilledBetweenChunksOrBetweenTheTrashAndTheQuarantineStepNothingIsLost) {
    if (!crashPointsEnabled()) {
        GTEST_SKIP() << "this build has no crash points (KESTROVA_FAULT_INJECTION is off)";
    }
    // A run killed after its chunk was committed is closed at the next start.
    auto before = census(demo->layout(), true);
    auto crashed = demo->run({"cleanup", "run", "auOnly"}, {"KESTROVA_CRASH_AT=cleanup-run.chunk-committed"});
    ASSERT_EQ(crashed.killedBySignal, SIGKILL) << "exit " << crashed.exitCode << ": " << crashed.err;
    EXPECT_EQ(census(demo->layout(), true), before);
    EXPECT_EQ(savedState().formatCleanupRuns->front().status, FormatCleanupRunStatus::pending);
    // Start-up closes the run; it says so on stderr, beside the listing.
    auto step = demo->expectSuccess({"cleanup", "runs"});
    EXPECT_THAT(step.err, HasSubstr("Cleanup Preset Completed: "));
    EXPECT_EQ(savedState().formatCleanupRuns->front().status, FormatCleanupRunStatus::completed);
    demo->expectSuccess({"cleanup", "restore-run", savedState().formatCleanupRuns->front().id.string()});

    // Enforcement killed after the old copy reached the Trash: the new copy
    // stays installed, the old one is recoverable, no journal waits.
    demo->expectSuccess({"rule", "on", "Cradle"});
    demo->expectSuccess({"quarantine", "Cradle The God Particle", "VST3"});
    const auto copy = reinstall("Cradle The God Particle", "Cradle");
    before = census(demo->layout(), true);
    crashed = demo->run({"scan"}, {"KESTROVA_CRASH_AT=enforcement.trash-committed"});
    ASSERT_EQ(crashed.killedBySignal, SIGKILL) << "exit " << crashed.exitCode << ": " << crashed.err;
    EXPECT_EQ(census(demo->layout(), true), before);
    const auto state = savedState();
    EXPECT_FALSE(state.pendingPrivilegedTrash);
    EXPECT_FALSE(state.pendingPrivilegedQuarantine);
    ASSERT_THAT(*state.trashedBundles, SizeIs(1));
    EXPECT_TRUE(fs::exists(state.trashedBundles->front().trashPath));
    EXPECT_TRUE(fs::exists(copy));

    // The next scan finds nothing left to replace and leaves the copy be.
    step = demo->expectSuccess({"scan"});
    EXPECT_THAT(step.out, ::testing::Not(HasSubstr("Permanent Quarantine")));
    EXPECT_TRUE(fs::exists(copy));
    EXPECT_EQ(census(demo->layout(), true), before);
}

}  // namespace
}  // namespace kestrova::testing
