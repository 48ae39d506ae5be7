// The Linux profile from the command line: a tree laid out as a Linux
// machine, scanned, and one CLAP file and one VST3 bundle taken through
// quarantine, restore, the freedesktop Trash and back by the real helper,
// also when the plug-ins are on another file system than the home.
#include "CliProcess.h"

#include "platform/Elf.h"
#include "platform/FreedesktopTrash.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

namespace kestrova::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace fs = std::filesystem;

// The home comes from $HOME and its data folder from $XDG_DATA_HOME, as on
// a desktop, so the helper must find the Trash where the front end does.
class LinuxProfileCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::access(cliExecutable().c_str(), X_OK), 0) << "build kestrova_app_bundle first";
        const auto object = syntheticElfHeader(elf::machineX86_64, true) + std::string(4000, 'x');
        writeFile(layout.systemRoot + "/usr/lib/clap/Synth.clap", object);
        writeFile(layout.systemRoot + "/usr/lib/vst3/Wide Verb 100%.vst3/Contents/x86_64-linux/Wide Verb 100%.so",
                  object);
        writeFile(layout.systemRoot + "/usr/lib/vst3/Wide Verb 100%.vst3/Contents/Resources/moduleinfo.json",
                  R"({"Name": "Wide Verb", "Version": "2.0", "Factory Info": {"Vendor": "Acme"}})");
        directory.writeFile(
            "home/.lv2/gate.lv2/manifest.ttl",
            "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n<urn:gate> a lv2:Plugin ; lv2:binary <gate.so> .\n");
        directory.makeDirectory("home/data");
    }
    void TearDown() override { run({"helper", "disable"}); }

    static void writeFile(const std::string& path, std::string_view contents) {
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << contents;
    }
    ProcessOutcome run(std::vector<std::string> arguments, std::vector<std::string> extra = {}) const {
        arguments.insert(arguments.begin(), {cliExecutable(), "--root", layout.systemRoot, "--profile", "linux"});
        extra.push_back("HOME=" + layout.home);
        extra.push_back("XDG_DATA_HOME=" + layout.home + "/data");
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

// Plug-ins on a file system of their own (tmpfs here), the home elsewhere:
// a move into the home Trash would have to copy, so the plug-ins' own file
// system keeps the Trash, at its top folder.
class LinuxOtherFileSystemTest : public LinuxProfileCommandTest {
protected:
    void SetUp() override {
        struct stat shm {};
        struct stat home {};
        if (::stat("/dev/shm", &shm) != 0 || ::stat(directory.path().c_str(), &home) != 0 ||
            shm.st_dev == home.st_dev || ::access("/dev/shm", W_OK) != 0) {
            GTEST_SKIP() << "/dev/shm is not a separate writable file system here";
        }
        plugins = std::make_unique<TemporaryDirectory>("/dev/shm");
        layout.systemRoot = plugins->path();
        trash = "/dev/shm/.Trash-" + std::to_string(::getuid());
        trashExisted = fs::exists(trash);
        LinuxProfileCommandTest::SetUp();
    }
    void TearDown() override {
        if (!plugins) {
            return;
        }
        LinuxProfileCommandTest::TearDown();
        std::error_code ignored;
        for (const auto& name : {"files/" + clapName(), "info/" + clapName() + ".trashinfo"}) {
            fs::remove_all(trash + "/" + name, ignored);
        }
        if (!trashExisted) {
            fs::remove(trash + "/files", ignored);
            fs::remove(trash + "/info", ignored);
            fs::remove(trash, ignored);
        }
    }
    // Unique, since the tmpfs Trash outlives the test.
    std::string clapName() const { return "Synth " + fs::path(plugins->path()).filename().string() + ".clap"; }

    std::unique_ptr<TemporaryDirectory> plugins;
    std::string trash;
    bool trashExisted = false;
};

TEST_F(LinuxProfileCommandTest, ScanQuarantineRestoreTrashAndTrashRestore) {
    expectSuccess({"authorize", layout.systemRoot + "/usr", layout.home});
    auto step = expectSuccess({"scan"});
    step = expectSuccess({"list"});
    EXPECT_THAT(step.out, HasSubstr("Wide Verb"));
    EXPECT_THAT(step.out, HasSubstr("Synth"));
    EXPECT_THAT(step.out, HasSubstr("gate"));
    expectSuccess({"helper", "enable"});

    const auto clap = layout.systemRoot + "/usr/lib/clap/Synth.clap";
    const auto vst3 = layout.systemRoot + "/usr/lib/vst3/Wide Verb 100%.vst3";
    const auto clapBytes = readWholeFile(clap);
    const auto vst3Bytes = contentsBelow(vst3);

    step = expectSuccess({"quarantine", "Synth", "CLAP"});
    EXPECT_FALSE(fs::exists(clap));
    const auto quarantine = layout.systemRoot + "/var/lib/kestrova/quarantine";
    ASSERT_TRUE(fs::is_directory(quarantine));
    step = expectSuccess({"restore", "Synth", "CLAP"});
    EXPECT_EQ(readWholeFile(clap), clapBytes);

    // A bundle in the home goes to the user side's own quarantine.
    expectSuccess({"quarantine", "gate", "LV2"});
    EXPECT_FALSE(fs::exists(directory / "home/.lv2/gate.lv2"));
    ASSERT_TRUE(fs::is_directory(layout.home + "/data/Kestrova/Quarantine"));
    expectSuccess({"restore", "gate", "LV2"});
    EXPECT_TRUE(fs::exists(directory / "home/.lv2/gate.lv2"));

    expectSuccess({"quarantine", "Synth", "CLAP"});
    expectSuccess({"quarantine", "Wide Verb", "VST3"});
    step = expectSuccess({"trash", "Synth", "CLAP"});
    step = expectSuccess({"trash", "Wide Verb", "VST3"});

    // What a file manager sees: each item in files/ with its record in info/,
    // the record naming where the item was before Kestrova took it out of
    // service, percent-encoded, so restoring it there puts it back in use.
    const auto trash = layout.home + "/data/Trash";
    EXPECT_EQ(readWholeFile(trash + "/files/Synth.clap"), clapBytes);
    EXPECT_EQ(contentsBelow(trash + "/files/Wide Verb 100%.vst3"), vst3Bytes);
    const auto infoText = readWholeFile(trash + "/info/Wide Verb 100%.vst3.trashinfo");
    EXPECT_THAT(infoText, StartsWith("[Trash Info]\nPath=" + percentEncodedTrashPath(vst3) + "\nDeletionDate="));
    EXPECT_THAT(infoText, HasSubstr("/usr/lib/vst3/Wide%20Verb%20100%25.vst3\n"));
    const auto info = parseTrashInfo(infoText);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->path, vst3);
    EXPECT_EQ(info->deletionDate.size(), 19u);
    EXPECT_EQ(parseTrashInfo(readWholeFile(trash + "/info/Synth.clap.trashinfo"))->path, clap);
    EXPECT_FALSE(fs::exists(layout.home + "/.local"));

    step = expectSuccess({"trash-records"});
    EXPECT_THAT(step.out, HasSubstr("Synth"));
    step = expectSuccess({"trash-restore", "--all-ready"});
    EXPECT_EQ(readWholeFile(clap), clapBytes);
    EXPECT_EQ(contentsBelow(vst3), vst3Bytes);
    // The records went with the items: nothing is left for a file manager.
    EXPECT_TRUE(fs::is_empty(trash + "/files"));
    EXPECT_TRUE(fs::is_empty(trash + "/info"));
    // Texts name the Trash as the desktop does.
    const auto none = run({"trash-restore", "--all-ready"});
    EXPECT_EQ(none.exitCode, 3);
    EXPECT_THAT(none.err, HasSubstr("No Trash recovery record is ready to restore."));
    EXPECT_THAT(expectSuccess({"trash", "--help"}).out, HasSubstr("on to the Trash (recoverable)"));
}

TEST_F(LinuxOtherFileSystemTest, TrashOnThePlugInsFileSystemWithARecordRelativeToItsTop) {
    const auto clap = layout.systemRoot + "/usr/lib/clap/" + clapName();
    fs::rename(layout.systemRoot + "/usr/lib/clap/Synth.clap", clap);
    const auto clapBytes = readWholeFile(clap);
    expectSuccess({"authorize", layout.systemRoot + "/usr", layout.home});
    expectSuccess({"scan"});
    expectSuccess({"helper", "enable"});
    const auto name = fs::path(clapName()).stem().string();
    expectSuccess({"quarantine", name, "CLAP"});
    expectSuccess({"trash", name, "CLAP"});

    EXPECT_TRUE(readWholeFile(trash + "/files/" + clapName()) == clapBytes);
    EXPECT_FALSE(fs::exists(layout.home + "/data/Trash/files/" + clapName()));
    struct stat folder {};
    ASSERT_EQ(::lstat(trash.c_str(), &folder), 0);
    EXPECT_TRUE(S_ISDIR(folder.st_mode));
    EXPECT_EQ(folder.st_uid, ::getuid());
    if (!trashExisted) {
        EXPECT_EQ(folder.st_mode & 07777, 0700u);
    }
    // Below a top folder the record names the place relative to it.
    const auto info = parseTrashInfo(readWholeFile(trash + "/info/" + clapName() + ".trashinfo"));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->path, clap.substr(std::string("/dev/shm/").size()));

    expectSuccess({"trash-restore", "--all-ready"});
    EXPECT_TRUE(readWholeFile(clap) == clapBytes);
    EXPECT_FALSE(fs::exists(trash + "/files/" + clapName()));
    EXPECT_FALSE(fs::exists(trash + "/info/" + clapName() + ".trashinfo"));
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
