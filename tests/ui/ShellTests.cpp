// The window as a whole: what it shows first, the sidebar counts, notices as
// alerts, navigation, the command line and screenshots.
#include "UiSandbox.h"

#include "ui/app/Launch.h"
#include "ui/app/Screenshot.h"

#include <QApplication>
#include <QImage>
#include <QListWidget>

namespace kestrova::testing {
namespace {

using ui::AppSection;

TEST(Shell, FirstLaunchCountsNoticesAndNavigation) {
    UiSandbox sandbox;
    auto& window = sandbox.open();
    EXPECT_EQ(window.state().section(), AppSection::inventory);
    EXPECT_EQ(window.sidebar().section(), AppSection::inventory);
    EXPECT_EQ(window.minimumSize(), ui::MainWindow::minimumContentSize);
    const auto badge = [&](AppSection section) { return window.sidebar().badgeText(section); };
    EXPECT_EQ(badge(AppSection::inventory), QString("8"));
    EXPECT_EQ(badge(AppSection::protected_), QString("2"));
    EXPECT_EQ(badge(AppSection::quarantine), QString("0"));
    EXPECT_EQ(badge(AppSection::trashRecovery), QString("0"));
    EXPECT_EQ(badge(AppSection::history), QString("0"));
    for (const auto section : {AppSection::formatCleanup, AppSection::permanentQuarantine, AppSection::pluginManagement,
                               AppSection::safetyGuide, AppSection::about}) {
        EXPECT_EQ(badge(section), std::nullopt) << ui::title(section);
    }
    EXPECT_TRUE(window.sidebar().showsWordmark());
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
        ASSERT_TRUE(ui::writeScreenshot(sandbox.session(), section, file)) << ui::commandName(section);
        QImage picture(QString::fromStdString(file));
        ASSERT_FALSE(picture.isNull());
        EXPECT_GE(picture.width(), ui::MainWindow::minimumContentSize.width());
        EXPECT_GE(picture.height(), ui::MainWindow::minimumContentSize.height());
        for (const auto& earlier : pictures) {
            EXPECT_NE(picture, earlier) << ui::commandName(section) << " looks like an earlier section";
        }
        pictures.push_back(std::move(picture));
    }
    EXPECT_FALSE(
        ui::writeScreenshot(sandbox.session(), AppSection::about, sandbox.helper.path("no/such/folder/x.png")));
}

}  // namespace
}  // namespace kestrova::testing
