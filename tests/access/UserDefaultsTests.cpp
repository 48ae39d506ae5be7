#include "platform/UserDefaults.h"

#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

using kestrova::testing::TemporaryDirectory;

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

    ASSERT_TRUE(reloaded.removeValue("name"));
    EXPECT_FALSE(defaults.value("name"));
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
