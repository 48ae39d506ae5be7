// Walking folders and reading whole files: mapped or read, the same bytes;
// and nothing that is not a regular file is waited on or taken for one.
#include "platform/FileSystem.h"
#include "platform/SmallFile.h"

#include "support/FaultyFileSystem.h"
#include "support/TemporaryDirectory.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <fstream>

namespace kestrova {
namespace {

using testing::TemporaryDirectory;

// What a walk skips (hidden names, links, a bundle's insides) is checked
// through the scanner, its only user: ScannerTest and LinuxScannerTest.
TEST(FileSystemEnumeration, ReportsFoldersThatCannotBeListed) {
    const TemporaryDirectory directory;
    directory.writeFile("root/locked/x.vst3/y", "x");
    directory.writeFile("root/open/z.vst3/y", "x");
    testing::FaultyFileSystem fs;
    fs.failReadsUnder(directory / "root/locked");

    std::vector<std::string> failed;
    const auto visit = [](const EnumeratedEntry&) { return EnumerationStep::proceed; };
    ASSERT_TRUE(fs.enumerateReportingErrors(directory / "root", visit, [&](const std::string& path, const Error&) {
        failed.push_back(path);
        return true;
    }));
    EXPECT_EQ(failed, std::vector<std::string>{directory / "root/locked"});

    // Answering false stops the walk where it is: the second failure is never met.
    fs.failReadsUnder(directory / "root/open");
    std::size_t calls = 0;
    fs.enumerateReportingErrors(directory / "root", visit, [&](const std::string&, const Error&) {
        ++calls;
        return false;
    });
    EXPECT_EQ(calls, 1u);

    // A root that is not a folder is an error of its own.
    EXPECT_FALSE(realFileSystem().enumerateReportingErrors(directory.writeFile("file", "x"), visit, nullptr));
}

TEST(FileContents, AMappedFileHoldsTheBytesAReadGives) {
    TemporaryDirectory directory;
    const auto file = directory / "state.json";
    std::string bytes(3 * 4096 + 17, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 7 % 256);
    }
    std::ofstream(file, std::ios::binary) << bytes;
    const auto& fileSystem = realFileSystem();

    auto mapped = fileSystem.mapFile(file);
    ASSERT_TRUE(mapped.ok());
    EXPECT_EQ(mapped->view(), bytes);
    // Zeros follow the file, also when it ends on a page boundary.
    const auto pageLong = directory / "page.json";
    std::ofstream(pageLong, std::ios::binary) << bytes.substr(0, 4096);
    for (const auto& path : {file, pageLong}) {
        const auto contents = fileSystem.mapFile(path);
        ASSERT_GE(contents->readableAfterEnd(), 64u) << path;
        const auto view = contents->view();
        EXPECT_EQ(std::string_view(view.data() + view.size(), 64), std::string(64, '\0')) << path;
    }
    EXPECT_EQ(FileBytes("text").readableAfterEnd(), 0u);
    // Released pages read the same bytes again.
    mapped->releaseBefore(2 * 4096 + 5);
    EXPECT_EQ(mapped->view(), bytes);
    const FileBytes text("text");
    text.releaseBefore(3);
    EXPECT_EQ(text.view(), "text");
    // Moving the bytes moves the mapping; the moved-from value is empty.
    FileBytes moved = std::move(*mapped);
    EXPECT_EQ(moved.view(), bytes);
    moved = FileBytes("replaced");
    EXPECT_EQ(moved.view(), "replaced");

    const auto empty = directory / "empty.json";
    std::ofstream(empty) << "";
    EXPECT_EQ(fileSystem.mapFile(empty)->view(), "");

    EXPECT_FALSE(fileSystem.mapFile(directory / "missing.json").ok());
    const auto folder = directory.makeDirectory("folder.json");
    EXPECT_FALSE(fileSystem.mapFile(folder).ok());
    const auto fifo = directory / "fifo.json";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    const auto refused = fileSystem.mapFile(fifo);
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.error().message.find("not a regular file"), std::string::npos);

    // A small file is read up to its limit and not one byte beyond.
    const auto small = directory.writeFile("small.json", "12345");
    EXPECT_EQ(readSmallRegularFile(small, 5), "12345");
    EXPECT_EQ(readSmallRegularFile(small, 4), std::nullopt);
    EXPECT_EQ(readSmallRegularFile(fifo, 5), std::nullopt);
}

}  // namespace
}  // namespace kestrova
