// quarantine, restore, trash and trash-restore from the command line against
// the real helper daemon on a demo tree, and the helper commands that start it.
#include "CliProcess.h"

#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace kestrova::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace fs = std::filesystem;

using TransactionCommandTest = DemoCliTest;

TEST_F(TransactionCommandTest, TheWholeCycleReturnsTheSameBytesToTheSamePlace) {
    const auto vst3 = demo->system("/Library/Audio/Plug-Ins/VST3/FabFilter Pro-Q 3.vst3");
    const auto bytes = contentsBelow(vst3);
    ASSERT_FALSE(bytes.empty());

    auto step = demo->expectSuccess({"quarantine", "FabFilter Pro-Q 3", "VST3"});
    EXPECT_THAT(step.out, StartsWith("Plugins Moved to Quarantine: 1 format bundles moved through the "
                                     "administrator-approved helper as one verified transaction.\n"));
    EXPECT_FALSE(fs::exists(vst3));

    step = demo->expectSuccess({"restore", "fabfilter pro-q 3", "vst3"});
    EXPECT_THAT(step.out, StartsWith("Plugins Restored: 1 format bundles returned"));
    EXPECT_EQ(contentsBelow(vst3), bytes);

    demo->expectSuccess({"quarantine", "FabFilter Pro-Q 3", "--all-formats"});
    step = demo->expectSuccess({"trash", "FabFilter Pro-Q 3", "VST3", "AU"});
    EXPECT_THAT(step.out, StartsWith("Plugins Moved to Finder Trash: 2 format bundles moved"));
    const auto inTrash = demo->layout().trashFolder() + "/FabFilter Pro-Q 3.vst3";
    EXPECT_EQ(contentsBelow(inTrash), bytes);

    // A record named by the start of its id.
    const auto state = savedState();
    std::string vst3Record;
    for (const auto& record : *state.trashedBundles) {
        if (record.format == "VST3") {
            vst3Record = record.id.string().substr(0, 8);
        }
    }
    step = demo->expectSuccess({"trash-restore", vst3Record});
    EXPECT_THAT(step.out, StartsWith("Plugins Restored from Finder Trash: 1 format bundles returned to their exact "
                                     "recorded original locations. Run a read-only scan to refresh Inventory.\n"));
    EXPECT_EQ(contentsBelow(vst3), bytes);
    EXPECT_FALSE(fs::exists(inTrash));

    step = demo->expectSuccess({"trash-restore", "--all-ready"});
    EXPECT_TRUE(fs::exists(demo->system("/Library/Audio/Plug-Ins/Components/FabFilter Pro-Q 3.component")));
    step = demo->run({"trash-restore", "--all-ready"});
    EXPECT_EQ(step.exitCode, 3);
    EXPECT_THAT(step.err,
                HasSubstr("No Finder Trash recovery record is ready to restore. No plugin files were moved."));

    // The rest of the product is still quarantined; a later scan sees the
    // returned bundles again.
    step = demo->expectSuccess({"restore", "FabFilter Pro-Q 3", "--all-formats"});
    EXPECT_THAT(step.out, StartsWith("Plugins Restored: 2 format bundles"));
}

TEST_F(TransactionCommandTest, RefusalsFailAndMoveNothing) {
    const auto shell = demo->run({"quarantine", "WaveShell1-AU 14.12", "AU"});
    EXPECT_EQ(shell.exitCode, 3);
    EXPECT_EQ(shell.err,
              "Privileged Quarantine Blocked: WaveShell1-AU 14.12 — AU: Shared shells and WaveShell-hosted products "
              "cannot be moved as independent bundles.\n");

    const auto unknown = demo->run({"quarantine", "Nothing Like It", "VST3"});
    EXPECT_EQ(unknown.exitCode, 3);
    EXPECT_THAT(unknown.err, HasSubstr("No plugin files were moved."));

    const auto notQuarantined = demo->run({"restore", "Ozone 11", "VST3"});
    EXPECT_EQ(notQuarantined.exitCode, 3);
    EXPECT_EQ(notQuarantined.err,
              "Privileged Restore Blocked: Ozone 11 — VST3: The verified quarantine record is missing or no longer "
              "matches disk.\n");

    demo->expectSuccess({"helper", "disable"});
    const auto disabled = demo->run({"quarantine", "Ozone 11", "VST3"});
    EXPECT_EQ(disabled.exitCode, 3);
    EXPECT_THAT(disabled.err, StartsWith("Enable Plugin Management before moving system plugin bundles. No plugin "
                                         "files were moved."));
    EXPECT_TRUE(fs::exists(demo->system("/Library/Audio/Plug-Ins/VST3/Ozone 11.vst3")));
    EXPECT_FALSE(savedState().pendingPrivilegedQuarantine) << "no journal is written without a helper";

    // A command line that cannot be carried out is a usage error, whatever the inventory holds.
    const auto both = demo->run({"quarantine", "Ozone 11", "VST3", "--all-formats"});
    EXPECT_EQ(both.exitCode, 2);
    EXPECT_EQ(both.err, "Give the formats or --all-formats, not both. No plugin files were moved.\n");
    EXPECT_EQ(demo->run({"trash-restore"}).exitCode, 2);
    EXPECT_EQ(demo->run({"quarantine"}).exitCode, 2);
}

// The daemon's private folder is named after the sandbox, so the sandbox
// must be named the same way however the paths were typed.
TEST(HelperCommands, ARelativeRootReachesTheDaemonEnabledForItsRealPath) {
    TemporaryDirectory folder;
    const auto demo = folder / "demo";
    ASSERT_EQ(runProcess({cliExecutable(), "demo", demo}, {}, folder.path()).exitCode, 0);
    const auto runtime = folder.makeDirectory("runtime");
    ::chmod(runtime.c_str(), 0700);
    const std::vector<std::string> environment{"KESTROVA_HELPER_MODE=session", "XDG_RUNTIME_DIR=" + runtime};
    const auto cli = [&](const fs::path& root, const fs::path& home, const std::string& action) {
        return runProcess({cliExecutable(), "--root", root, "--home", home, "helper", action}, environment,
                          folder.path());
    };
    const auto root = fs::path(demo) / "root";
    const auto home = fs::path(demo) / "home";

    const auto enabled = cli(fs::relative(root), fs::relative(home) / "Library" / "..", "enable");
    ASSERT_EQ(enabled.exitCode, 0) << enabled.err;
    const auto status = cli(root, home, "status");
    EXPECT_THAT(status.out, HasSubstr("Secure handshake: Connected")) << status.err;
    EXPECT_EQ(cli(root, home, "disable").exitCode, 0);
}

}  // namespace
}  // namespace kestrova::testing
