// The Linux profile from the command line: a tree laid out as a Linux
// machine, scanned, and one CLAP file and one VST3 bundle taken through
// quarantine, restore, the freedesktop Trash and back by the real helper.
#include "CliProcess.h"

#include "platform/Elf.h"
#include "platform/FreedesktopTrash.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace kestrova::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace fs = std::filesystem;

class LinuxProfileCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::access(cliExecutable().c_str(), X_OK), 0) << "build kestrova_app_bundle first";
        const auto object = syntheticElfHeader(elf::machineX86_64, true) + std::string(4000, 'x');
        directory.writeFile("root/usr/lib/clap/Synth.clap", object);
        directory.writeFile("root/usr/lib/vst3/Wide Verb 100%.vst3/Contents/x86_64-linux/Wide Verb 100%.so", object);
        directory.writeFile("root/usr/lib/vst3/Wide Verb 100%.vst3/Contents/Resources/moduleinfo.json",
                            R"({"Name": "Wide Verb", "Version": "2.0", "Factory Info": {"Vendor": "Acme"}})");
        directory.writeFile("home/.lv2/gate.lv2/manifest.ttl", "");
        directory.makeDirectory("home/.local");
    }
    void TearDown() override { run({"helper", "disable"}); }

    ProcessOutcome run(std::vector<std::string> arguments, std::vector<std::string> extra = {}) const {
        arguments.insert(arguments.begin(),
                         {cliExecutable(), "--root", layout.systemRoot, "--home", layout.home, "--profile", "linux"});
        extra.push_back("KESTROVA_HELPER_MODE=session");
        extra.push_back("KESTROVA_HELPER_SESSION_DIR=" + (directory / "session"));
        return runProcess(arguments, extra, directory.path());
    }
    ProcessOutcome expectSuccess(std::vector<std::string> arguments) const {
        auto outcome = run(arguments);
        EXPECT_EQ(outcome.exitCode, 0) << "kestrova-cli " << arguments.front() << ": " << outcome.err;
        return outcome;
    }

    TemporaryDirectory directory;
    SystemLayout layout{directory / "root", directory / "home", PlatformProfile::gnuLinux};
};

TEST_F(LinuxProfileCommandTest, ScanQuarantineRestoreTrashAndTrashRestore) {
    expectSuccess({"authorize", layout.systemRoot + "/usr", layout.home});
    auto step = expectSuccess({"scan"});
    step = expectSuccess({"list"});
    EXPECT_THAT(step.out, HasSubstr("Wide Verb"));
    EXPECT_THAT(step.out, HasSubstr("Synth"));
    EXPECT_THAT(step.out, HasSubstr("gate"));
    expectSuccess({"helper", "enable"});

    const auto clap = directory / "root/usr/lib/clap/Synth.clap";
    const auto vst3 = directory / "root/usr/lib/vst3/Wide Verb 100%.vst3";
    const auto clapBytes = directory.readFile("root/usr/lib/clap/Synth.clap");
    const auto vst3Bytes = contentsBelow(vst3);

    step = expectSuccess({"quarantine", "Synth", "CLAP"});
    EXPECT_FALSE(fs::exists(clap));
    const auto quarantine = directory / "root/var/lib/kestrova/quarantine";
    ASSERT_TRUE(fs::is_directory(quarantine));
    step = expectSuccess({"restore", "Synth", "CLAP"});
    EXPECT_EQ(directory.readFile("root/usr/lib/clap/Synth.clap"), clapBytes);

    // A home folder on the user's side is never a place the helper moves from.
    const auto home = run({"quarantine", "gate", "LV2"});
    EXPECT_EQ(home.exitCode, 1);
    EXPECT_THAT(home.err, HasSubstr("is not a verified bundle in a standard plugin folder"));
    EXPECT_TRUE(fs::exists(directory / "home/.lv2/gate.lv2"));

    expectSuccess({"quarantine", "Synth", "CLAP"});
    expectSuccess({"quarantine", "Wide Verb", "VST3"});
    step = expectSuccess({"trash", "Synth", "CLAP"});
    step = expectSuccess({"trash", "Wide Verb", "VST3"});

    // What a file manager sees: each item in files/ with its record in info/,
    // the record naming where the item was, percent-encoded.
    const auto trash = directory / "home/.local/share/Trash";
    EXPECT_EQ(directory.readFile("home/.local/share/Trash/files/Synth.clap"), clapBytes);
    EXPECT_EQ(contentsBelow(trash + "/files/Wide Verb 100%.vst3"), vst3Bytes);
    const auto infoText = directory.readFile("home/.local/share/Trash/info/Wide Verb 100%.vst3.trashinfo");
    EXPECT_THAT(infoText, StartsWith("[Trash Info]\nPath=" + percentEncodedTrashPath(quarantine)));
    EXPECT_THAT(infoText, HasSubstr("/Wide%20Verb%20100%25.vst3\nDeletionDate="));
    const auto info = parseTrashInfo(infoText);
    ASSERT_TRUE(info);
    EXPECT_THAT(info->path, StartsWith(quarantine + "/"));
    EXPECT_THAT(info->path, ::testing::EndsWith("/Wide Verb 100%.vst3"));
    EXPECT_EQ(info->deletionDate.size(), 19u);
    EXPECT_TRUE(parseTrashInfo(directory.readFile("home/.local/share/Trash/info/Synth.clap.trashinfo")));

    step = expectSuccess({"trash-records"});
    EXPECT_THAT(step.out, HasSubstr("Synth"));
    step = expectSuccess({"trash-restore", "--all-ready"});
    EXPECT_EQ(directory.readFile("root/usr/lib/clap/Synth.clap"), clapBytes);
    EXPECT_EQ(contentsBelow(vst3), vst3Bytes);
    // The records went with the items: nothing is left for a file manager.
    EXPECT_TRUE(fs::is_empty(trash + "/files"));
    EXPECT_TRUE(fs::is_empty(trash + "/info"));
}

TEST_F(LinuxProfileCommandTest, AnUnknownProfileIsRefusedBeforeAnythingIsWritten) {
    const auto bad = runProcess(
        {cliExecutable(), "--root", layout.systemRoot, "--home", layout.home, "--profile", "windows", "scan"}, {},
        directory.path());
    EXPECT_NE(bad.exitCode, 0);
    EXPECT_THAT(bad.err, HasSubstr("windows"));
    const auto fromEnvironment =
        runProcess({cliExecutable(), "--root", layout.systemRoot, "--home", layout.home, "scan"},
                   {"KESTROVA_PROFILE=beos"}, directory.path());
    EXPECT_NE(fromEnvironment.exitCode, 0);
    EXPECT_FALSE(fs::exists(directory / "home/.local/share/Kestrova"));
    EXPECT_FALSE(fs::exists(directory / "home/Library"));
}

}  // namespace
}  // namespace kestrova::testing
