// The Linux profile's words for the desktop's places and services, and how
// an item is shown in the file manager.
#include "platform/FileManagerReveal.h"
#include "platform/PlatformWording.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>

namespace kestrova {
namespace {

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
}

TEST(PlatformWordingTest, TheTextsTheWindowAndTheCommandLineShow) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"Moved to macOS Trash: 2 bundles moved to Finder Trash. Reveal VST3 in Finder.",
         "Moved to Trash: 2 bundles moved to Trash. Reveal VST3 in the File Manager."},
        // The Trash is not "in the File Manager".
        {"Products in Finder Trash", "Products in the Trash"},
        {"Trash actions use macOS Trash and never", "Trash actions use the Trash and never"},
        // A whole sentence wins over the phrase it holds.
        {"The administrator-approved helper is registered with macOS.",
         "The administrator-approved helper is enabled in systemd."},
        {"Kestrova Diagnostic Report\nApp: 1.0\nmacOS: 6.1.0\n",
         "Kestrova Diagnostic Report\nApp: 1.0\nOperating system: 6.1.0\n"},
        // Words that only look alike stay.
        {"Finders Keepers, FinderTrash, Machine, macOSX", "Finders Keepers, FinderTrash, Machine, macOSX"},
        {"", ""},
    };
    for (const auto& [mac, linux_] : cases) {
        EXPECT_EQ(platformWording(mac, PlatformProfile::gnuLinux), linux_);
        EXPECT_EQ(platformWording(mac, PlatformProfile::macOS), mac);
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
