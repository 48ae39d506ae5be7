// Folder grants and the settings file that keeps them across runs.
#include "access/PluginFolderAccess.h"
#include "platform/UserDefaults.h"

#include "support/FaultyFileSystem.h"
#include "support/TemporaryDirectory.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace kestrova {
namespace {

using kestrova::testing::FaultyFileSystem;
using kestrova::testing::TemporaryDirectory;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class ScriptedChooser final : public FolderChooser {
public:
    explicit ScriptedChooser(std::optional<std::vector<std::string>> answer) : answer_(std::move(answer)) {}
    std::optional<std::vector<std::string>> chooseFolders(const FolderChooserPrompt& prompt) override {
        shownTitle = prompt.title;
        return answer_;
    }
    std::string shownTitle;

private:
    std::optional<std::vector<std::string>> answer_;
};

// Bookmarks that cannot be made, as when a stale one cannot be renewed.
class UnrenewableBookmarks final : public FolderBookmarks {
public:
    using FolderBookmarks::FolderBookmarks;
    Result<std::string> create(const std::string&) const override {
        return Error{"The bookmark could not be created."};
    }
};

struct Fixture {
    TemporaryDirectory home;
    FaultyFileSystem disk;
    UserDefaults defaults{UserDefaults::standardFile(SystemLayout{"/", home.path()}), disk};
    FolderBookmarks bookmarks{disk};

    std::vector<std::string> storedPaths(std::string_view key) const {
        std::vector<std::string> paths;
        for (const auto& data : defaults.dataArray(key).value_or(std::vector<std::string>{})) {
            paths.push_back(nlohmann::json::parse(data).at("path").get<std::string>());
        }
        return paths;
    }
};

TEST(PluginFolderAccess, MovesLegacyGrantsToTheNewKeyAndPrefersTheNewKey) {
    Fixture f;
    const auto vst3 = f.home.makeDirectory("Plug-Ins/VST3");
    const auto components = f.home.makeDirectory("Plug-Ins/Components");
    ASSERT_TRUE(f.defaults.setDataArray(PluginFolderAccess::legacyBookmarksKey,
                                        {f.bookmarks.create(vst3).value(), f.bookmarks.create(components).value()}));
    const auto legacyBefore = f.defaults.value(PluginFolderAccess::legacyBookmarksKey);

    PluginFolderAccess access(f.defaults, f.bookmarks);
    EXPECT_THAT(access.authorizedFolders(), ElementsAre(components, vst3));
    EXPECT_FALSE(access.lastError());
    EXPECT_THAT(f.storedPaths(PluginFolderAccess::bookmarksKey), ElementsAre(components, vst3));
    EXPECT_EQ(f.defaults.value(PluginFolderAccess::legacyBookmarksKey), legacyBefore);

    // Once the new key exists, the legacy list no longer counts, even when it differs.
    ASSERT_TRUE(f.defaults.setDataArray(PluginFolderAccess::bookmarksKey, {f.bookmarks.create(vst3).value()}));
    PluginFolderAccess again(f.defaults, f.bookmarks);
    EXPECT_THAT(again.authorizedFolders(), ElementsAre(vst3));
}

TEST(PluginFolderAccess, AStoredArrayWithANonDataItemCountsAsAbsent) {
    Fixture f;
    const auto vst3 = f.home.makeDirectory("VST3");
    auto mixed = nlohmann::json::array({UserDefaults::dataValue(f.bookmarks.create(vst3).value()), "not data"});
    ASSERT_TRUE(f.defaults.setValue(PluginFolderAccess::bookmarksKey, mixed));

    PluginFolderAccess access(f.defaults, f.bookmarks);
    EXPECT_THAT(access.authorizedFolders(), IsEmpty());
    EXPECT_FALSE(access.lastError());
    // Nothing was restored, so nothing was written over the stored value.
    EXPECT_EQ(f.defaults.value(PluginFolderAccess::bookmarksKey), mixed);
    EXPECT_THAT(f.disk.attemptedWrites(), ::testing::SizeIs(1));  // the setValue above
}

TEST(PluginFolderAccess, RestoreDropsMissingAndInaccessibleFoldersAndRenewsStaleOnes) {
    Fixture f;
    const auto gone = f.home.makeDirectory("Gone");
    const auto locked = f.home.makeDirectory("Locked");
    const auto replaced = f.home.makeDirectory("Replaced");
    const auto kept = f.home.makeDirectory("Kept");
    std::vector<std::string> stored;
    for (const auto& folder : {gone, locked, replaced, kept}) {
        stored.push_back(f.bookmarks.create(folder).value());
    }
    ASSERT_TRUE(f.defaults.setDataArray(PluginFolderAccess::bookmarksKey, stored));
    std::filesystem::remove(gone);
    // A new folder at the same path (made before the old one goes, so its inode differs).
    const auto newcomer = f.home.makeDirectory("Newcomer");
    std::filesystem::remove(replaced);
    std::filesystem::rename(newcomer, replaced);
    f.disk.failReadsUnder(locked);

    PluginFolderAccess access(f.defaults, f.bookmarks);
    EXPECT_THAT(access.authorizedFolders(), ElementsAre(kept, replaced));
    // The unresolvable bookmark is reported; the one that cannot start is dropped silently.
    EXPECT_EQ(access.lastError(), "The folder “Gone” couldn’t be found.");
    EXPECT_THAT(f.storedPaths(PluginFolderAccess::bookmarksKey), ElementsAre(kept, replaced));
    const auto renewed = f.defaults.dataArray(PluginFolderAccess::bookmarksKey).value();
    EXPECT_EQ(renewed[0], stored[3]);
    EXPECT_NE(renewed[1], stored[2]);
    EXPECT_FALSE(f.bookmarks.resolve(renewed[1])->isStale);
}

TEST(PluginFolderAccess, AStaleBookmarkThatCannotBeRenewedStaysActiveForThisRunOnly) {
    Fixture f;
    const auto folder = f.home.makeDirectory("Folder");
    ASSERT_TRUE(f.defaults.setDataArray(PluginFolderAccess::bookmarksKey, {f.bookmarks.create(folder).value()}));
    const auto newcomer = f.home.makeDirectory("Newcomer");
    std::filesystem::remove(folder);
    std::filesystem::rename(newcomer, folder);

    UnrenewableBookmarks bookmarks(f.disk);
    PluginFolderAccess access(f.defaults, bookmarks);
    EXPECT_THAT(access.authorizedFolders(), ElementsAre(folder));
    EXPECT_EQ(access.lastError(), "The bookmark could not be created.");
    EXPECT_THAT(f.defaults.dataArray(PluginFolderAccess::bookmarksKey).value(), IsEmpty());
}

TEST(PluginFolderAccess, AuthorizingAddsEachFolderOnceReportsOneLinePerFailureAndCancelsCleanly) {
    Fixture f;
    const auto bravo = f.home.makeDirectory("Bravo");
    const auto alpha = f.home.makeDirectory("alpha");  // before "Bravo" only when case is ignored
    const auto locked = f.home.makeDirectory("Locked");
    f.disk.failReadsUnder(locked);
    PluginFolderAccess access(f.defaults, f.bookmarks);
    std::vector<std::string> changes;
    access.observe([&](std::string_view field) { changes.emplace_back(field); });

    ScriptedChooser chooser({{bravo, alpha + "/", locked, bravo}});
    access.authorizeFolders(chooser);
    EXPECT_EQ(chooser.shownTitle, "Authorize Plugin Folders");
    EXPECT_THAT(access.authorizedFolders(), ElementsAre(alpha, bravo));
    EXPECT_EQ(access.lastError(), "Locked: Kestrova could not begin secure access to the selected folder.");
    EXPECT_THAT(f.storedPaths(PluginFolderAccess::bookmarksKey), ::testing::UnorderedElementsAre(alpha, bravo));
    EXPECT_THAT(changes, ::testing::Contains("authorizedFolders"));
    EXPECT_THAT(changes, ::testing::Contains("lastError"));

    // A folder that does not exist cannot be bookmarked; its name leads the line.
    access.authorize({f.home / "Missing", f.home / "also missing"});
    EXPECT_EQ(access.lastError(),
              "Missing: The folder “Missing” couldn’t be found.\n"
              "also missing: The folder “also missing” couldn’t be found.");

    // Cancelling the chooser only clears the error.
    const auto storedBefore = f.defaults.value(PluginFolderAccess::bookmarksKey);
    ScriptedChooser cancelled(std::nullopt);
    access.authorizeFolders(cancelled);
    EXPECT_FALSE(access.lastError());
    EXPECT_EQ(f.defaults.value(PluginFolderAccess::bookmarksKey), storedBefore);
    // That a later run restores the grants is in the demo's recording (authorize, then folders).
}

TEST(PluginFolderAccess, ASettingsFileThatCannotBeWrittenIsReportedButTheGrantHoldsForThisRun) {
    Fixture f;
    const auto folder = f.home.makeDirectory("Folder");
    PluginFolderAccess access(f.defaults, f.bookmarks);
    f.disk.simulateFullDisk();
    access.authorize({folder});
    EXPECT_THAT(access.authorizedFolders(), ElementsAre(folder));
    EXPECT_THAT(access.lastError().value_or(""), ::testing::HasSubstr("No space left on device"));
}

TEST(UserDefaults, KeepsBinaryDataApartFromOtherValuesAndSurvivesAReload) {
    TemporaryDirectory home;
    const auto file = UserDefaults::standardFile(SystemLayout{"/", home.path()});
    UserDefaults defaults(file);
    const std::string binary("\0\x01\xff/=+ab", 8);
    ASSERT_TRUE(defaults.setDataArray("items", {binary, "", "x", "xy", "xyz"}));
    ASSERT_TRUE(defaults.setValue("name", "plain"));

    UserDefaults reloaded(file);
    EXPECT_EQ(reloaded.dataArray("items"), (std::vector<std::string>{binary, "", "x", "xy", "xyz"}));
    EXPECT_EQ(reloaded.value("name"), "plain");
    EXPECT_FALSE(reloaded.dataArray("name"));  // a string is not data
    EXPECT_FALSE(reloaded.dataArray("unset"));
    EXPECT_FALSE(UserDefaults::dataFromValue(nlohmann::json{{"data", "not base64!"}}));
    EXPECT_FALSE(UserDefaults::dataFromValue(nlohmann::json{{"data", "eA=="}, {"extra", 1}}));
}

TEST(UserDefaults, ADamagedSettingsFileIsNeitherReadNorReplaced) {
    TemporaryDirectory home;
    const auto file = home.writeFile("Library/Preferences/com.tolvanek.Kestrova.json", "{\"key\": [1, 2");
    UserDefaults defaults(file);
    EXPECT_FALSE(defaults.value("key"));
    EXPECT_FALSE(defaults.setValue("key", 3));
    EXPECT_EQ(home.readFile("Library/Preferences/com.tolvanek.Kestrova.json"), "{\"key\": [1, 2");
}

}  // namespace
}  // namespace kestrova
