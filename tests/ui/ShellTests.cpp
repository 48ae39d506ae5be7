// The window as a whole: what it shows first, the sidebar counts, notices as
// alerts, navigation, the command line and screenshots.
#include "UiSandbox.h"

#include "ui/app/Launch.h"
#include "ui/app/Screenshot.h"

#include <QApplication>
#include <QImage>
#include <QListWidget>

#include <unistd.h>

#include <filesystem>

namespace kestrova::testing {
namespace {

using ui::AppSection;

TEST(Shell, FirstLaunchCountsNoticesAndNavigation) {
    UiSandbox sandbox;
    auto& window = sandbox.open();
    EXPECT_EQ(window.state().section(), AppSection::inventory);
    EXPECT_EQ(window.sidebar().section(), AppSection::inventory);
    EXPECT_EQ(window.minimumSize(), ui::MainWindow::minimumContentSize);
    // Counts in the order of the sidebar; the sections without one show none.
    const std::optional<QString> badges[] = {"8", "2", "0", {}, {}, "0", "0", {}, {}, {}};
    for (std::size_t index = 0; index < ui::allSections.size(); ++index) {
        EXPECT_EQ(window.sidebar().badgeText(ui::allSections[index]), badges[index])
            << ui::title(ui::allSections[index]);
    }
    EXPECT_TRUE(window.sidebar().showsWordmark());
    EXPECT_EQ(named<QLabel>(*window.screen(AppSection::inventory), "ScanCaption").text(),
              "Sample inventory — run a read-only scan to inspect this Mac.");
    EXPECT_TRUE(sandbox.prompter.alerts.empty());

    sandbox.store().showWarning("First", "One.");
    sandbox.store().showSuccess("Second", "Two.");
    ASSERT_TRUE(waitFor([&] { return !sandbox.store().notice().has_value(); }));
    QApplication::processEvents();
    // Only the newest notice is ever in the store's one slot.
    ASSERT_EQ(sandbox.prompter.alerts.size(), 1u);
    EXPECT_EQ(sandbox.prompter.alerts[0], std::make_pair(QString("Second"), QString("Two.")));

    window.state().setQuery("pro");
    const auto someID = sandbox.store().plugins().front().id;
    window.state().setSelectedPluginID(someID);
    window.sidebar().list()->setCurrentRow(static_cast<int>(AppSection::history));
    EXPECT_EQ(window.state().section(), AppSection::history);
    EXPECT_EQ(window.currentScreen(), window.screen(AppSection::history));
    window.showSection(AppSection::quarantine);
    EXPECT_EQ(window.sidebar().section(), AppSection::quarantine);
    EXPECT_EQ(window.state().query(), "pro");
    EXPECT_EQ(window.state().selectedPluginID(), someID);
}

TEST(Shell, CommandLineAndDisplayChecks) {
    auto parsed = ui::parseLaunchOptions({"kestrova", "--root", "/r", "-platform", "offscreen", "--home", "/h",
                                          "--screenshot", "format-cleanup", "x.png"});
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->app.root, "/r");
    EXPECT_EQ(parsed->app.home, "/h");
    ASSERT_TRUE(parsed->screenshot);
    EXPECT_EQ(parsed->screenshot->section, AppSection::formatCleanup);
    EXPECT_EQ(parsed->screenshot->file, "x.png");
    EXPECT_FALSE(ui::parseLaunchOptions({"kestrova", "--screenshot", "nowhere", "x.png"}));
    EXPECT_FALSE(ui::parseLaunchOptions({"kestrova", "--screenshot", "about"}));
    EXPECT_FALSE(ui::parseLaunchOptions({"kestrova", "--root"}));
    EXPECT_FALSE(ui::parseLaunchOptions({"kestrova", "--frobnicate"}));
    const auto sized = ui::parseLaunchOptions({"kestrova", "--size", "1180x720", "--screenshot", "about", "a.png"});
    ASSERT_TRUE(sized);
    EXPECT_EQ(sized->screenshot->size, (std::pair{1180, 720}));
    for (const auto* size : {"1179x720", "1180x719", "1180", "x720", "1180x", "1180x720px", "-1180x720", "0x0"}) {
        EXPECT_FALSE(ui::parseLaunchOptions({"kestrova", "--screenshot", "about", "a.png", "--size", size})) << size;
    }
    EXPECT_FALSE(ui::parseLaunchOptions({"kestrova", "--size", "1440x900"})) << "a size without a screenshot";

    // Qt wants a private runtime folder; one is made only when none is set.
    EXPECT_FALSE(ui::privateRuntimeDirectory("/run/user/0", ::getuid()));
    const auto runtime = ui::privateRuntimeDirectory(nullptr, ::getuid());
    ASSERT_TRUE(runtime);
    EXPECT_TRUE(std::filesystem::is_directory(*runtime));
    EXPECT_EQ(std::filesystem::status(*runtime).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);

    const auto message = ui::missingDisplayMessage(nullptr, nullptr, nullptr);
    ASSERT_TRUE(message);
    EXPECT_NE(message->find("QT_QPA_PLATFORM=offscreen"), std::string::npos);
    EXPECT_NE(message->find("--screenshot"), std::string::npos);
    EXPECT_TRUE(ui::missingDisplayMessage("xcb", nullptr, nullptr)) << "xcb needs an X display";
    EXPECT_TRUE(ui::missingDisplayMessage("wayland", ":0", nullptr)) << "wayland needs a Wayland display";
    EXPECT_FALSE(ui::missingDisplayMessage("offscreen", nullptr, nullptr));
    EXPECT_FALSE(ui::missingDisplayMessage(nullptr, ":0", nullptr));
    EXPECT_FALSE(ui::missingDisplayMessage(nullptr, nullptr, "wayland-0"));
}

TEST(Shell, EverySectionRendersToItsOwnPicture) {
    UiSandbox sandbox;
    sandbox.open();
    std::vector<QImage> pictures;
    for (const auto section : ui::allSections) {
        const auto file = sandbox.helper.path(std::string(ui::commandName(section)) + ".png");
        const auto size =
            section == AppSection::about ? ui::MainWindow::minimumContentSize : ui::MainWindow::defaultSize;
        ASSERT_TRUE(ui::writeScreenshot(sandbox.session(), section, file, size)) << ui::commandName(section);
        QImage picture(QString::fromStdString(file));
        ASSERT_FALSE(picture.isNull());
        EXPECT_EQ(picture.size() / picture.devicePixelRatio(), size);
        for (const auto& earlier : pictures) {
            EXPECT_NE(picture, earlier) << ui::commandName(section) << " looks like an earlier section";
        }
        pictures.push_back(std::move(picture));
    }
    EXPECT_FALSE(ui::writeScreenshot(sandbox.session(), AppSection::about, sandbox.helper.path("no/such/folder/x.png"),
                                     ui::MainWindow::defaultSize));
}

}  // namespace
}  // namespace kestrova::testing
