// The helper commands that start the session daemon for a sandbox.
#include "CliProcess.h"

#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace kestrova::testing {
namespace {

using ::testing::HasSubstr;

namespace fs = std::filesystem;

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
