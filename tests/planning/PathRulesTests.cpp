#include "planning/ByteCountParsing.h"
#include "planning/PathRules.h"

#include "PlanningFixtures.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

using namespace kestrova::testing;

TEST(PathRules, QuarantineLocationsMustSitInTheirOperationFolderUnderTheirOwnName) {
    SandboxTree sandbox;
    const auto root = quarantineRoot(sandbox.layout);  // where it lies is in the recorded CLI run
    const std::string id = "0F8E2C1A-3B4D-4E5F-8A9B-0C1D2E3F4A5B";
    const auto location = root + "/" + id + "/A.vst3";
    auto& disk = realFileSystem();

    EXPECT_EQ(verifiedQuarantineLocation(location, id, "A.vst3", root, disk), location);
    EXPECT_EQ(verifiedQuarantineLocation(root + "//" + id + "/./A.vst3", id, "A.vst3", root, disk), location);
    EXPECT_FALSE(verifiedQuarantineLocation(location, "not-a-uuid", "A.vst3", root, disk));
    EXPECT_FALSE(verifiedQuarantineLocation(location, id, "a.vst3", root, disk));  // exact name
    EXPECT_FALSE(verifiedQuarantineLocation(location, id, "", root, disk));
    EXPECT_FALSE(verifiedQuarantineLocation("Quarantine/" + id + "/A.vst3", id, "A.vst3", root, disk));
    EXPECT_FALSE(verifiedQuarantineLocation(root + "/" + id + "/Sub/A.vst3", id, "A.vst3", root, disk));
    EXPECT_FALSE(verifiedQuarantineLocation(root + "/" + id + "/A.txt", id, "A.txt", root, disk));
    const std::string otherID = "1F8E2C1A-3B4D-4E5F-8A9B-0C1D2E3F4A5B";
    EXPECT_FALSE(verifiedQuarantineLocation(location, otherID, "A.vst3", root, disk));

    sandbox.install(root + "/" + otherID + "/Real.vst3");
    sandbox.link(root + "/" + otherID + "/Real.vst3", location);
    EXPECT_FALSE(verifiedQuarantineLocation(location, id, "A.vst3", root, disk));
}

TEST(PathRules, TrashFolderAndTrashNames) {
    SandboxTree sandbox;
    auto& disk = realFileSystem();
    const auto trash = defaultTrashFolder(sandbox.layout);
    EXPECT_FALSE(isSafeTrashFolder(trash, disk));
    sandbox.writeFile(trash);
    EXPECT_FALSE(isSafeTrashFolder(trash, disk));  // a file, not a folder

    const auto folder = sandbox.tree / "home/RealTrash";
    sandbox.makeFolder(folder);
    EXPECT_TRUE(isSafeTrashFolder(folder, disk));
    sandbox.link(folder, sandbox.tree / "home/Linked");
    EXPECT_FALSE(isSafeTrashFolder(sandbox.tree / "home/Linked", disk));

    TakenTrashNames taken;
    sandbox.writeFile(folder + "/TOOL 2.vst3");
    EXPECT_EQ(trashDestination("/q/1/Tool.vst3", folder, taken, disk), folder + "/Tool.vst3");
    EXPECT_EQ(trashDestination("/q/2/TOOL.vst3", folder, taken, disk), folder + "/TOOL 3.vst3");
    EXPECT_EQ(trashDestination("/q/3/Plain", folder, taken, disk), folder + "/Plain");
    EXPECT_EQ(trashDestination("/q/4/Plain", folder, taken, disk), folder + "/Plain 2");
    // A dangling link still takes its name.
    sandbox.link(sandbox.tree / "nowhere", folder + "/Dangling.clap");
    EXPECT_EQ(trashDestination("/q/5/Dangling.clap", folder, taken, disk), folder + "/Dangling 2.clap");

    // Every name taken but, at most, the one ending in `free`.
    class CrowdedTrash : public FileSystem {
    public:
        std::string free;
        mutable int looks = 0;
        std::optional<FileStatus> linkStatus(const std::string& path) const override {
            ++looks;
            return !free.empty() && path.ends_with(free) ? std::nullopt : std::optional(FileStatus{});
        }
    } full, last;
    EXPECT_FALSE(trashDestination("/q/6/Busy.vst", folder, taken, full));
    EXPECT_EQ(full.looks, 10000);  // the name itself, then 2 through 10000
    last.free = " 10000.vst";      // the last suffix tried is used when it is free
    EXPECT_EQ(trashDestination("/q/7/Busy.vst", folder, taken, last), folder + "/Busy 10000.vst");
}

// Folders below /mnt/disk (and the folder itself) are on device 2, the rest
// on device 1; nothing below /missing exists.
class TwoFileSystems : public FileSystem {
public:
    std::optional<FileIdentity> identity(const std::string& path) const override {
        if (path.starts_with("/missing")) {
            return std::nullopt;
        }
        return FileIdentity{path == "/mnt/disk" || path.starts_with("/mnt/disk/") ? 2u : 1u, 0};
    }
    std::optional<FileStatus> linkStatus(const std::string& path) const override {
        if (path == "/mnt/disk/.Trash-7") {
            return FileStatus{.isSymbolicLink = true};
        }
        return std::nullopt;
    }
};

TEST(PathRules, ABundleOnAnotherFileSystemGoesToThatFileSystemsTrash) {
    const TwoFileSystems disks;
    EXPECT_EQ(fileSystemTop("/mnt/disk/var/q/A.so", disks), "/mnt/disk");
    EXPECT_EQ(fileSystemTop("/home/u/x", disks), "/");
    EXPECT_EQ(fileSystemTop("/mnt/disk/not/yet/made", disks), "/mnt/disk");
    EXPECT_EQ(fileSystemTop("/missing/a", disks), "/");  // from its deepest existing folder

    const std::string home = "/home/u/.local/share/Trash/files";
    EXPECT_EQ(freedesktopTrashFolderFor("/var/q/A.so", home, 1000, disks), home);
    EXPECT_EQ(freedesktopTrashFolderFor("/mnt/disk/var/q/A.so", home, 1000, disks), "/mnt/disk/.Trash-1000/files");
    EXPECT_EQ(freedesktopTrashFolderFor("/missing/q/A.so", home, 1000, disks), home);

    // Not there yet is fine (the helper makes it); a link never is.
    EXPECT_TRUE(isSafeTopdirTrashFolder("/mnt/disk/.Trash-1000/files", disks));
    EXPECT_FALSE(isSafeTopdirTrashFolder("/mnt/disk/.Trash-7/files", disks));
}

// Which side a path is on is the model's; here, where each side's quarantine
// lies. The Trash belongs to no side, so the other end of a move decides.
TEST(PathRules, EachSideHasItsQuarantineAndTheUsersFollowsTheDataHome) {
    SandboxTree sandbox;
    SystemLayout linux{sandbox.tree / "root", sandbox.tree / "home", PlatformProfile::gnuLinux};
    EXPECT_EQ(quarantineRoot(linux, BundleSide::user), sandbox.tree / "home/.local/share/Kestrova/Quarantine");
    EXPECT_EQ(quarantineRoot(linux, BundleSide::system), sandbox.tree / "root/var/lib/kestrova/quarantine");
    EXPECT_EQ(sideOfPath(linux.user(".local/share/Kestrova/Quarantine/ID/A.vst3"), linux), BundleSide::user);
    EXPECT_EQ(sideOfPath(defaultTrashFolder(linux) + "/A.vst3", linux), BundleSide::system);
    auto withDataHome = linux;
    withDataHome.dataHome = sandbox.tree / "data";
    EXPECT_EQ(quarantineRoot(withDataHome, BundleSide::user), sandbox.tree / "data/Kestrova/Quarantine");
    EXPECT_EQ(sideOfPath(sandbox.tree / "data/Kestrova/Quarantine/ID/A.clap", withDataHome), BundleSide::user);
    EXPECT_EQ(quarantineRoot(sandbox.layout, BundleSide::user), quarantineRoot(sandbox.layout));
}

TEST(PathRules, DisplaySizesParseBackToBytes) {
    const std::vector<std::pair<std::string, std::int64_t>> sizes{
        {"1.5 MB", 1500000}, {"  39.8 mb\n", 39800000}, {"653.9 MB", 653900000},
        {"17 KB", 17000},    {"1.25   GB", 1250000000}, {"0.0015 KB", 1},  // truncated toward zero
    };
    for (const auto& [text, bytes] : sizes) {
        EXPECT_EQ(parseDisplaySize(text), bytes) << text;
    }
    // Just below 2^63 bytes is the largest size; 2^63 itself is refused.
    EXPECT_EQ(parseDisplaySize("9223372036854774 KB"), 9223372036854773760);
    for (const auto* text : {"9223372036854776 KB", "-9223372036854780 KB", "512 bytes", "12", "MB", "Zero KB",
                             "1,5 MB", "nan MB", "1e30 GB", "4 TB", ""}) {
        EXPECT_FALSE(parseDisplaySize(text)) << text;
    }
}

}  // namespace
}  // namespace kestrova
