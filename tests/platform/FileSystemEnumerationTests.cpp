#include "platform/FileSystem.h"

#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

namespace kestrova {
namespace {

using testing::TemporaryDirectory;

// Root may list every folder, so a listing failure has to be injected.
class UnlistableFolder final : public FileSystem {
public:
    explicit UnlistableFolder(std::string folder) : folder_(std::move(folder)) {}
    Result<std::vector<DirectoryEntry>> entriesOfDirectory(const std::string& path) const override {
        if (path == folder_) {
            return Error{"Permission denied", 13};
        }
        return FileSystem::entriesOfDirectory(path);
    }

private:
    std::string folder_;
};

std::set<std::string> relativePaths(const std::vector<std::string>& paths, const std::string& root) {
    std::set<std::string> result;
    for (const auto& path : paths) {
        result.insert(path.substr(root.size() + 1));
    }
    return result;
}

TEST(FileSystemEnumeration, SkipsHiddenNamesAndDescendantsOnRequest) {
    const TemporaryDirectory directory;
    directory.writeFile("a/Plug.vst3/Contents/Info.plist", "x");
    directory.writeFile("a/.hidden/inside.vst3/x", "x");
    directory.writeFile("a/.DS_Store", "x");
    directory.writeFile("a/sub/Other.vst3/Contents/x", "x");
    directory.makeSymlink(directory / "a/sub", "a/link");

    std::vector<std::string> seen;
    std::map<std::string, FileStatus> statuses;
    const auto status = realFileSystem().enumerate(directory / "a", [&](const EnumeratedEntry& entry) {
        seen.push_back(entry.path);
        statuses[entry.path.substr(directory.path().size() + 3)] = entry.status;
        return entry.path.ends_with(".vst3") ? EnumerationStep::skipDescendants : EnumerationStep::proceed;
    });
    ASSERT_TRUE(status);
    // The link is reported but not followed.
    EXPECT_EQ(relativePaths(seen, directory / "a"),
              (std::set<std::string>{"Plug.vst3", "sub", "sub/Other.vst3", "link"}));
    EXPECT_TRUE(statuses["sub"].isDirectory);
    EXPECT_TRUE(statuses["link"].isSymbolicLink);
    EXPECT_FALSE(statuses["link"].isDirectory);

    // Files carry their size.
    std::vector<std::uint64_t> sizes;
    realFileSystem().enumerate(directory / "a/Plug.vst3", [&](const EnumeratedEntry& entry) {
        if (entry.status.isRegularFile) {
            sizes.push_back(entry.status.size);
        }
        return EnumerationStep::proceed;
    });
    EXPECT_EQ(sizes, std::vector<std::uint64_t>{1});
}

TEST(FileSystemEnumeration, ReportsFoldersThatCannotBeListed) {
    const TemporaryDirectory directory;
    directory.writeFile("root/locked/x.vst3/y", "x");
    directory.writeFile("root/open/z.vst3/y", "x");
    const UnlistableFolder fs(directory / "root/locked");

    std::vector<std::string> seen;
    std::vector<std::string> failed;
    const auto visit = [&](const EnumeratedEntry& entry) {
        seen.push_back(entry.path);
        return EnumerationStep::proceed;
    };
    ASSERT_TRUE(fs.enumerateReportingErrors(directory / "root", visit, [&](const std::string& path, const Error&) {
        failed.push_back(path);
        return true;
    }));
    EXPECT_EQ(failed, std::vector<std::string>{directory / "root/locked"});
    EXPECT_TRUE(std::count(seen.begin(), seen.end(), directory / "root/open/z.vst3/y"));

    // Answering false stops the walk where it is.
    seen.clear();
    std::size_t calls = 0;
    fs.enumerateReportingErrors(directory / "root", visit, [&](const std::string&, const Error&) {
        ++calls;
        return false;
    });
    EXPECT_EQ(calls, 1u);

    // A root that is not a folder is an error of its own.
    EXPECT_FALSE(realFileSystem().enumerateReportingErrors(directory.writeFile("file", "x"), visit, nullptr));
}

}  // namespace
}  // namespace kestrova
