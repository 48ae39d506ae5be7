// The Inventory and Protected screens on the sample inventory and on saved
// states: filters and search, sorting, export, folder authorization,
// protection, a blocked state file and a shell-hosted product.
#include "ScreenDriving.h"

#include "planning/ByteCountParsing.h"
#include "store/state/PersistedInventoryFile.h"
#include "ui/screens/inventory/InventoryScreen.h"
#include "ui/screens/protected/ProtectedScreen.h"
#include "ui/widgets/ProductList.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>

#include <filesystem>
#include <fstream>

namespace kestrova::testing {
namespace {

using ui::AppSection;

ui::InventoryScreen& inventoryScreen(UiSandbox& sandbox) {
    return sandbox.show<ui::InventoryScreen>(AppSection::inventory);
}

TEST(InventoryScreen, FiltersSearchAndSortingOnTheSampleInventory) {
    UiSandbox sandbox;
    sandbox.open();
    auto& screen = inventoryScreen(sandbox);
    auto& table = *screen.table();
    auto& shown = named<QLabel>(screen, "ShownCount");
    auto& clear = *findByText<QPushButton>(screen, "Clear Filters");
    EXPECT_EQ(shown.text(), "8 of 8 active plugins shown");
    EXPECT_FALSE(clear.isVisible());

    // Every product with a VST3 bundle stays, whatever else it has; the
    // sample has AU and AAX beside VST3, so an exact match would drop some.
    auto& formats = named<QComboBox>(screen, "FormatMenu");
    EXPECT_EQ(formats.itemText(0), "All");
    formats.setCurrentText("VST3");
    EXPECT_EQ(table.model()->rowCount(), 8);
    formats.setCurrentText("AAX");
    EXPECT_EQ(table.model()->rowCount(), 5);
    EXPECT_EQ(shown.text(), "5 of 8 active plugins shown");
    EXPECT_TRUE(clear.isVisible());
    named<QComboBox>(screen, "ArchitectureMenu").setCurrentText("Apple Silicon");
    EXPECT_EQ(shownNames(table), QStringList({"UAD API Vision", "iZotope Ozone 11"}));
    click(&clear);
    EXPECT_EQ(shown.text(), "8 of 8 active plugins shown");
    EXPECT_EQ(formats.currentText(), "All");
    EXPECT_FALSE(clear.isVisible());

    // The search matches name or manufacturer, in any case, and is the
    // window's query.
    auto& search = named<QLineEdit>(screen, "SearchField");
    QTest::keyClicks(&search, "INSTRU");
    EXPECT_EQ(sandbox.window().state().query(), "INSTRU");
    EXPECT_EQ(shownNames(table), QStringList({"Native Instruments Kontakt 8"}));
    EXPECT_TRUE(clear.isVisible());
    sandbox.window().state().setQuery("pro");
    EXPECT_EQ(search.text(), "pro");
    EXPECT_EQ(shownNames(table), QStringList({"FabFilter Pro-Q 3"}));
    click(&clear);
    EXPECT_EQ(sandbox.window().state().query(), "");
    EXPECT_FALSE(clear.isVisible());

    // Sizes sort by their byte counts, not by their text.
    table.horizontalHeader()->setSortIndicator(4, Qt::AscendingOrder);
    std::vector<std::int64_t> sizes;
    for (int row = 0; row < table.model()->rowCount(); ++row) {
        sizes.push_back(*parseDisplaySize(table.model()->index(row, 4).data().toString().toStdString()));
    }
    EXPECT_TRUE(std::is_sorted(sizes.begin(), sizes.end()));
    EXPECT_EQ(named<QLabel>(screen, "ScanCaption").text(),
              "Sample inventory — run a read-only scan to inspect this Mac.");
}

TEST(InventoryScreen, ExportAuthorizationAndProtectionGoThroughTheStore) {
    UiSandbox sandbox;
    sandbox.open();
    auto& window = sandbox.window();
    auto& screen = inventoryScreen(sandbox);

    const auto exported = sandbox.helper.path("inventory.csv");
    sandbox.prompter.savePathAnswer = exported;
    click(findByText<QPushButton>(screen, "Export CSV…"));
    ASSERT_EQ(sandbox.prompter.saveRequests.size(), 1u);
    EXPECT_EQ(sandbox.prompter.saveRequests[0].title, "Export Kestrova Inventory");
    EXPECT_EQ(sandbox.prompter.saveRequests[0].proposedName, "Kestrova-Plugin-Inventory.csv");
    ASSERT_TRUE(waitFor([&] { return !sandbox.prompter.alerts.empty(); }));
    EXPECT_EQ(sandbox.prompter.alerts.back(),
              std::make_pair(QString("Inventory Exported"),
                             QString("The CSV report was saved to the location you selected.")));
    EXPECT_TRUE(std::filesystem::exists(exported));
    sandbox.prompter.savePathAnswer = sandbox.helper.path("no/such/folder/inventory.csv");
    click(findByText<QPushButton>(screen, "Export CSV…"));
    EXPECT_EQ(sandbox.prompter.alerts.back().first, "Export Failed");
    EXPECT_EQ(sandbox.prompter.alerts.size(), 2u) << "one alert per export, never a second success";

    auto& folders = named<QLabel>(screen, "FoldersAuthorized");
    EXPECT_EQ(folders.text(), "0 folders authorized");
    sandbox.prompter.foldersAnswer =
        std::vector<std::string>{sandbox.helper.layout().system("/Library"), sandbox.helper.path("missing")};
    click(findByText<QPushButton>(screen, "Authorize Folder…"));
    EXPECT_EQ(folders.text(), "1 folders authorized");
    EXPECT_TRUE(named<QLabel>(screen, "FolderError").text().startsWith("Folder authorization failed: "));

    // Protecting a product from its inspector lists it on the Protected
    // screen; removing it there asks first and takes it off again.
    clickRow(*screen.table(), "Soundtoys Decapitator");
    click(findByText<QPushButton>(screen, "Protect All Formats"));
    EXPECT_EQ(window.sidebar().badgeText(AppSection::protected_), QString("3"));
    auto& protectedScreen = sandbox.show<ui::ProtectedScreen>(AppSection::protected_);
    EXPECT_EQ(protectedScreen.list().count(), 3);
    EXPECT_TRUE(shownButtons(protectedScreen, "Remove ").contains("Remove All Protection…"))
        << "the product stays selected across screens";
    sandbox.prompter.confirmAnswer = false;
    click(findByText<QPushButton>(protectedScreen, "Remove All Protection…"));
    ASSERT_EQ(sandbox.prompter.confirmations.size(), 1u);
    EXPECT_EQ(sandbox.prompter.confirmations[0].message,
              "Protection will be removed from every Soundtoys Decapitator format. No files will be moved now.");
    EXPECT_EQ(protectedScreen.list().count(), 3);
    sandbox.prompter.confirmAnswer = true;
    click(findByText<QPushButton>(protectedScreen, "Remove All Protection…"));
    EXPECT_EQ(protectedScreen.list().count(), 2);
    EXPECT_EQ(window.sidebar().badgeText(AppSection::protected_), QString("2"));
}

TEST(InventoryScreen, ABlockedStateFileOpensWithTheAlertAndDisablesScanningAndFileActions) {
    UiSandbox sandbox;
    const auto stateFile = inventoryStateURL(sandbox.helper.layout());
    std::filesystem::create_directories(std::filesystem::path(stateFile).parent_path());
    std::ofstream(stateFile) << R"({"schemaVersion": 99, "plugins": []})";
    auto& window = sandbox.open();
    ASSERT_TRUE(waitFor([&] { return !sandbox.prompter.alerts.empty(); }));
    EXPECT_EQ(sandbox.prompter.alerts.front().first, "Inventory Upgrade Blocked");
    EXPECT_EQ(sandbox.prompter.alerts.front().second,
              "Kestrova kept the existing Build 39 inventory unchanged. Scanning and plugin file actions are blocked "
              "until the local state can be safely upgraded.");
    EXPECT_FALSE(sandbox.store().notice().has_value()) << "dismissing the alert clears the notice";
    EXPECT_EQ(window.state().section(), AppSection::inventory);
    EXPECT_EQ(window.sidebar().badgeText(AppSection::inventory), QString("0"));
    auto& screen = inventoryScreen(sandbox);
    EXPECT_EQ(screen.table()->model()->rowCount(), 0);
    EXPECT_FALSE(named<QPushButton>(screen, "ScanButton").isEnabled());
    EXPECT_TRUE(findByText<QPushButton>(screen, "Export CSV…")->isEnabled());
}

TEST(InventoryScreen, AShellHostedProductOffersNoFileAction) {
    UiSandbox sandbox;
    Plugin hosted;
    hosted.id = Uuid::random();
    hosted.name = "SSL E-Channel";
    hosted.manufacturer = "Waves";
    hosted.version = "14.0";
    hosted.formats = {"AU"};
    hosted.architecture = "Universal";
    hosted.size = "—";
    hosted.path = "macOS Audio Unit Registry";
    hosted.status = PluginStatus::hostedByShell;
    hosted.isProtected = true;
    PersistedInventory state;
    state.schemaVersion = currentInventorySchemaVersion;
    state.plugins = {hosted};
    ASSERT_TRUE(writePersistedInventory(state, sandbox.helper.layout()).ok());
    sandbox.open();
    sandbox.enableHelper();
    auto& screen = inventoryScreen(sandbox);
    clickRow(*screen.table(), "SSL E-Channel");
    QApplication::processEvents();
    auto& inspector = named<QWidget>(screen, "Inspector");
    EXPECT_NE(findByText<QLabel>(inspector, "WaveShell Hosting"), nullptr);
    EXPECT_NE(findByText<QLabel>(inspector, "macOS Audio Unit Registry"), nullptr);
    EXPECT_EQ(shownButtons(inspector), QStringList());

    auto& protectedScreen = sandbox.show(AppSection::protected_);
    EXPECT_NE(findByText<QLabel>(protectedScreen, "Hosted by WaveShell: mandatory protection cannot be removed."),
              nullptr);
    EXPECT_EQ(shownButtons(protectedScreen), QStringList());
}

}  // namespace
}  // namespace kestrova::testing
