// The helper on the Linux profile: its reading of requests (the Linux system
// plug-in folders, single-file bundles, the freedesktop Trash records a move
// into or out of the Trash carries) and the Trash it keeps on other file
// systems.
#include "helper/HelperConfiguration.h"
#include "helper/RequestValidation.h"
#include "helper/TopdirTrash.h"
#include "support/TemporaryDirectory.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace kestrova {
namespace {

const std::string op = "0F8D5F6E-7E0B-4B47-9D1C-2B0C6C1D2E3F";
const std::string tx = "A1B2C3D4-0000-4000-8000-000000000001";
const std::string quarantine = "/r/var/lib/kestrova/quarantine/" + op;
const std::string trash = "/home/u/.local/share/Trash/files";
const HelperAreas linuxAreas = HelperAreas::under("/r", trash, PlatformProfile::gnuLinux);

std::string refusal(const Result<ValidatedTransaction>& result) { return result ? "" : result.error().message; }

TEST(LinuxAreas, TheLinuxSystemFoldersAndSingleFileBundlesAreAccepted) {
    for (const auto& source : {"/r/usr/lib/clap/Synth.clap", "/r/usr/lib/vst/Old.so", "/r/usr/local/lib/vst/Old.so",
                               "/r/usr/lib/vst3/V.vst3", "/r/usr/local/lib/vst3/Vendor/V.vst3", "/r/usr/lib/lv2/eq.lv2",
                               "/r/usr/local/lib/lv2/eq.lv2"}) {
        const std::string name = source + std::string_view(source).rfind('/') + 1;
        const auto ok =
            validateRequest(PrivilegedQuarantineRequest{tx, {{source, quarantine + "/" + name, op}}}, linuxAreas);
        EXPECT_TRUE(ok) << source << ": " << refusal(ok);
    }
    const std::pair<std::string, std::string> refused[] = {
        {"/r/Library/Audio/Plug-Ins/CLAP/Synth.clap", "not inside a standard system plug-in folder"},
        {"/home/u/.clap/Synth.clap", "not inside a standard system plug-in folder"},
        {"/r/usr/lib/Old.so", "not inside a standard system plug-in folder"},
        {"/r/usr/lib/vst/Old.component", "is not a plug-in bundle"},
        {"/r/usr/lib/vst/libhelper.a", "is not a plug-in bundle"},
    };
    for (const auto& [source, expected] : refused) {
        const auto name = source.substr(source.rfind('/') + 1);
        const auto message = refusal(
            validateRequest(PrivilegedQuarantineRequest{tx, {{source, quarantine + "/" + name, op}}}, linuxAreas));
        EXPECT_NE(message.find(expected), std::string::npos) << source << ": " << message;
    }
    // The macOS areas do not take Linux shared objects.
    EXPECT_FALSE(validateRequest(
        PrivilegedQuarantineRequest{tx,
                                    {{"/r/Library/Audio/Plug-Ins/VST/Old.so",
                                      "/r/Library/Application Support/Kestrova/Quarantine/" + op + "/Old.so", op}}},
        HelperAreas::under("/r", "/home/u/.Trash")));
}

// The user side's helper takes only the user's own folders and quarantine,
// and its Trash records name the original place in the home.
TEST(LinuxAreas, TheUserSideMovesBetweenTheHomeFoldersAndTheUsersQuarantineOnly) {
    const auto user = HelperAreas::ofUser("/home/u", std::nullopt, trash);
    const std::string userQuarantine = "/home/u/.local/share/Kestrova/Quarantine/" + op;
    EXPECT_EQ(HelperAreas::ofUser("/home/u", "/d", trash).quarantineRoot, "/d/Kestrova/Quarantine");
    for (const auto& source : {"/home/u/.clap/Synth.clap", "/home/u/.vst3/V.vst3", "/home/u/.vst3/Vendor/V.vst3",
                               "/home/u/.vst/Old.so", "/home/u/.lxvst/Old.so", "/home/u/.lv2/eq.lv2"}) {
        const std::string name = source + std::string_view(source).rfind('/') + 1;
        const auto ok =
            validateRequest(PrivilegedQuarantineRequest{tx, {{source, userQuarantine + "/" + name, op}}}, user);
        EXPECT_TRUE(ok) << source << ": " << refusal(ok);
    }
    const std::pair<PrivilegedQuarantineItem, std::string> refused[] = {
        {{"/r/usr/lib/clap/Synth.clap", userQuarantine + "/Synth.clap", op}, "not inside"},
        {{"/home/u/Music/Synth.clap", userQuarantine + "/Synth.clap", op}, "not inside"},
        {{"/home/u/.clap/Synth.clap", quarantine + "/Synth.clap", op}, "is not the quarantine location"},
    };
    for (const auto& [item, expected] : refused) {
        const auto message = refusal(validateRequest(PrivilegedQuarantineRequest{tx, {item}}, user));
        EXPECT_NE(message.find(expected), std::string::npos) << item.sourcePath << ": " << message;
    }
    // The system side never takes a home bundle back either.
    EXPECT_FALSE(validateRequest(
        PrivilegedRestoreRequest{tx, {{quarantine + "/Synth.clap", "/home/u/.clap/Synth.clap", op}}}, linuxAreas));

    const auto trashed = validateRequest(
        PrivilegedTrashRequest{
            tx, {{userQuarantine + "/Synth.clap", trash + "/Synth.clap", op, std::string("/home/u/.clap/Synth.clap")}}},
        user);
    ASSERT_TRUE(trashed) << refusal(trashed);
    EXPECT_EQ(trashed->moves[0].trashInfoOriginalPath, "/home/u/.clap/Synth.clap");
    EXPECT_FALSE(validateRequest(PrivilegedTrashRequest{tx,
                                                        {{userQuarantine + "/Synth.clap", trash + "/Synth.clap", op,
                                                          std::string("/r/usr/lib/clap/Synth.clap")}}},
                                 user));
    EXPECT_TRUE(validateRequest(
        PrivilegedTrashRestoreRequest{tx,
                                      {{trash + "/Synth.clap", "/home/u/.clap/Synth.clap", op, "Synth.clap", "CLAP"}}},
        user));
}

// A folder whose name merely starts with an allowed one's is outside it.
TEST(LinuxAreas, SiblingFoldersSharingAPrefixAreOutside) {
    const auto user = HelperAreas::ofUser("/home/u", std::nullopt, trash);
    const std::string userQuarantine = "/home/u/.local/share/Kestrova/Quarantine";
    const auto quarantineOf = [&](const std::string& source, const std::string& root, const HelperAreas& areas) {
        const auto name = source.substr(source.rfind('/') + 1);
        return refusal(
            validateRequest(PrivilegedQuarantineRequest{tx, {{source, root + "/" + op + "/" + name, op}}}, areas));
    };
    const std::string systemRoot = "/r/var/lib/kestrova/quarantine";
    for (const auto* source : {"/r/usr/lib/vst3x/V.vst3", "/r/usr/lib/lv2-evil/eq.lv2", "/r/usr/local/lib/vstx/Old.so",
                               "/r/usr/lib/clap2/S.clap", "/r/usr/lib/vst3/../vst3x/V.vst3"}) {
        EXPECT_FALSE(quarantineOf(source, systemRoot, linuxAreas).empty()) << source;
    }
    for (const auto* source : {"/home/u/.vst3x/V.vst3", "/home/u/.clap-evil/S.clap", "/home/u/.lv2x/eq.lv2"}) {
        EXPECT_FALSE(quarantineOf(source, userQuarantine, user).empty()) << source;
    }
    EXPECT_FALSE(quarantineOf("/home/u/.clap/S.clap", userQuarantine + "-evil", user).empty());
    EXPECT_TRUE(quarantineOf("/home/u/.clap/S.clap", userQuarantine, user).empty());
    // Trash records naming a sibling folder, and another file system's
    // Trash whose name only starts like the one found.
    EXPECT_FALSE(validateRequest(
        PrivilegedTrashRequest{
            tx, {{quarantine + "/Synth.clap", trash + "/Synth.clap", op, std::string("/r/usr/lib/clapx/Synth.clap")}}},
        linuxAreas));
    auto withTopdir = linuxAreas;
    withTopdir.topdirTrashFolders = {"/r/.Trash-1000/files"};
    for (const auto* destination : {"/r/.Trash-10000/files/Synth.clap", "/r/.Trash-1000/files-x/Synth.clap",
                                    "/home/u/.local/share/Trash/files2/Synth.clap"}) {
        EXPECT_FALSE(
            validateRequest(PrivilegedTrashRequest{tx, {{quarantine + "/Synth.clap", destination, op}}}, withTopdir))
            << destination;
    }
}

TEST(LinuxAreas, TheUserRoleIsOnlyASessionUnderTheLinuxProfile) {
    const std::vector<std::string> session{"--session", "--home", "/tmp", "--socket", "/tmp/s.sock"};
    const auto with = [&](std::vector<std::string> more, bool isSession = true) {
        auto arguments = isSession ? session : std::vector<std::string>{"--socket", "/tmp/s.sock"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return parseHelperArguments(arguments);
    };
    const auto user = with({"--profile", "linux", "--role", "user"});
    ASSERT_TRUE(user) << user.error().message;
    EXPECT_EQ(user->role, BundleSide::user);
    EXPECT_EQ(with({"--profile", "linux"})->role, BundleSide::system);
    EXPECT_FALSE(with({"--profile", "linux", "--role", "user"}, false));  // never the system daemon
    EXPECT_FALSE(with({"--profile", "macos", "--role", "user"}));
    EXPECT_FALSE(with({"--profile", "linux", "--role", "admin"}));
}

TEST(LinuxAreas, TrashMovesCarryTheirTrashRecords) {
    const auto trashed = validateRequest(
        PrivilegedTrashRequest{tx, {{quarantine + "/Synth.clap", trash + "/Synth 2.clap", op}}}, linuxAreas);
    ASSERT_TRUE(trashed) << refusal(trashed);
    EXPECT_EQ(trashed->moves[0].createsTrashInfo, "/home/u/.local/share/Trash/info/Synth 2.clap.trashinfo");
    EXPECT_FALSE(trashed->moves[0].removesTrashInfo);

    const auto restored = validateRequest(
        PrivilegedTrashRestoreRequest{
            tx,
            {{trash + "/Old 2.so", "/r/usr/lib/vst/Old.so", "B1B2C3D4-0000-4000-8000-000000000002", "Old.so", "VST2"}}},
        linuxAreas);
    ASSERT_TRUE(restored) << refusal(restored);
    EXPECT_EQ(restored->moves[0].removesTrashInfo, "/home/u/.local/share/Trash/info/Old 2.so.trashinfo");
    EXPECT_FALSE(restored->moves[0].createsTrashInfo);

    // The record names the bundle's place before its quarantine; without
    // one (an older front end) it names the quarantine copy.
    EXPECT_EQ(trashed->moves[0].trashInfoOriginalPath, quarantine + "/Synth.clap");
    const auto named = validateRequest(
        PrivilegedTrashRequest{tx,
                               {{quarantine + "/Synth.clap", trash + "/Synth.clap", op, "/r/usr/lib/clap/Synth.clap"}}},
        linuxAreas);
    ASSERT_TRUE(named) << refusal(named);
    EXPECT_EQ(named->moves[0].trashInfoOriginalPath, "/r/usr/lib/clap/Synth.clap");
    // A file manager would move the item to the named place, so it must be
    // one the bundle could have come from.
    const std::pair<std::string, std::string> badOrigins[] = {
        {"/etc/cron.d/Synth.clap", "not inside a standard system plug-in folder"},
        {"/r/usr/lib/clap/Other.clap", "is not the original location of"},
        {"/r/usr/lib/clap/../../../etc/Synth.clap", "is not a standardized absolute path"},
        {"usr/lib/clap/Synth.clap", "is not a standardized absolute path"},
    };
    for (const auto& [origin, expected] : badOrigins) {
        const auto message = refusal(validateRequest(
            PrivilegedTrashRequest{tx, {{quarantine + "/Synth.clap", trash + "/Synth.clap", op, origin}}}, linuxAreas));
        EXPECT_NE(message.find(expected), std::string::npos) << origin << ": " << message;
    }

    // Another file system's Trash is taken only when the daemon found it for
    // this request; the record there is relative to that file system's top.
    auto withTopdir = linuxAreas;
    withTopdir.topdirTrashFolders = {"/r/.Trash-1000/files"};
    const auto topdir = validateRequest(
        PrivilegedTrashRequest{
            tx, {{quarantine + "/Synth.clap", "/r/.Trash-1000/files/Synth.clap", op, "/r/usr/lib/clap/Synth.clap"}}},
        withTopdir);
    ASSERT_TRUE(topdir) << refusal(topdir);
    EXPECT_EQ(topdir->moves[0].createsTrashInfo, "/r/.Trash-1000/info/Synth.clap.trashinfo");
    EXPECT_EQ(topdir->moves[0].trashInfoOriginalPath, "usr/lib/clap/Synth.clap");
    EXPECT_FALSE(validateRequest(
        PrivilegedTrashRequest{tx, {{quarantine + "/Synth.clap", "/r/.Trash-1001/files/Synth.clap", op}}}, withTopdir));
    EXPECT_FALSE(validateRequest(
        PrivilegedTrashRequest{tx, {{quarantine + "/Synth.clap", "/r/.Trash-1000/files/Synth.clap", op}}}, linuxAreas));

    // Trash items go straight into files/, never into info/ or elsewhere.
    EXPECT_FALSE(validateRequest(
        PrivilegedTrashRequest{tx, {{quarantine + "/Synth.clap", "/home/u/.local/share/Trash/info/Synth.clap", op}}},
        linuxAreas));
    // On macOS nothing but the move itself is asked for.
    const auto mac = validateRequest(
        PrivilegedTrashRequest{
            tx,
            {{"/r/Library/Application Support/Kestrova/Quarantine/" + op + "/A.clap", "/home/u/.Trash/A.clap", op}}},
        HelperAreas::under("/r", "/home/u/.Trash"));
    ASSERT_TRUE(mac) << refusal(mac);
    EXPECT_FALSE(mac->moves[0].createsTrashInfo);
}

TEST(LinuxAreas, AnotherFileSystemsTrashIsMadePrivateAndOnlyAnOwnedOneIsUsed) {
    const testing::TemporaryDirectory top;
    const auto files = top / ".Trash-4321/files";
    ASSERT_TRUE(prepareTopdirTrash(files, 4321, 4321).ok());
    for (const auto& folder : {top / ".Trash-4321", files, top / ".Trash-4321/info"}) {
        struct stat info {};
        ASSERT_EQ(::lstat(folder.c_str(), &info), 0) << folder;
        EXPECT_EQ(info.st_mode & 07777, 0700u) << folder;
        if (::geteuid() == 0) {
            EXPECT_EQ(info.st_uid, 4321u) << folder;
        }
    }
    EXPECT_TRUE(prepareTopdirTrash(files, 4321, 4321).ok());  // again: already there

    if (::geteuid() == 0) {
        // Someone else's folder under that name is not this user's Trash.
        const auto message = prepareTopdirTrash(files, 1234, 1234).error().message;
        EXPECT_NE(message.find("belongs to another user"), std::string::npos) << message;
    }
    top.makeSymlink(top / ".Trash-4321", ".Trash-77");
    EXPECT_NE(prepareTopdirTrash(top / ".Trash-77/files", 77, 77).error().message.find("symbolic link"),
              std::string::npos);
    top.writeFile(".Trash-78", "not a folder");
    EXPECT_FALSE(prepareTopdirTrash(top / ".Trash-78/files", 78, 78).ok());
    EXPECT_EQ(top.readFile(".Trash-78"), "not a folder");
}

}  // namespace
}  // namespace kestrova
