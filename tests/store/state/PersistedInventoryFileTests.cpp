#include "store/state/PersistedInventoryFile.h"

#include "../StateSamples.h"
#include "support/FaultyFileSystem.h"
#include "support/TemporaryDirectory.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

namespace kestrova {
namespace {

using kestrova::testing::FaultyFileSystem;
using kestrova::testing::fullState;
using kestrova::testing::sampleProduct;
using kestrova::testing::TemporaryDirectory;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

constexpr std::string_view stateFile = "Library/Application Support/Kestrova/inventory-state.json";
constexpr std::string_view legacyFile = "Library/Application Support/Halvern/inventory-state.json";

struct Home {
    TemporaryDirectory directory;
    SystemLayout layout{"/", directory.path()};
    FaultyFileSystem disk;

    std::string write(std::string_view relative, std::string_view contents) const {
        return directory.writeFile(relative, contents);
    }
    std::string read(std::string_view relative) const { return directory.readFile(relative); }
};

// An unversioned document of the kind earlier builds wrote, with a product
// whose protection key is listed.
Plugin fixedProduct() {
    auto product = sampleProduct("Acme", "Reverb", {"VST3"});
    product.id = *Uuid::parse("0E4C6D2A-1B3F-4A5E-8C7D-9F0A1B2C3D4E");
    return product;
}

std::string olderDocument() {
    PersistedInventory state;
    state.plugins = {fixedProduct()};
    state.protectedKeys = {"acme|reverb"};
    return encodePersistedInventory(state);
}

std::string currentDocument() {
    PersistedInventory state;
    state.schemaVersion = 3;
    state.plugins = {fixedProduct()};
    return encodePersistedInventory(state);
}

void setOldModificationTime(const std::string& path) {
    const struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST(PersistedInventoryFile, AnOlderFileIsUpgradedAndWrittenBackOnce) {
    Home home;
    home.write(stateFile, olderDocument());
    const auto loaded = loadPersistedInventory(home.layout, home.disk);
    ASSERT_TRUE(loaded);
    ASSERT_TRUE(loaded->has_value());
    EXPECT_TRUE((*loaded)->didMigrate);
    EXPECT_TRUE((*loaded)->state.plugins.at(0).isProtected);

    const auto written = home.read(stateFile);
    EXPECT_EQ(written, encodePersistedInventory((*loaded)->state));
    EXPECT_THAT(written, HasSubstr("\"schemaVersion\": 3"));
    // Nothing but the state file is left in its folder.
    EXPECT_THAT(*realFileSystem().contentsOfDirectory(home.directory / "Library/Application Support/Kestrova"),
                ::testing::ElementsAre("inventory-state.json"));

    const auto again = loadPersistedInventory(home.layout, home.disk);
    ASSERT_TRUE(again);
    EXPECT_FALSE((*again)->didMigrate);
    EXPECT_EQ((*again)->state, (*loaded)->state);
    EXPECT_EQ(home.disk.attemptedWrites().size(), 1u);
}

// Newer builds may write records this one cannot read; the version is what
// counts. (The refusals' words: the command line's recording, "state check".)
TEST(PersistedInventoryFile, ANewerDamagedOrUnreadableFileIsReportedAndNeverWrittenOver) {
    Home home;
    home.write(legacyFile, olderDocument());
    const std::vector<std::pair<std::string, InventoryStateError::Kind>> documents{
        {R"({"schemaVersion" : 4, "plugins" : [], "protectedKeys" : [], "history" : []})",
         InventoryStateError::Kind::unsupportedSchema},
        {R"({"schemaVersion":4,"plugins":[{"newShape":true}],"history":[]})",
         InventoryStateError::Kind::unsupportedSchema},
        {R"({"schemaVersion" : 1, "plugins" : [], "protectedKeys" : []})", InventoryStateError::Kind::damaged},
        {"{\"plugins\": [", InventoryStateError::Kind::damaged},
    };
    for (const auto& [document, kind] : documents) {
        home.write(stateFile, document);
        const auto loaded = loadPersistedInventory(home.layout, home.disk);
        ASSERT_FALSE(loaded);
        EXPECT_EQ(loaded.error().kind, kind) << document;
        EXPECT_EQ(home.read(stateFile), document);
        EXPECT_EQ(home.read(legacyFile), olderDocument());
    }
    EXPECT_THAT(loadPersistedInventory(home.layout, home.disk).error().description, HasSubstr("not valid JSON"));

    home.write(stateFile, currentDocument());
    home.disk.failReadsUnder(home.directory / stateFile, EIO);
    const auto unreadable = loadPersistedInventory(home.layout, home.disk);
    ASSERT_FALSE(unreadable);
    EXPECT_EQ(unreadable.error().kind, InventoryStateError::Kind::unreadable);
    EXPECT_THAT(unreadable.error().description, HasSubstr("Input/output error"));
    EXPECT_THAT(home.disk.attemptedWrites(), IsEmpty());

    // A link to nowhere is not a first launch: it is reported, not replaced.
    home.disk.clearFaults();
    std::filesystem::remove(home.directory / stateFile);
    home.directory.makeSymlink(home.directory / "nowhere.json", stateFile);
    EXPECT_EQ(loadPersistedInventory(home.layout, home.disk).error().kind, InventoryStateError::Kind::unreadable);
    EXPECT_TRUE(realFileSystem().isSymbolicLink(home.directory / stateFile));
}

TEST(PersistedInventoryFile, ALegacyFileIsCopiedAndKept) {
    Home home;
    const auto legacy = home.write(legacyFile, currentDocument());
    setOldModificationTime(legacy);
    const auto legacyStatus = realFileSystem().status(legacy);

    const auto loaded = loadPersistedInventory(home.layout, home.disk);
    ASSERT_TRUE(loaded);
    ASSERT_TRUE(loaded->has_value());
    EXPECT_FALSE((*loaded)->didMigrate);
    EXPECT_EQ(decodePersistedInventory(home.read(stateFile)).value(), (*loaded)->state);
    EXPECT_EQ(home.read(legacyFile), currentDocument());
    EXPECT_EQ(realFileSystem().status(legacy), legacyStatus);

    // From now on the new file is the one read; the legacy file no longer matters.
    home.write(legacyFile, "not JSON at all");
    EXPECT_TRUE(loadPersistedInventory(home.layout, home.disk));
}

TEST(PersistedInventoryFile, AFailedWriteBackLeavesEverythingAsItWas) {
    Home home;
    home.write(stateFile, olderDocument());
    home.write(legacyFile, olderDocument());
    home.disk.failWritesUnder(home.directory / "Library/Application Support/Kestrova");
    const auto loaded = loadPersistedInventory(home.layout, home.disk);
    ASSERT_FALSE(loaded);
    EXPECT_EQ(loaded.error().kind, InventoryStateError::Kind::notWritten);
    EXPECT_THAT(loaded.error().description, HasSubstr("Permission denied"));
    EXPECT_EQ(home.read(stateFile), olderDocument());

    // The legacy copy cannot land where a file stands in for the state folder.
    Home other;
    other.write(legacyFile, currentDocument());
    other.write("Library/Application Support/Kestrova", "a file, not a folder");
    const auto blocked = loadPersistedInventory(other.layout, other.disk);
    ASSERT_FALSE(blocked);
    EXPECT_EQ(blocked.error().kind, InventoryStateError::Kind::notWritten);
    EXPECT_EQ(other.read(legacyFile), currentDocument());
    EXPECT_EQ(other.read("Library/Application Support/Kestrova"), "a file, not a folder");
}

TEST(PersistedInventoryFile, WritingCreatesTheFolderAndAFullDiskKeepsTheOldDocument) {
    Home home;
    const auto state = fullState();
    ASSERT_TRUE(writePersistedInventory(state, home.layout, home.disk));
    EXPECT_EQ(decodePersistedInventory(home.read(stateFile)).value(), state);

    home.disk.simulateFullDisk();
    auto changed = state;
    changed.plugins.clear();
    const auto written = writePersistedInventory(changed, home.layout, home.disk);
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error().code, ENOSPC);
    EXPECT_EQ(decodePersistedInventory(home.read(stateFile)).value(), state);
}

// A writer killed at an arbitrary moment leaves one whole document: the old
// one or the new one.
TEST(PersistedInventoryFile, ACrashDuringASaveLeavesTheOldOrTheNewDocumentWhole) {
    Home home;
    const auto small = fullState();
    auto large = fullState();
    // Long texts, so that writing takes a fair share of each save beside
    // encoding, and the file is written in more than one piece.
    for (int i = 0; i < 80; ++i) {
        large.plugins.push_back(sampleProduct("Maker " + std::to_string(i), std::string(16 * 1024, 'x'), {"AU"}));
    }
    const auto smallText = encodePersistedInventory(small);
    const auto largeText = encodePersistedInventory(large);
    ASSERT_GT(largeText.size(), 1u << 20);
    ASSERT_TRUE(writePersistedInventory(large, home.layout));
    ASSERT_EQ(home.read(stateFile), largeText);
    ASSERT_TRUE(writePersistedInventory(small, home.layout));

    std::mt19937 random(20240611);
    for (int round = 0; round < 8; ++round) {
        int saves[2];
        ASSERT_EQ(::pipe(saves), 0);
        const pid_t child = ::fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            ::close(saves[0]);
            for (bool flip = false;; flip = !flip) {
                if (!writePersistedInventory(flip ? small : large, home.layout) || ::write(saves[1], "s", 1) != 1) {
                    ::_exit(1);
                }
            }
        }
        ::close(saves[1]);
        // Two saves in, the writer is in its steady loop; one cycle is two saves.
        char byte = 0;
        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(::read(saves[0], &byte, 1), 1);
        ASSERT_EQ(::read(saves[0], &byte, 1), 1);
        const auto cycle = std::chrono::steady_clock::now() - start;
        std::this_thread::sleep_for(std::uniform_real_distribution<double>(0.0, 1.0)(random) * cycle);
        ASSERT_EQ(::kill(child, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ::close(saves[0]);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself";

        const auto text = home.read(stateFile);
        EXPECT_TRUE(text == smallText || text == largeText) << "round " << round << ": " << text.size() << " bytes";
        const auto loaded = loadPersistedInventory(home.layout);
        ASSERT_TRUE(loaded) << loaded.error().description;
        EXPECT_TRUE((*loaded)->state == small || (*loaded)->state == large);
    }
}

}  // namespace
}  // namespace kestrova
