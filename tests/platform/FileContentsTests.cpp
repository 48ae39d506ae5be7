// Reading whole files: mapped or read, the same bytes; and nothing that is not
// a regular file is waited on or taken for one.
#include "platform/FileSystem.h"

#include "support/TemporaryDirectory.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <fstream>

namespace kestrova {
namespace {

using testing::TemporaryDirectory;

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
    EXPECT_EQ(*fileSystem.readFile(file), bytes);
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
}

}  // namespace
}  // namespace kestrova
