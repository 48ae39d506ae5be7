// The app bundle the build assembles, and the readiness checks and
// registration settings that read it.
#include "HelperSandbox.h"
#include "helperclient/ApplicationBundle.h"
#include "helperclient/HelperEnvironment.h"
#include "platform/PropertyList.h"

#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace kestrova::testing {
namespace {
namespace fs = std::filesystem;

const std::string builtBundle = std::string(KESTROVA_BINARY_DIR) + "/Kestrova.app";

TEST(BundleLayout, TheBuildAssemblesABundleTheReadinessChecksAccept) {
    const auto bundle = readApplicationBundle(builtBundle);
    EXPECT_EQ(bundle.shortVersion, "1.0.1");
    EXPECT_EQ(bundle.build, "40");
    EXPECT_EQ(bundle.clientVersion(), "Kestrova 1.0.1 (Build 40)");
    EXPECT_EQ(locateApplicationBundle(builtBundle + "/Contents/MacOS/kestrova-cli").bundlePath, builtBundle);
    EXPECT_FALSE(locateApplicationBundle(std::string(KESTROVA_BINARY_DIR) + "/src/cli/kestrova-cli").bundlePath);

    const auto daemonPlist = parsePropertyListDictionary(readWholeFile(*bundle.daemonPlistPath()));
    ASSERT_TRUE(daemonPlist);
    EXPECT_EQ(daemonPlist->at("Label"), "com.tolvanek.Kestrova.helper");
    EXPECT_EQ(daemonPlist->at("BundleProgram"), "Contents/MacOS/KestrovaHelper");
    const auto service = readWholeFile(*bundle.systemdUnitFolder() + "/kestrova-helper.service");
    EXPECT_NE(service.find("ExecStart=\"" + *bundle.helperExecutablePath() + "\""), std::string::npos);
    EXPECT_NE(readWholeFile(*bundle.systemdUnitFolder() + "/kestrova-helper.socket").find(systemdSocketPath),
              std::string::npos);

    // Nothing listens at the socket, so only the handshake check fails.
    RunLoopExecutor executor;
    const auto readiness = [&](const ApplicationBundleInfo& info) {
        auto management = PluginManagementService::create(
            executor, std::make_shared<FixedRegistration>(HelperEndpoint{"/nonexistent/helper.sock", 0}),
            [] {
                return makeSocketHelperConnection({"/nonexistent/helper.sock", 0});
            },
            info);
        executor.runUntil([&] { return management->outstandingCalls() == 0; });
        return management->readinessChecks();
    };
    const auto checks = readiness(bundle);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_TRUE(checks[i].passed) << checks[i].id;
    }
    EXPECT_FALSE(checks[4].passed);

    // A bundle missing its launch daemon list says so.
    TemporaryDirectory copy;
    fs::copy(builtBundle, copy / "Kestrova.app", fs::copy_options::recursive);
    fs::remove(copy / "Kestrova.app/Contents/Library/LaunchDaemons/com.tolvanek.Kestrova.helper.plist");
    const auto partial = readiness(readApplicationBundle(copy / "Kestrova.app"));
    EXPECT_TRUE(partial[1].passed);
    EXPECT_EQ(partial[2].detail, "The launch daemon property list is missing.");
}

TEST(BundleLayout, RegistrationSettingsFromTheEnvironment) {
    ::setenv("KESTROVA_HELPER_MODE", "system", 1);
    auto configuration = helperRegistrationConfiguration({"/r", "/h"}, readApplicationBundle(builtBundle));
    ASSERT_TRUE(configuration);
    EXPECT_EQ(configuration->mode, HelperMode::system);
    EXPECT_EQ(configuration->helperExecutable, builtBundle + "/Contents/MacOS/KestrovaHelper");
    EXPECT_EQ(makeServiceRegistration(*configuration)->endpoint(), (HelperEndpoint{std::string(systemdSocketPath), 0}));
    EXPECT_EQ(configuration->allowedClients.front(), HelperSandbox::selfExecutable());

    ::setenv("KESTROVA_HELPER_MODE", "launchd", 1);
    EXPECT_FALSE(helperRegistrationConfiguration({"/r", "/h"}, {}).ok());
    ::unsetenv("KESTROVA_HELPER_MODE");
    configuration = helperRegistrationConfiguration({"/r", "/h"}, {});
    EXPECT_EQ(configuration->mode, HelperMode::session);
    EXPECT_NE(defaultSessionFolder({"/r", "/h"}), defaultSessionFolder({"/r", "/other"}));

    EXPECT_EQ(systemdStateFromIsEnabled("enabled\n", true), ServiceRegistrationState::enabled);
    EXPECT_EQ(systemdStateFromIsEnabled("masked\n", true), ServiceRegistrationState::requiresApproval);
    EXPECT_EQ(systemdStateFromIsEnabled("disabled\n", true), ServiceRegistrationState::notRegistered);
    EXPECT_EQ(systemdStateFromIsEnabled("Failed to get unit file state for kestrova-helper.socket: No such file or "
                                        "directory\n",
                                        true),
              ServiceRegistrationState::notRegistered);
    EXPECT_EQ(systemdStateFromIsEnabled("enabled\n", false), ServiceRegistrationState::notFound);
    EXPECT_EQ(systemdStateFromIsEnabled("bad\n", true), ServiceRegistrationState::unknown);
}

}  // namespace
}  // namespace kestrova::testing
