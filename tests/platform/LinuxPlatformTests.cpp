// The Linux profile's pieces: ELF headers, machine and profile names, the
// data home, the freedesktop Trash, the words for the desktop's places and
// services, and how an item is shown in the file manager.
#include "platform/Elf.h"
#include "platform/FileManagerReveal.h"
#include "platform/FreedesktopTrash.h"
#include "platform/MachO.h"
#include "platform/OperatingSystem.h"
#include "platform/PlatformProfile.h"
#include "platform/PlatformWording.h"
#include "platform/SystemLayout.h"
#include "platform/UnixSocket.h"
#include "support/TemporaryDirectory.h"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <cstdlib>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

namespace kestrova {
namespace {

using testing::TemporaryDirectory;

// Compiles a tiny shared object; empty when the tool is missing or fails.
std::string compileSharedObject(const TemporaryDirectory& folder, const std::string& name,
                                const std::string& compileAndLink) {
    const auto source = folder.writeFile("plugin.c", "int plugin_entry(void) { return 42; }\n");
    const auto output = folder / name;
    const auto command = compileAndLink + " -o '" + output + "' '" + source + "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0 ? output : std::string();
}

TEST(ElfTest, RealObjectsFromTheCompilersAreRecognised) {
    TemporaryDirectory folder;
    const auto native = compileSharedObject(folder, "native.so", "cc -shared -fPIC");
    ASSERT_FALSE(native.empty()) << "cc could not build a shared object";
    EXPECT_EQ(readElfMachine(native), ElfMachine::x86_64);
    EXPECT_EQ(elfArchitectureName(readElfMachine(native)), "x86-64");

    // Other machines through clang and lld, which need no target libraries.
    for (const auto& [target, machine] : {std::pair{"aarch64-linux-gnu", ElfMachine::aarch64},
                                          {"armv7-linux-gnueabihf", ElfMachine::arm},
                                          {"i386-linux-gnu", ElfMachine::i386}}) {
        const auto object =
            compileSharedObject(folder, std::string(target) + ".so",
                                std::string("clang -target ") + target + " -fPIC -nostdlib -shared -fuse-ld=lld");
        if (object.empty()) {
            GTEST_SKIP() << "clang or lld cannot build for " << target;
        }
        EXPECT_EQ(readElfMachine(object), machine) << target;
    }
}

TEST(ElfTest, HeadersAreReadStrictlyAndDamageGivesUnknown) {
    const auto bytes = [](const std::string& text) {
        return std::span<const unsigned char>(reinterpret_cast<const unsigned char*>(text.data()), text.size());
    };
    EXPECT_EQ(elfMachine(bytes(syntheticElfHeader(elf::machineAArch64, true))), ElfMachine::aarch64);
    EXPECT_EQ(elfMachine(bytes(syntheticElfHeader(elf::machineArm, false))), ElfMachine::arm);
    EXPECT_EQ(elfMachine(bytes(syntheticElfHeader(elf::machineI386, false))), ElfMachine::i386);

    // A big-endian header is read in its own byte order.
    auto bigEndian = syntheticElfHeader(0, true);
    bigEndian[5] = 2;
    bigEndian[18] = 0;
    bigEndian[19] = static_cast<char>(elf::machineAArch64);
    bigEndian[20] = bigEndian[21] = bigEndian[22] = 0;
    bigEndian[23] = 1;
    EXPECT_EQ(elfMachine(bytes(bigEndian)), ElfMachine::aarch64);

    // x32 (x86-64 in a 32-bit class) and a 64-bit i386 are contradictions.
    EXPECT_EQ(elfMachine(bytes(syntheticElfHeader(elf::machineX86_64, false))), ElfMachine::unknown);
    EXPECT_EQ(elfMachine(bytes(syntheticElfHeader(elf::machineI386, true))), ElfMachine::unknown);
    EXPECT_EQ(elfMachine(bytes(syntheticElfHeader(8, true))), ElfMachine::unknown);  // MIPS

    const auto good = syntheticElfHeader(elf::machineX86_64, true);
    EXPECT_EQ(elfMachine(bytes(good.substr(0, 63))), ElfMachine::unknown);  // cut inside the header
    EXPECT_EQ(elfMachine(bytes(good.substr(0, 4))), ElfMachine::unknown);
    EXPECT_EQ(elfMachine(bytes("")), ElfMachine::unknown);
    for (const std::size_t index : {std::size_t{0}, std::size_t{4}, std::size_t{5}, std::size_t{6}, std::size_t{20}}) {
        auto damaged = good;
        damaged[index] = 9;
        EXPECT_EQ(elfMachine(bytes(damaged)), ElfMachine::unknown) << "byte " << index;
    }
}

// Both executable readers: what is not a whole image, or not a file, is
// unknown, and a FIFO nobody writes to returns at once.
TEST(ExecutableReaders, WhatIsNotAnImageGivesUnknownWithoutBlocking) {
    TemporaryDirectory folder;
    const auto header = syntheticElfHeader(elf::machineX86_64, true);
    EXPECT_EQ(readElfMachine(folder.writeFile("ok.so", header)), ElfMachine::x86_64);
    const auto fifo = folder / "fifo.so";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const auto& path : {folder.writeFile("cut.so", header.substr(0, 30)), folder.writeFile("empty.so", ""),
                             folder.writeFile("script.so", "#!/bin/sh\necho not a library\n"),
                             folder.makeDirectory("folder.so"), folder / "missing.so", fifo}) {
        EXPECT_EQ(readElfMachine(path), ElfMachine::unknown) << path;
        EXPECT_EQ(readMachOArchitecture(path), MachOArchitecture::unknown) << path;
    }
}

TEST(PlatformProfileTest, NamesBothWays) {
    EXPECT_EQ(*parsePlatformProfile(" Linux "), PlatformProfile::gnuLinux);
    for (const auto& [profile, name] :
         {std::pair{PlatformProfile::macOS, "macos"}, {PlatformProfile::gnuLinux, "linux"}}) {
        EXPECT_EQ(profileName(profile), name);
        EXPECT_EQ(*parsePlatformProfile(name), profile);
    }
    for (const auto* unknown : {"windows", "", "linu", "macosx"}) {
        EXPECT_FALSE(parsePlatformProfile(unknown).ok()) << unknown;
    }
    EXPECT_EQ(sideName(BundleSide::system), "system");
    EXPECT_EQ(sideName(BundleSide::user), "user");
    // The inventory's architecture words, from an ELF header or the running machine.
    for (const auto& [machine, elf, name] :
         std::vector<std::tuple<std::string, ElfMachine, std::string>>{{"x86_64", ElfMachine::x86_64, "x86-64"},
                                                                       {"aarch64", ElfMachine::aarch64, "ARM64"},
                                                                       {"armv7l", ElfMachine::arm, "ARM"},
                                                                       {"i686", ElfMachine::i386, "x86"},
                                                                       {"riscv64", ElfMachine::unknown, "riscv64"}}) {
        EXPECT_EQ(machineArchitectureName(machine), name) << machine;
        EXPECT_EQ(elfArchitectureName(elf), elf == ElfMachine::unknown ? "Unknown" : name) << machine;
    }
    EXPECT_FALSE(machineName().empty());
    // Option, environment and default: the session's layout table.
}

TEST(LinuxLayoutTest, TheDataHomeAndAProcesssEnvironment) {
    // The default Trash folders of both profiles are in the demo trees' recording.
    SystemLayout layout{"/", "/home/u", PlatformProfile::gnuLinux};
    layout.dataHome = "/home/u/data";
    EXPECT_EQ(layout.trashFolder(), "/home/u/data/Trash/files");
    EXPECT_EQ(layout.applicationSupport(), "/home/u/data");

    ::setenv("XDG_DATA_HOME", "relative/data", 1);
    EXPECT_EQ(SystemLayout::fromEnvironment().dataHome, "");
    ::setenv("XDG_DATA_HOME", "/srv/data//u/", 1);
    EXPECT_EQ(SystemLayout::fromEnvironment().dataHome, "/srv/data/u");
    ::unsetenv("XDG_DATA_HOME");

    // The helper reads a client's data home from the environment the client
    // started with.
    const char* arguments[] = {"/bin/sleep", "30", nullptr};
    const char* environment[] = {"XDG_DATA_HOMEX=/wrong", "XDG_DATA_HOME=/home/u/my data", "EMPTY=", nullptr};
    pid_t child = 0;
    ASSERT_EQ(::posix_spawn(&child, arguments[0], nullptr, nullptr, const_cast<char**>(arguments),
                            const_cast<char**>(environment)),
              0);
    // /proc shows the new environment once the program is running.
    std::optional<std::string> value;
    for (int attempt = 0; attempt < 500 && value != "/home/u/my data"; ++attempt) {
        if (auto read = processEnvironmentValue(child, "XDG_DATA_HOME"); read.ok()) {
            value = *read;
        }
        ::usleep(2000);
    }
    EXPECT_EQ(value, "/home/u/my data");
    EXPECT_EQ(*processEnvironmentValue(child, "EMPTY"), "");
    EXPECT_FALSE(processEnvironmentValue(child, "HOME")->has_value());
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_FALSE(processEnvironmentValue(child, "XDG_DATA_HOME").ok());
}

TEST(FreedesktopTrashTest, TrashInfoIsWrittenAndReadAsFileManagersDo) {
    // The record's layout, and where it goes, are in the demo's recording;
    // which bytes are escaped in EscapedText's table.
    const std::string original = "/usr/lib/vst3/Dirty Mix 100%#1 (Ünïcode).vst3";
    const auto info = parseTrashInfo(trashInfoText(original, "2024-03-05T09:07:02"));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->path, original);
    EXPECT_EQ(info->deletionDate, "2024-03-05T09:07:02");

    // Other writers: CRLF, comments, other groups, lower-case escapes.
    const auto foreign = parseTrashInfo(
        "# made elsewhere\r\n[Other]\r\nPath=/wrong\r\n[Trash Info]\r\n"
        "DeletionDate=2020-01-01T00:00:00\r\nPath=/a%2fb%20c\r\n");
    ASSERT_TRUE(foreign);
    EXPECT_EQ(foreign->path, "/a/b c");
    EXPECT_FALSE(parseTrashInfo("[Trash Info]\nPath=/bad%2\n"));
    EXPECT_FALSE(parseTrashInfo("[Trash Info]\nPath=/nul%00byte\n"));
    EXPECT_FALSE(parseTrashInfo("[Trash Info]\nDeletionDate=2020-01-01T00:00:00\n"));
    EXPECT_FALSE(parseTrashInfo("Path=/outside/the/group\n"));

    // Under a file system's top folder the place is relative to it, unless
    // it lies elsewhere; the home Trash always has it absolute.
    EXPECT_EQ(trashInfoOriginalPath("/usr/lib/vst/A.so", std::nullopt), "/usr/lib/vst/A.so");
    EXPECT_EQ(trashInfoOriginalPath("/usr/lib/vst/A.so", "/"), "usr/lib/vst/A.so");
    EXPECT_EQ(trashInfoOriginalPath("/mnt/disk/vst/A.so", "/mnt/disk"), "vst/A.so");
    EXPECT_EQ(trashInfoOriginalPath("/mnt/disk2/vst/A.so", "/mnt/disk"), "/mnt/disk2/vst/A.so");
    EXPECT_EQ(trashInfoOriginalPath("/usr/lib/vst/A.so", "/mnt/disk"), "/usr/lib/vst/A.so");
    const auto date = trashDeletionDate(0);
    EXPECT_EQ(date.size(), 19u);
    EXPECT_EQ(date[10], 'T');
}

const std::regex macOSNames(
    "Finder|macOS|\\bMac\\b|XPC|System Settings|Login Items|App Background|[Ll]aunch [Dd]aemon|[Nn]otariz|"
    "[Cc]ode.sign|Developer ID|SMAppService|Application Support");

TEST(PlatformWordingTest, EveryEntryOnBothProfiles) {
    ASSERT_GE(linuxRewordings().size(), 20u);
    for (const auto& [macOSText, linuxText] : linuxRewordings()) {
        const std::string mac(macOSText);
        const auto inSentence = "«" + mac + "» and «" + mac + "»";
        // The macOS texts never change.
        EXPECT_EQ(platformWording(mac, PlatformProfile::macOS), mac);
        EXPECT_EQ(platformWording(inSentence, PlatformProfile::macOS), inSentence);
        // On Linux each is replaced wherever it stands, by words that name
        // no macOS service.
        EXPECT_EQ(platformWording(mac, PlatformProfile::gnuLinux), linuxText) << mac;
        EXPECT_EQ(platformWording(inSentence, PlatformProfile::gnuLinux),
                  "«" + std::string(linuxText) + "» and «" + std::string(linuxText) + "»")
            << mac;
        EXPECT_FALSE(std::regex_search(std::string(linuxText), macOSNames)) << linuxText;
        EXPECT_TRUE(std::regex_search(mac, macOSNames)) << mac << " names nothing of macOS";
    }
    // Words that only look alike stay. The texts in place are what the
    // window's Linux walk and the command line's recording show.
    for (const auto* text : {"Finders Keepers, FinderTrash, Machine, macOSX", ""}) {
        EXPECT_EQ(platformWording(text, PlatformProfile::gnuLinux), text);
    }
}

TEST(FileManagerRevealTest, ShowsTheItemThenFallsBackToItsFolder) {
    const std::string path = "/home/u/.vst3/Wide Verb 100%.vst3";
    std::vector<std::string> showItems{"gdbus", "call", "--session", "--timeout", "5", "--dest"};
    for (const auto* more :
         {"org.freedesktop.FileManager1", "--object-path", "/org/freedesktop/FileManager1", "--method",
          "org.freedesktop.FileManager1.ShowItems", "['file:///home/u/.vst3/Wide%20Verb%20100%25.vst3']", ""}) {
        showItems.emplace_back(more);
    }
    const std::vector<std::string> openFolder{"xdg-open", "file:///home/u/.vst3"};
    struct Case {
        const char* what;
        std::vector<Result<CommandOutput>> answers;  // one per command tried
        std::vector<std::vector<std::string>> expectedCalls;
        bool shown;
    };
    const std::vector<Case> cases{
        {"a file manager offers the service", {CommandOutput{0, ""}}, {showItems}, true},
        {"no file manager offers it",
         {CommandOutput{1, "ServiceUnknown"}, CommandOutput{0, ""}},
         {showItems, openFolder},
         true},
        {"gdbus is not installed", {Error{"not found"}, CommandOutput{0, ""}}, {showItems, openFolder}, true},
        {"nothing opens anything",
         {CommandOutput{1, ""}, Error{"xdg-open was not found"}},
         {showItems, openFolder},
         false},
    };
    for (const auto& test : cases) {
        std::vector<std::vector<std::string>> calls;
        const auto shown = revealInFileManager(path, [&](const std::vector<std::string>& arguments) {
            calls.push_back(arguments);
            return test.answers.at(calls.size() - 1);
        });
        EXPECT_EQ(calls, test.expectedCalls) << test.what;
        EXPECT_EQ(shown.ok(), test.shown) << test.what;
        if (!shown) {
            EXPECT_THAT(shown.error().message, ::testing::HasSubstr("xdg-open was not found")) << test.what;
        }
    }
    // An item at the top of the file system opens the root folder.
    EXPECT_EQ(fileManagerRevealCommands("/x.clap").back(), (std::vector<std::string>{"xdg-open", "file:///"}));
}

}  // namespace
}  // namespace kestrova
