#include "session/InstalledSession.h"
#include "session/SessionOptions.h"
#include "support/TemporaryDirectory.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace kestrova::testing {
namespace {

using ::testing::HasSubstr;

using Variables = std::vector<std::pair<const char*, std::string>>;

// Clears the variables a session reads and sets those of one case; a test
// process has no use for the ones it inherited.
class Environment {
public:
    explicit Environment(const Variables& values) {
        clear();
        for (const auto& [name, value] : values) {
            ::setenv(name, value.c_str(), 1);
        }
    }
    ~Environment() { clear(); }

private:
    static void clear() {
        for (const char* name : {"KESTROVA_ROOT", "KESTROVA_PROFILE", "XDG_DATA_HOME"}) {
            ::unsetenv(name);
        }
    }
};

TEST(SessionOptions, OptionsAndEnvironmentNameTheLayoutOrSayWhyNot) {
    TemporaryDirectory directory;
    const auto root = directory.makeDirectory("root");
    const auto home = directory.makeDirectory("home");
    directory.makeSymlink(root, "linked-root");
    const auto envRoot = directory.makeDirectory("env-root");
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(directory.path());
    const struct {
        session::SessionOptions options;
        Variables environment;
        std::string systemRoot;  // or the error's text
        PlatformProfile profile;
    } cases[] = {
        // A sandbox root lays out the macOS way unless a profile is named.
        {{root, home, "", ""}, {}, root, PlatformProfile::macOS},
        {{"", home, "", ""}, {{"KESTROVA_ROOT", envRoot}}, envRoot, PlatformProfile::macOS},
        {{"", home, "", ""}, {}, "/", PlatformProfile::gnuLinux},
        {{root, home, "", "linux"}, {}, root, PlatformProfile::gnuLinux},
        {{root, home, "", ""}, {{"KESTROVA_PROFILE", "linux"}}, root, PlatformProfile::gnuLinux},
        {{root, home, "", "macos"}, {{"KESTROVA_PROFILE", "linux"}}, root, PlatformProfile::macOS},
        // Relative and linked folders become the real absolute ones.
        {{"linked-root", home, "", ""}, {}, root, PlatformProfile::macOS},
        {{"./root/", home, "", ""}, {}, root, PlatformProfile::macOS},
        // The profile is checked before the folders; folders are named as given.
        {{"missing", home, "", "beos"}, {}, "beos", {}},
        {{"", home, "", ""}, {{"KESTROVA_PROFILE", "beos"}}, "beos", {}},
        {{"./missing/", home, "", ""}, {}, "The system root “./missing/” is not an existing folder.", {}},
        {{root, "home/x", "", ""}, {}, "The home folder “home/x” is not an existing folder.", {}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.options.root + " " + test.options.profile);
        const Environment environment(test.environment);
        const auto layout = session::resolvedLayout(test.options, realFileSystem());
        if (!layout) {
            EXPECT_THAT(layout.error().message, HasSubstr(test.systemRoot));
            continue;
        }
        EXPECT_EQ(layout->systemRoot, test.systemRoot);
        EXPECT_EQ(layout->home, home);
        EXPECT_EQ(layout->profile, test.profile);
    }
    // The data home goes with the environment's home, never with a home named by option.
    const Environment environment(Variables{{"XDG_DATA_HOME", "/srv/data"}});
    EXPECT_EQ(session::namedLayout({root, "", "", ""})->dataHome, "/srv/data");
    EXPECT_EQ(session::namedLayout({root, home, "", ""})->dataHome, "");
    std::filesystem::current_path(previous);
}

TEST(InstalledSession, OnlyTheLinuxProfileAsksAUserSideAndTheWaitIsToldOncePerSecond) {
    for (const auto profile : {PlatformProfile::macOS, PlatformProfile::gnuLinux}) {
        const auto lookups = session::helperTransactionLookups({"/r", "/h", profile}, {});
        EXPECT_TRUE(lookups.system);
        EXPECT_EQ(static_cast<bool>(lookups.user), profile == PlatformProfile::gnuLinux);
    }
    std::ostringstream out;
    const auto report = session::recoveryWaitReport(out);
    for (const int waited : {0, 250, 999, 1000, 1750, 3100}) {
        report("T1", std::chrono::milliseconds(waited));
    }
    EXPECT_EQ(out.str(),
              "Waiting for KestrovaHelper to finish transaction T1 (0 s)…\n"
              "Waiting for KestrovaHelper to finish transaction T1 (1 s)…\n"
              "Waiting for KestrovaHelper to finish transaction T1 (3 s)…\n");
}

}  // namespace
}  // namespace kestrova::testing
