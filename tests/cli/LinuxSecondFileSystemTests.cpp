// The Linux profile with the system side's plug-ins on a file system of their
// own (a tmpfs mounted for the test): trashed there into $topdir/.Trash-$uid,
// the user side's into the home Trash, and trash-cli, as a desktop user runs
// it in the same session, lists both at their original paths and puts each
// back where it was installed.
#include "CliProcess.h"

#include "platform/Elf.h"
#include "platform/FreedesktopTrash.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

namespace kestrova::testing {
namespace {

using ::testing::HasSubstr;

namespace fs = std::filesystem;

class LinuxSecondFileSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::access(cliExecutable().c_str(), X_OK), 0) << "build kestrova_app_bundle first";
        if (::mount("kestrova-test", mountPoint.c_str(), "tmpfs", 0, "size=16m") != 0) {
            GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno) << ")";
        }
        mounted = true;
        for (const auto& path : {echoClap, echoVst2}) {
            fs::create_directories(fs::path(path).parent_path());
            std::ofstream(path, std::ios::binary) << syntheticElfHeader(elf::machineX86_64, true) + path;
        }
        fs::create_directories(dataHome);
    }
    void TearDown() override {
        if (mounted) {
            run({"helper", "disable"});
            ::umount2(mountPoint.c_str(), MNT_DETACH);
        }
    }

    std::vector<std::string> environment() const {
        return {"HOME=" + home, "XDG_DATA_HOME=" + dataHome, "KESTROVA_HELPER_MODE=session",
                "KESTROVA_HELPER_SESSION_DIR=" + (directory / "session")};
    }
    ProcessOutcome run(const std::vector<std::string>& arguments, const std::string& program = cliExecutable()) const {
        std::vector<std::string> command{program};
        if (program == cliExecutable()) {
            command.insert(command.end(), {"--root", root, "--profile", "linux"});
        }
        command.insert(command.end(), arguments.begin(), arguments.end());
        auto outcome = runProcess(command, environment(), directory.path());
        EXPECT_EQ(outcome.exitCode, 0) << command[1] << " " << arguments.front() << ": " << outcome.err;
        return outcome;
    }
    ProcessOutcome trashCli(const std::string& script) const { return run({"-c", script}, "/bin/sh"); }
    std::map<std::string, std::string> bundleFiles() const {
        std::map<std::string, std::string> files;
        std::error_code ignored;  // a folder not made yet holds nothing
        for (const auto& folder : {home + "/.vst", dataHome + "/Kestrova/Quarantine", dataHome + "/Trash/files",
                                   root + "/usr/lib", root + "/var/lib/kestrova"}) {
            for (const auto& entry : fs::recursive_directory_iterator(folder, fs::directory_options::none, ignored)) {
                if (entry.is_regular_file()) {
                    files[entry.path().filename().string()] += readWholeFile(entry.path().string());
                }
            }
        }
        return files;
    }

    TemporaryDirectory directory;
    std::string mountPoint = directory.makeDirectory("mnt");
    std::string root = mountPoint + "/root";
    std::string home = directory.makeDirectory("home");
    std::string dataHome = home + "/data";
    std::string echoClap = root + "/usr/lib/clap/Echo.clap";
    std::string echoVst2 = home + "/.vst/Echo.so";
    bool mounted = false;
};

TEST_F(LinuxSecondFileSystemTest, KestrovaAndTrashCliRestoreBothSidesAtTheirOriginalPaths) {
    run({"authorize", root + "/usr", home});
    run({"scan"});
    run({"helper", "enable"});
    const auto before = bundleFiles();
    const auto topdirTrash = mountPoint + "/.Trash-" + std::to_string(::getuid());
    const auto trashBoth = [&] {
        run({"quarantine", "Echo", "CLAP", "VST2"});
        run({"trash", "Echo", "CLAP", "VST2"});
    };
    trashBoth();
    EXPECT_TRUE(fs::exists(topdirTrash + "/files/Echo.clap"));
    EXPECT_TRUE(fs::exists(dataHome + "/Trash/files/Echo.so"));
    struct stat folder {};
    ASSERT_EQ(::lstat(topdirTrash.c_str(), &folder), 0);
    EXPECT_TRUE(S_ISDIR(folder.st_mode));
    EXPECT_EQ(folder.st_uid, ::getuid());
    EXPECT_EQ(folder.st_mode & 07777, 0700u);
    // Below a top folder the record names the place relative to it.
    const auto info = parseTrashInfo(readWholeFile(topdirTrash + "/info/Echo.clap.trashinfo"));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->path, echoClap.substr(mountPoint.size() + 1));
    run({"trash-restore", "--all-ready"});
    EXPECT_EQ(bundleFiles(), before);
    EXPECT_TRUE(fs::is_empty(topdirTrash + "/info"));

    run({"scan"});  // the inventory learns of the restored bundles
    trashBoth();
    const auto listed = trashCli("trash-list");
    EXPECT_THAT(listed.out, HasSubstr(" " + echoClap + "\n"));
    EXPECT_THAT(listed.out, HasSubstr(" " + echoVst2 + "\n"));
    for (const auto& original : {echoClap, echoVst2}) {
        const auto restored = trashCli("echo 0 | trash-restore '" + fs::path(original).parent_path().string() + "'");
        EXPECT_TRUE(fs::exists(original)) << original << ": " << restored.out;
    }
    EXPECT_TRUE(fs::is_empty(topdirTrash + "/info"));
    EXPECT_TRUE(fs::is_empty(dataHome + "/Trash/info"));
    EXPECT_EQ(bundleFiles(), before);
}

}  // namespace
}  // namespace kestrova::testing
