// The systemd side of a real installation, as far as it can run without
// systemd as the init process: the shipped units pass systemd's own checks,
// the daemon serves a listening socket handed over the way systemd hands it
// (systemd-socket-activate sets LISTEN_FDS and LISTEN_PID), and the backend
// drives systemctl with the commands an installation needs.
#include "HelperSandbox.h"
#include "helperclient/ApplicationBundle.h"
#include "platform/ChildProcess.h"
#include "platform/Text.h"
#include "platform/Uuid.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace kestrova::testing {
namespace {
namespace fs = std::filesystem;
using ::testing::HasSubstr;

const ApplicationBundleInfo& builtBundle() {
    static const auto bundle = readApplicationBundle(std::string(KESTROVA_BINARY_DIR) + "/Kestrova.app");
    return bundle;
}

std::string unitPath(std::string_view unit) { return *builtBundle().systemdUnitFolder() + "/" + std::string(unit); }

// Where PATH finds a program, if anywhere.
std::optional<std::string> programPath(const std::string& name) {
    const auto found = runCommand({"sh", "-c", "command -v \"$1\"", "sh", name});
    if (!found || found->exitCode != 0) {
        return std::nullopt;
    }
    return trimmedWhitespace(found->output);
}

TEST(Systemd, TheShippedUnitsVerifyAndTheDaemonServesTheSocketSystemdPasses) {
    const auto activate = programPath("systemd-socket-activate");
    if (!programPath("systemd-analyze") || !activate) {
        GTEST_SKIP() << "systemd's tools are not installed";
    }
    const auto verified =
        runCommand({"systemd-analyze", "verify", unitPath(systemdSocketUnit), unitPath(systemdServiceUnit)});
    ASSERT_TRUE(verified.ok());
    EXPECT_EQ(verified->exitCode, 0) << verified->output;

    HelperSandbox sandbox;
    const auto started =
        startDetached({*activate, "--listen", sandbox.socketPath(), HelperSandbox::helperExecutable(), "--root",
                       sandbox.layout().systemRoot, "--allow-client", HelperSandbox::selfExecutable()},
                      sandbox.sessionFolder() + "/activation.log");
    ASSERT_TRUE(started.ok());
    for (int tick = 0; tick < 500 && !sandbox.exists(sandbox.socketPath()); ++tick) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    {
        ServiceHarness harness(std::make_shared<FixedRegistration>(sandbox.endpoint()));
        auto& service = harness.service();
        ASSERT_TRUE(service.helperIsReachable()) << service.lastError().value_or("") << "\n"
                                                 << readWholeFile(sandbox.sessionFolder() + "/activation.log");
        EXPECT_EQ(service.helperVersion(), "40");

        const auto operationID = Uuid::random().string();
        const auto source = sandbox.makeBundle(sandbox.pluginPath("A.vst3"));
        const auto destination = sandbox.quarantinePath(operationID, "A.vst3");
        std::vector<PrivilegedQuarantineResult> results;
        service.sendQuarantine(Uuid::random().string(), {{source, destination, operationID}},
                               [&](PrivilegedQuarantineResult result) { results.push_back(std::move(result)); });
        harness.settle();
        ASSERT_EQ(results.size(), 1u);
        EXPECT_TRUE(results.front().succeeded) << results.front().message;
        EXPECT_TRUE(sandbox.hasWholeBundle(destination, source));
    }
    ::kill(-*started, SIGTERM);
    for (int tick = 0; tick < 500 && isProcessRunning(*started); ++tick) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_FALSE(isProcessRunning(*started)) << "the daemon outlived SIGTERM";
}

// A systemctl on PATH that records its arguments, answers is-enabled from a
// file, and refuses everything once told to.
class FakeSystemctl {
public:
    FakeSystemctl() {
        const auto script = folder_ / "systemctl";
        std::ofstream(script) << "#!/bin/sh\n"
                              << "echo \"$*\" >> '" << calls() << "'\n"
                              << "if [ -e '" << (folder_ / "refuse") << "' ]; then echo 'Access denied'; exit 1; fi\n"
                              << "if [ \"$1\" = is-enabled ]; then cat '" << (folder_ / "state") << "'; fi\n";
        ::chmod(script.c_str(), 0755);
        savedPath_ = std::getenv("PATH") ? std::getenv("PATH") : "";
        ::setenv("PATH", (folder_.path() + ":" + savedPath_).c_str(), 1);
    }
    ~FakeSystemctl() { ::setenv("PATH", savedPath_.c_str(), 1); }
    FakeSystemctl(const FakeSystemctl&) = delete;
    FakeSystemctl& operator=(const FakeSystemctl&) = delete;

    std::string calls() const { return folder_ / "calls"; }
    void answerIsEnabled(const std::string& text) const { std::ofstream(folder_ / "state") << text << '\n'; }
    void refuse() const { std::ofstream(folder_ / "refuse") << ""; }

private:
    TemporaryDirectory folder_;
    std::string savedPath_;
};

TEST(Systemd, TheBackendDrivesSystemctlAndReadsItsAnswers) {
    FakeSystemctl systemctl;
    ServiceRegistrationConfiguration configuration;
    configuration.mode = HelperMode::system;
    configuration.helperExecutable = *builtBundle().helperExecutablePath();
    configuration.unitFolder = *builtBundle().systemdUnitFolder();
    const auto registration = makeSystemdServiceRegistration(configuration);

    systemctl.answerIsEnabled("disabled");
    EXPECT_EQ(registration->status(), ServiceRegistrationState::notRegistered);
    ASSERT_TRUE(registration->registerService().ok());
    EXPECT_EQ(readWholeFile(systemctl.calls()), "is-enabled kestrova-helper.socket\nlink " +
                                                    unitPath(systemdServiceUnit) + " " + unitPath(systemdSocketUnit) +
                                                    "\ndaemon-reload\nenable --now kestrova-helper.socket\n");
    systemctl.answerIsEnabled("enabled");
    EXPECT_EQ(registration->status(), ServiceRegistrationState::enabled);

    systemctl.refuse();
    const auto refused = registration->unregisterService();
    ASSERT_FALSE(refused.ok());
    EXPECT_THAT(refused.error().message, HasSubstr("systemd did not accept the change: Access denied"));

    // Units missing from the installation: nothing is asked of systemd.
    configuration.unitFolder = "/nonexistent";
    const auto incomplete = makeSystemdServiceRegistration(configuration);
    const auto callsBefore = readWholeFile(systemctl.calls());
    const auto registered = incomplete->registerService();
    ASSERT_FALSE(registered.ok());
    EXPECT_THAT(registered.error().message, HasSubstr("missing from “/nonexistent”"));
    EXPECT_EQ(readWholeFile(systemctl.calls()), callsBefore);
}

}  // namespace
}  // namespace kestrova::testing
