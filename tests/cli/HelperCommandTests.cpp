// kestrova-cli and a helper that answers a byte every 0.6 s under 1.5 s
// deadlines: kestrova-cli ends when the deadline passes, not when the reply
// is done, and says what timed out, what is known about the moves and what
// to run next. The stand-in runs in this test and is
// registered as the session daemon: this process is what its pid file names.
#include "CliProcess.h"
#include "support/HelperSession.h"
#include "support/StandInHelper.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

namespace kestrova::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using Clock = std::chrono::steady_clock;

namespace fs = std::filesystem;

// Under 1.5 s deadlines a call ends within a few seconds; the smallest
// trickled reply takes most of a minute.
constexpr auto ample = std::chrono::seconds(10);

TEST(TricklingHelperCommand, ATrickledHandshakeOrReplyEndsAtTheDeadlineAndSaysWhatToRun) {
    ASSERT_EQ(::access(cliExecutable().c_str(), X_OK), 0) << "build kestrova_app_bundle first";
    const TemporaryDirectory directory;
    const SystemLayout layout{directory / "demo/root", directory / "demo/home"};
    const auto session = directory / "session";
    const auto run = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {cliExecutable(), "--root", layout.systemRoot, "--home", layout.home,
                                             "--au-registry", directory / "demo/au-registry.json"});
        return runProcess(
            arguments,
            {"KESTROVA_HELPER_MODE=session", "KESTROVA_HELPER_SESSION_DIR=" + session,
             "KESTROVA_HELPER_EXECUTABLE=" + HelperSandbox::selfExecutable(), "KESTROVA_HELPER_TIMEOUT_MS=1500"},
            directory.path());
    };
    ASSERT_EQ(runProcess({cliExecutable(), "demo", directory / "demo"}, {}, directory.path()).exitCode, 0);
    ASSERT_EQ(run({"authorize", layout.systemRoot + "/Library"}).exitCode, 0);
    ASSERT_EQ(run({"scan"}).exitCode, 0);
    // The session daemon registered and "running" as this process, where the stand-in listens.
    fs::create_directories(session);
    ::chmod(session.c_str(), 0700);
    std::ofstream(session + "/registered") << HelperSandbox::selfExecutable() << '\n';
    std::ofstream(session + "/helper.pid") << ::getpid() << '\n';
    const auto socketPath = session + "/helper.sock";
    const auto vst3 = layout.system("/Library/Audio/Plug-Ins/VST3/FabFilter Pro-Q 3.vst3");

    {
        const StandInHelper standIn(socketPath, StandInHelper::Stall::tricklingHandshake);
        auto started = Clock::now();
        const auto refused = run({"quarantine", "FabFilter Pro-Q 3", "VST3"});
        EXPECT_LT(Clock::now() - started, ample);
        EXPECT_EQ(refused.exitCode, 3);
        // The timeout's own words are the service's; the advice is the command line's.
        EXPECT_THAT(refused.err, HasSubstr("within 1.5 seconds. Check it with “kestrova-cli helper status”; if it "
                                           "still does not answer, “kestrova-cli helper repair” restarts it.\n"));
        started = Clock::now();
        const auto status = run({"helper", "status"});
        EXPECT_LT(Clock::now() - started, ample);
        EXPECT_EQ(status.exitCode, 0);
        EXPECT_THAT(status.out, HasSubstr("Secure handshake: Not Connected"));
        EXPECT_THAT(status.out, HasSubstr("“kestrova-cli helper repair” restarts it."));
    }
    EXPECT_TRUE(fs::exists(vst3));

    const StandInHelper standIn(socketPath, StandInHelper::Stall::tricklingReply);
    const auto started = Clock::now();
    const auto timedOut = run({"quarantine", "FabFilter Pro-Q 3", "VST3"});
    EXPECT_LT(Clock::now() - started, ample);
    EXPECT_EQ(timedOut.exitCode, 1);
    EXPECT_THAT(timedOut.out, Not(HasSubstr("Plugins Moved")));
    EXPECT_THAT(timedOut.err, HasSubstr("Quarantine Needs Attention: "));
    EXPECT_THAT(timedOut.err,
                HasSubstr("The helper may still be moving these bundles: do not move them by hand. Check it with "
                          "“kestrova-cli helper status”; if it still does not answer, “kestrova-cli helper repair” "
                          "restarts it."));
    EXPECT_TRUE(readPersistedInventory(inventoryStateURL(layout), realFileSystem())->state.pendingPrivilegedQuarantine)
        << "the outcome is unknown, so the journal stays";
    EXPECT_TRUE(fs::exists(vst3));
}

}  // namespace
}  // namespace kestrova::testing
