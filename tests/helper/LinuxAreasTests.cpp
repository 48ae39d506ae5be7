// The helper's user role, and the Trash it keeps on other file systems.
#include "helper/HelperConfiguration.h"
#include "helper/TopdirTrash.h"
#include "support/TemporaryDirectory.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace kestrova {
namespace {

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
