// kestrova-cli killed at the crash points between a cleanup run's chunks and
// between the two steps of the permanent-quarantine enforcement a scan runs,
// against the real helper daemon on a demo tree.
#include "CliProcess.h"
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
