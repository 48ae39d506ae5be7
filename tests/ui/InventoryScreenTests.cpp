// The Inventory and Protected screens on the sample inventory and on saved
// states: filters and search, sorting, export, folder authorization,
// protection, a blocked state file and a shell-hosted product.
#include "UiSandbox.h"

#include "planning/ByteCountParsing.h"
#include "store/state/PersistedInventoryFile.h"
#include "ui/models/PluginTableModel.h"
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
using Column = ui::PluginTableModel::Column;

ui::InventoryScreen& inventoryScreen(UiSandbox& sandbox) {
    return sandbox.show<ui::InventoryScreen>(AppSection::inventory);
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
    EXPECT_TRUE(waitFor([&] { return std::filesystem::exists(exported); }));

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
    EXPECT_FALSE(sandbox.store().notice().has_value()) << "dismissing the alert clears the notice";
    EXPECT_EQ(window.state().section(), AppSection::inventory);
    EXPECT_EQ(window.sidebar().badgeText(AppSection::inventory), QString("0"));
    auto& screen = inventoryScreen(sandbox);
    EXPECT_EQ(screen.table()->model()->rowCount(), 0);
    EXPECT_FALSE(named<QPushButton>(screen, "ScanButton").isEnabled());
    EXPECT_TRUE(findByText<QPushButton>(screen, "Export CSV…")->isEnabled());
}

// One product of every status on a saved inventory: each value of the
// menus, alone and with a search of name or maker in any letter case, shows
// exactly its products; the status menu offers only the statuses shown; and
// sizes sort by their byte counts, not by their text.
TEST(InventoryScreen, EveryFilterAndTheSearchShowExactlyTheirProducts) {
    UiSandbox sandbox;
    // Sizes in mixed units, protected keys for the protected ones; one
    // product hosted by the shell, with no bundles of its own.
    const auto stateFile = inventoryStateURL(sandbox.helper.layout());
    std::filesystem::create_directories(std::filesystem::path(stateFile).parent_path());
    std::filesystem::copy_file(std::string(KESTROVA_SOURCE_DIR) + "/tests/data/ui/every-status-inventory.json",
                               stateFile);
    sandbox.open();
    auto& screen = inventoryScreen(sandbox);
    auto& table = *screen.table();
    auto& clear = *findByText<QPushButton>(screen, "Clear Filters");
    EXPECT_FALSE(clear.isVisible());
    auto& statuses = named<QComboBox>(screen, "StatusMenu");
    QStringList offered;
    for (int index = 0; index < statuses.count(); ++index) {
        offered << statuses.itemText(index);
    }
    EXPECT_EQ(offered, QStringList({"All", "Hosted by WaveShell", "Legacy", "OK", "Partially Protected",
                                    "Partially Quarantined", "Protected", "Shared Shell"}));
    const QStringList everyone{"Alpha Comp",           "CLA-2A", "Half Verb", "Old Delay", "Safe EQ", "Split Synth",
                               "WaveShell1-VST3 14.12"};
    const struct {
        QString menu;
        QString value;
        QString search;
        QStringList shown;
    } cases[] = {
        {"StatusMenu", "All", "", everyone},
        {"StatusMenu", "OK", "", {"Alpha Comp"}},
        {"StatusMenu", "Legacy", "", {"Old Delay"}},
        {"StatusMenu", "Protected", "", {"Safe EQ"}},
        {"StatusMenu", "Partially Protected", "", {"Half Verb"}},
        {"StatusMenu", "Partially Quarantined", "", {"Split Synth"}},
        {"StatusMenu", "Shared Shell", "", {"WaveShell1-VST3 14.12"}},
        {"StatusMenu", "Hosted by WaveShell", "", {"CLA-2A"}},
        {"StatusMenu", "All", "VERB", {"Half Verb"}},
        {"StatusMenu", "All", "cosmo", {"Split Synth"}},
        {"StatusMenu", "All", "waves", {"CLA-2A", "WaveShell1-VST3 14.12"}},
        {"StatusMenu", "Protected", "bolt", {"Safe EQ"}},
        {"StatusMenu", "OK", "bolt", {}},
        // A product stays when it has the format among others.
        {"FormatMenu", "VST3", "", everyone},
        {"FormatMenu", "AU", "", {"Half Verb", "Split Synth"}},
        {"ArchitectureMenu", "Intel", "", {"Old Delay"}},
        {"ManufacturerMenu", "Bolt", "", {"Half Verb", "Safe EQ"}},
        {"ManufacturerMenu", "Bolt", "SAFE", {"Safe EQ"}},
    };
    for (const auto& [menu, value, search, shown] : cases) {
        SCOPED_TRACE((menu + " " + value + " / " + search).toStdString());
        named<QComboBox>(screen, menu).setCurrentText(value);
        ASSERT_EQ(named<QComboBox>(screen, menu).currentText(), value);
        // Typed into the field, the search is the window's query.
        named<QLineEdit>(screen, "SearchField").setText(search);
        EXPECT_EQ(sandbox.window().state().query(), search);
        table.sortByColumn(0, Qt::AscendingOrder);
        EXPECT_EQ(shownNames(table), shown);
        EXPECT_EQ(named<QLabel>(screen, "ShownCount").text(),
                  QString("%1 of 7 active plugins shown").arg(shown.size()));
        EXPECT_EQ(clear.isVisible(), value != "All" || !search.isEmpty());
        if (clear.isVisible()) {
            click(&clear);
        }
        EXPECT_EQ(named<QComboBox>(screen, menu).currentText(), "All");
        EXPECT_EQ(sandbox.window().state().query(), "");
    }

    table.horizontalHeader()->setSortIndicator(Column::size, Qt::AscendingOrder);
    std::vector<std::int64_t> sorted;
    for (int row = 0; row < table.model()->rowCount(); ++row) {
        sorted.push_back(*parseDisplaySize(table.model()->index(row, Column::size).data().toString().toStdString()));
    }
    EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end()));

    // A product inside the shell offers no file action.
    sandbox.enableHelper();
    clickRow(table, "CLA-2A");
    QApplication::processEvents();
    auto& inspector = named<QWidget>(screen, "Inspector");
    EXPECT_NE(findByText<QLabel>(inspector, "WaveShell Hosting"), nullptr);
    EXPECT_EQ(shownButtons(inspector), QStringList());
    auto& protectedScreen = sandbox.show(AppSection::protected_);
    EXPECT_NE(findByText<QLabel>(protectedScreen, "Hosted by WaveShell: mandatory protection cannot be removed."),
              nullptr);
    EXPECT_EQ(shownButtons(protectedScreen), QStringList());
}

}  // namespace
}  // namespace kestrova::testing
