// The app bundle the build assembles, the registration settings that read it,
// and the systemd side as far as it runs without systemd as init. The
// installed package itself is scripts/test-package's.
#include "HelperSandbox.h"
#include "helperclient/ApplicationBundle.h"
#include "helperclient/HelperEnvironment.h"
#include "platform/ChildProcess.h"
#include "platform/PropertyList.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace kestrova::testing {
namespace {
namespace fs = std::filesystem;
using ::testing::HasSubstr;

const std::string builtBundlePath = std::string(KESTROVA_BINARY_DIR) + "/Kestrova.app";

const ApplicationBundleInfo& builtBundle() {
    static const auto bundle = readApplicationBundle(builtBundlePath);
    return bundle;
}

std::string unitPath(std::string_view unit) { return *builtBundle().systemdUnitFolder() + "/" + std::string(unit); }

bool onPath(const std::string& program) {
    const auto found = runCommand({"sh", "-c", "command -v \"$1\"", "sh", program});
    return found && found->exitCode == 0;
}

TEST(Systemd, TheShippedUnitsVerify) {
    if (!onPath("systemd-analyze")) {
        GTEST_SKIP() << "systemd's tools are not installed";
    }
    const auto verified =
        runCommand({"systemd-analyze", "verify", unitPath(systemdSocketUnit), unitPath(systemdServiceUnit)});
    ASSERT_TRUE(verified.ok());
    EXPECT_EQ(verified->exitCode, 0) << verified->output;
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

    std::string calls() const { return folder_ / "calls"; }
    void answerIsEnabled(const std::string& text) const { std::ofstream(folder_ / "state") << text << '\n'; }
    void refuse() const { std::ofstream(folder_ / "refuse") << ""; }

private:
    TemporaryDirectory folder_;
    std::string savedPath_;
};

// The bundle's units are linked and its polkit action copied in first and taken
// away with them; a package's are enabled where they are, and need its action.
TEST(Systemd, TheBackendDrivesSystemctlForTheBundlesUnitsAndThePackages) {
    const auto bundlePolicy = builtBundlePath + "/Contents/Library/polkit/" + std::string(polkitPolicyFile);
    const auto text = readWholeFile(bundlePolicy);
    EXPECT_THAT(text, HasSubstr("<action id=\"com.tolvanek.Kestrova.helper-enable\">"));
    EXPECT_THAT(text, HasSubstr("<annotate key=\"org.freedesktop.policykit.exec.path\">" + builtBundlePath +
                                "/Contents/MacOS/kestrova-cli</annotate>"));
    if (onPath("xmllint")) {
        const auto checked = runCommand({"xmllint", "--noout", "--nonet", bundlePolicy});
        ASSERT_TRUE(checked.ok());
        EXPECT_EQ(checked->exitCode, 0) << checked->output;
    }

    for (const bool packaged : {false, true}) {
        SCOPED_TRACE(packaged ? "packaged units" : "the bundle's units");
        FakeSystemctl systemctl;
        TemporaryDirectory polkit;
        ServiceRegistrationConfiguration configuration;
        configuration.mode = HelperMode::system;
        configuration.helperExecutable = *builtBundle().helperExecutablePath();
        configuration.unitFolder = *builtBundle().systemdUnitFolder();
        configuration.polkitActionFolder = polkit.path();
        configuration.packagedUnits = packaged;
        if (packaged) {
            polkit.writeFile(std::string(polkitPolicyFile), "<policyconfig/>");
        }
        const auto registration = makeSystemdServiceRegistration(configuration);
        systemctl.answerIsEnabled("disabled");
        EXPECT_EQ(registration->status(), ServiceRegistrationState::notRegistered);
        ASSERT_TRUE(registration->registerService().ok());
        const auto linked =
            "link " + unitPath(systemdServiceUnit) + " " + unitPath(systemdSocketUnit) + "\ndaemon-reload\n";
        EXPECT_EQ(readWholeFile(systemctl.calls()), "is-enabled kestrova-helper.socket\n" + (packaged ? "" : linked) +
                                                        "enable --now kestrova-helper.socket\n");
        EXPECT_EQ(polkit.readFile(polkitPolicyFile), packaged ? "<policyconfig/>" : text);
        systemctl.answerIsEnabled("enabled");
        EXPECT_EQ(registration->status(), ServiceRegistrationState::enabled);
        ASSERT_TRUE(registration->unregisterService().ok());
        EXPECT_EQ(polkit.exists(polkitPolicyFile), packaged);

        if (packaged) {
            fs::remove(polkit / polkitPolicyFile);
            EXPECT_EQ(registration->status(), ServiceRegistrationState::notFound);
            EXPECT_FALSE(registration->registerService().ok());
            continue;
        }
        systemctl.refuse();
        const auto refused = registration->unregisterService();
        ASSERT_FALSE(refused.ok());
        EXPECT_THAT(refused.error().message, HasSubstr("systemd did not accept the change: Access denied"));
        // Units missing from the installation: nothing is asked of systemd.
        configuration.unitFolder = "/nonexistent";
        const auto callsBefore = readWholeFile(systemctl.calls());
        const auto registered = makeSystemdServiceRegistration(configuration)->registerService();
        ASSERT_FALSE(registered.ok());
        EXPECT_THAT(registered.error().message, HasSubstr("missing from “/nonexistent”"));
        EXPECT_EQ(readWholeFile(systemctl.calls()), callsBefore);
    }

    // Root runs systemctl itself; anyone else asks polkit, by the package's
    // action when there is an approving front end.
    const std::vector<std::string> enable{"systemctl", "enable", "--now", "kestrova-helper.socket"};
    const std::vector<std::tuple<bool, std::string, std::vector<std::string>>> cases{
        {true, "/usr/bin/kestrova-cli", enable},
        {false, "/usr/bin/kestrova-cli", {"pkexec", "/usr/bin/kestrova-cli", "helper", "enable"}},
        {false, "", {"pkexec", "systemctl", "enable", "--now", "kestrova-helper.socket"}},
    };
    for (const auto& [root, frontEnd, expected] : cases) {
        EXPECT_EQ(administratorCommand(enable, "enable", root, frontEnd), expected) << root << frontEnd;
    }
}

TEST(BundleLayout, TheBuildAssemblesABundleAndAMissingPartIsSeen) {
    const auto bundle = builtBundle();
    EXPECT_EQ(locateApplicationBundle(builtBundlePath + "/Contents/MacOS/kestrova-cli").bundlePath, builtBundlePath);
    EXPECT_FALSE(locateApplicationBundle(std::string(KESTROVA_BINARY_DIR) + "/src/cli/kestrova-cli").bundlePath);
    EXPECT_FALSE(bundle.polkitActionFolder());
    const auto daemonPlist = parsePropertyListDictionary(readWholeFile(*bundle.daemonPlistPath()));
    ASSERT_TRUE(daemonPlist);
    EXPECT_EQ(daemonPlist->at("Label"), "com.tolvanek.Kestrova.helper");
    EXPECT_EQ(daemonPlist->at("BundleProgram"), "Contents/MacOS/KestrovaHelper");
    const auto service = readWholeFile(*bundle.systemdUnitFolder() + "/kestrova-helper.service");
    EXPECT_NE(service.find("ExecStart=\"" + *bundle.helperExecutablePath() + "\""), std::string::npos);
    EXPECT_NE(readWholeFile(*bundle.systemdUnitFolder() + "/kestrova-helper.socket").find(systemdSocketPath),
              std::string::npos);

    TemporaryDirectory copy;
    fs::copy(builtBundlePath, copy / "Kestrova.app", fs::copy_options::recursive);
    fs::remove(copy / "Kestrova.app/Contents/Library/LaunchDaemons/com.tolvanek.Kestrova.helper.plist");
    RunLoopExecutor executor;
    const HelperEndpoint nowhere{"/nonexistent/helper.sock", 0};
    auto management = PluginManagementService::create(
        executor, std::make_shared<FixedRegistration>(nowhere), [&] { return makeSocketHelperConnection(nowhere); },
        readApplicationBundle(copy / "Kestrova.app"));
    executor.runUntil([&] { return management->outstandingCalls() == 0; });
    const auto checks = management->readinessChecks();
    EXPECT_TRUE(checks[1].passed);
    EXPECT_FALSE(checks[2].passed);
}

TEST(BundleLayout, RegistrationSettingsFromTheEnvironment) {
    ::setenv("KESTROVA_HELPER_MODE", "system", 1);
    auto configuration = helperRegistrationConfiguration({"/r", "/h"}, builtBundle());
    ASSERT_TRUE(configuration);
    EXPECT_EQ(configuration->mode, HelperMode::system);
    EXPECT_EQ(configuration->helperExecutable, builtBundlePath + "/Contents/MacOS/KestrovaHelper");
    EXPECT_EQ(makeServiceRegistration(*configuration)->endpoint(), (HelperEndpoint{std::string(systemdSocketPath), 0}));
    EXPECT_EQ(configuration->allowedClients.front(), HelperSandbox::selfExecutable());
    // The Linux profile's registration names polkit's folder under the root.
    const auto linuxConfiguration =
        helperRegistrationConfiguration({"/r", "/h", PlatformProfile::gnuLinux}, builtBundle());
    ASSERT_TRUE(linuxConfiguration);
    EXPECT_EQ(linuxConfiguration->polkitActionFolder, "/r/usr/share/polkit-1/actions");

    ::setenv("KESTROVA_HELPER_MODE", "launchd", 1);
    EXPECT_FALSE(helperRegistrationConfiguration({"/r", "/h"}, {}).ok());
    ::unsetenv("KESTROVA_HELPER_MODE");
    // The development build stays in session mode by default.
    configuration = helperRegistrationConfiguration({"/r", "/h"}, builtBundle());
    EXPECT_EQ(configuration->mode, HelperMode::session);
    EXPECT_NE(defaultSessionFolder({"/r", "/h"}), defaultSessionFolder({"/r", "/other"}));
    // A daemon of one profile or data home never serves another's front end.
    SystemLayout linuxLayout{"/r", "/h", PlatformProfile::gnuLinux};
    EXPECT_NE(defaultSessionFolder(linuxLayout), defaultSessionFolder({"/r", "/h"}));
    const auto linuxFolder = defaultSessionFolder(linuxLayout);
    linuxLayout.dataHome = "/h/data";
    EXPECT_NE(defaultSessionFolder(linuxLayout), linuxFolder);

    using enum ServiceRegistrationState;
    for (const auto& [answer, unitsThere, state] :
         {std::tuple{"enabled\n", true, enabled},
          {"masked\n", true, requiresApproval},
          {"disabled\n", true, notRegistered},
          {"Failed to get unit file state for kestrova-helper.socket: No such file or directory\n", true,
           notRegistered},
          {"enabled\n", false, notFound},
          {"bad\n", true, unknown}}) {
        EXPECT_EQ(systemdStateFromIsEnabled(answer, unitsThere), state) << answer;
    }
}

// A GNU-layout install prefix whose programs are stand-ins: only their places are read.
struct InstalledPrefix : TemporaryDirectory {
    InstalledPrefix() {
        for (const auto* program : {"bin/kestrova-cli", "bin/kestrova", "libexec/kestrova/KestrovaHelper"}) {
            ::chmod(writeFile(program, "#!/bin/sh\n").c_str(), 0755);
        }
    }
};

TEST(InstalledLayout, AFrontEndInBinUsesThePackagedUnitsAndNothingElseCounts) {
    const InstalledPrefix prefix;
    const auto installed = installedApplication(prefix / "bin/kestrova");
    ASSERT_TRUE(installed);
    ::unsetenv("KESTROVA_HELPER_MODE");
    const SystemLayout sandbox{"/r", "/h", PlatformProfile::gnuLinux};
    const auto configuration = helperRegistrationConfiguration(sandbox, *installed);
    ASSERT_TRUE(configuration);
    EXPECT_EQ(configuration->mode, HelperMode::system);
    EXPECT_TRUE(configuration->packagedUnits);
    EXPECT_EQ(configuration->unitFolder, KESTROVA_SYSTEMD_UNIT_DIR);
    EXPECT_EQ(configuration->polkitActionFolder, prefix / "share/polkit-1/actions");
    EXPECT_EQ(configuration->approvingFrontEnd, prefix / "bin/kestrova-cli");
    ::setenv("KESTROVA_HELPER_MODE", "session", 1);
    EXPECT_EQ(helperRegistrationConfiguration(sandbox, *installed)->mode, HelperMode::session);
    ::unsetenv("KESTROVA_HELPER_MODE");

    const InstalledPrefix notExecutable;
    ::chmod((notExecutable / "libexec/kestrova/KestrovaHelper").c_str(), 0644);
    const InstalledPrefix folderInstead;
    fs::remove(folderInstead / "libexec/kestrova/KestrovaHelper");
    fs::create_directories(folderInstead / "libexec/kestrova/KestrovaHelper");
    const InstalledPrefix missing;
    fs::remove(missing / "libexec/kestrova/KestrovaHelper");
    for (const auto& executable :
         {prefix / "libexec/kestrova/kestrova-cli", prefix / "sbin/kestrova-cli", notExecutable / "bin/kestrova-cli",
          folderInstead / "bin/kestrova-cli", missing / "bin/kestrova-cli"}) {
        EXPECT_FALSE(installedApplication(executable)) << executable;
        EXPECT_FALSE(locateApplicationBundle(executable).bundlePath) << executable;
    }
}

}  // namespace
}  // namespace kestrova::testing
