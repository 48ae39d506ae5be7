// The Trash Recovery screen against the real helper: bundles sent on to the
// Trash come back to their exact paths, one at a time or as a selection,
// and a record whose way back is blocked says why and moves nothing.
#include "UiSandbox.h"

#include "model/ProductStatus.h"
#include "model/TrashRecovery.h"
#include "store/PluginInventoryStore.h"
#include "ui/MetricCard.h"
#include "ui/TrashRecoveryRow.h"
#include "ui/TrashRecoveryScreen.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <filesystem>

namespace kestrova::testing {
namespace {

using ui::AppSection;

// Quarantines every bundle of the named products, then sends them on to the
// Trash, each step one transaction, as the Quarantine screen would.
void quarantineThenTrash(UiSandbox& sandbox, const std::vector<std::string>& names) {
    auto& store = sandbox.store();
    auto& service = sandbox.service();
    const auto selections = [&] {
        std::vector<PluginBundleSelection> chosen;
        for (const auto& plugin : store.plugins()) {
            if (std::find(names.begin(), names.end(), plugin.name) != names.end()) {
                for (const auto& bundle : bundleRecords(plugin)) {
                    chosen.push_back({plugin.id, bundle.id()});
                }
            }
        }
        return chosen;
    };
    auto quarantine = store.prepareQuarantine(selections());
    ASSERT_TRUE(quarantine.has_value()) << store.lastOperationError().value_or("");
    service.sendQuarantine(quarantine->transactionID, quarantine->items, [&](auto result) {
        store.completeQuarantine(result, quarantine->transactionID, quarantine->items);
    });
    ASSERT_TRUE(waitFor([&] { return service.outstandingCalls() == 0; }));
    auto trash = store.prepareTrash(selections());
    ASSERT_TRUE(trash.has_value()) << store.lastOperationError().value_or("");
    service.sendTrash(trash->transactionID, trash->items,
                      [&](auto result) { store.completeTrash(result, trash->transactionID, trash->items); });
    ASSERT_TRUE(waitFor([&] { return service.outstandingCalls() == 0; }));
    ASSERT_EQ(store.trashedBundles().size(), names.size()) << store.lastOperationError().value_or("");
}

ui::TrashRecoveryRow* rowOf(ui::TrashRecoveryScreen& screen, const std::string& name) {
    for (auto* row : screen.rows()) {
        if (row->entry().record.pluginName == name) {
            return row;
        }
    }
    ADD_FAILURE() << "no row for " << name;
    return nullptr;
}

TEST(TrashRecoveryScreen, TrashedBundlesComeBackToTheirExactPaths) {
    UiSandbox sandbox;
    const auto foxtrot = sandbox.installBundle("Foxtrot.vst3", "VST3", "Foxtrot", "Kilo");
    const auto golf = sandbox.installBundle("Golf.vst3", "VST3", "Golf", "Kilo");
    auto& window = sandbox.open();
    sandbox.authorizeAndScan();
    sandbox.enableHelper();
    quarantineThenTrash(sandbox, {"Foxtrot", "Golf"});
    ASSERT_FALSE(sandbox.helper.exists(foxtrot));
    ASSERT_TRUE(waitFor([&] { return !sandbox.store().notice().has_value(); }));
    sandbox.prompter.alerts.clear();

    // Something now stands where Golf was: its way back is blocked.
    std::filesystem::create_directories(golf);
    window.showSection(AppSection::trashRecovery);
    auto& screen = *qobject_cast<ui::TrashRecoveryScreen*>(window.screen(AppSection::trashRecovery));
    QApplication::processEvents();
    ASSERT_EQ(screen.rows().size(), 2u);
    const auto card = [&](const QString& title) {
        for (auto* metric : screen.findChildren<ui::MetricCard*>()) {
            if (metric->title() == title) {
                return metric->value();
            }
        }
        return QString();
    };
    EXPECT_EQ(card("Ready"), "1");
    EXPECT_EQ(card("Needs Review"), "1");
    EXPECT_EQ(card("Reconciled"), "0");
    EXPECT_EQ(findByText<QLabel>(screen, "Secure recovery ready")->text(), "Secure recovery ready");
    auto* golfRow = rowOf(screen, "Golf");
    ASSERT_NE(golfRow, nullptr);
    EXPECT_EQ(golfRow->entry().state, TrashRecoveryState::destinationOccupied);
    EXPECT_EQ(golfRow->restoreButton(), nullptr) << "only a ready record offers a restore";
    EXPECT_EQ(golfRow->findChild<QLabel*>("stateBadge")->text(), "Destination Occupied");

    auto* foxtrotRow = rowOf(screen, "Foxtrot");
    ASSERT_NE(foxtrotRow, nullptr);
    const auto foxtrotTrash = foxtrotRow->entry().record.trashPath;
    QTest::mouseClick(foxtrotRow->revealButton(), Qt::LeftButton);
    ASSERT_EQ(sandbox.prompter.revealed.size(), 1u);
    EXPECT_EQ(sandbox.prompter.revealed[0], foxtrotTrash);

    // Both left in one transaction; restoring it names Golf's refusal and
    // moves nothing.
    auto* transaction = foxtrotRow->restoreTransactionButton();
    ASSERT_NE(transaction, nullptr);
    EXPECT_EQ(transaction->text(), "Restore Transaction (2)…");
    QTest::mouseClick(transaction, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return !sandbox.prompter.alerts.empty(); }));
    EXPECT_EQ(sandbox.prompter.alerts[0].first, "Restore Unavailable");
    EXPECT_EQ(sandbox.prompter.alerts[0].second, "Golf — VST3: Destination Occupied.");
    EXPECT_TRUE(sandbox.prompter.confirmations.empty());
    EXPECT_TRUE(std::filesystem::exists(foxtrotTrash));

    // A declined confirmation moves nothing either.
    sandbox.prompter.confirmAnswer = false;
    QTest::mouseClick(foxtrotRow->restoreButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return sandbox.prompter.confirmations.size() == 1; }));
    const auto& asked = sandbox.prompter.confirmations[0];
    EXPECT_EQ(asked.title, "Restore from Finder Trash?");
    EXPECT_EQ(asked.message,
              "Kestrova will return 1 format bundle to the exact saved original path. Existing files will never be "
              "overwritten.");
    EXPECT_EQ(asked.confirmButton, "Restore Bundles");
    EXPECT_EQ(asked.cancelButton, "Cancel");
    QApplication::processEvents();
    EXPECT_TRUE(std::filesystem::exists(foxtrotTrash));

    sandbox.prompter.confirmAnswer = true;
    foxtrotRow = rowOf(screen, "Foxtrot");
    QTest::mouseClick(foxtrotRow->restoreButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return sandbox.helper.hasWholeBundle(foxtrot, foxtrot); }))
        << sandbox.store().lastOperationError().value_or("");
    ASSERT_TRUE(waitFor([&] { return card("Reconciled") == "1"; }));
    EXPECT_FALSE(std::filesystem::exists(foxtrotTrash));

    // Once the way is clear (the screen looks again when it is shown), Golf
    // comes back as a selection.
    std::filesystem::remove_all(golf);
    window.showSection(AppSection::inventory);
    window.showSection(AppSection::trashRecovery);
    // Showing the screen reconciles the records, and the rows are rebuilt in
    // a later turn; let that happen before holding on to a row.
    QTest::qWait(200);
    golfRow = rowOf(screen, "Golf");
    ASSERT_NE(golfRow, nullptr);
    ASSERT_NE(golfRow->selectBox(), nullptr);
    auto* selectionBar = screen.findChild<QWidget*>("selectionBar");
    EXPECT_FALSE(selectionBar->isVisible());
    QTest::mouseClick(golfRow->selectBox(), Qt::LeftButton);
    EXPECT_EQ(screen.selectedRecordIDs().size(), 1u);
    EXPECT_TRUE(selectionBar->isVisible());
    QTest::mouseClick(findByText<QPushButton>(*selectionBar, "Restore Selected…"), Qt::LeftButton);
    ASSERT_EQ(sandbox.prompter.confirmations.size(), 3u);
    EXPECT_EQ(sandbox.prompter.confirmations.back().title, "Restore from Finder Trash?");
    ASSERT_TRUE(waitFor([&] { return sandbox.helper.hasWholeBundle(golf, golf); }));
    ASSERT_TRUE(waitFor([&] { return card("Reconciled") == "2" && card("Ready") == "0"; }));
    EXPECT_TRUE(screen.selectedRecordIDs().empty());
    EXPECT_EQ(sandbox.store().readyTrashRecoveryCount(), 0);
}

TEST(TrashRecoveryScreen, WithoutTheHelperRestoresAreDisabledWithTheReason) {
    UiSandbox sandbox;
    sandbox.installBundle("Hotel.vst3", "VST3", "Hotel", "Kilo");
    auto& window = sandbox.open();
    sandbox.authorizeAndScan();
    sandbox.enableHelper();
    quarantineThenTrash(sandbox, {"Hotel"});
    sandbox.disableHelper();
    window.showSection(AppSection::trashRecovery);
    auto& screen = *qobject_cast<ui::TrashRecoveryScreen*>(window.screen(AppSection::trashRecovery));
    QApplication::processEvents();
    ASSERT_EQ(screen.rows().size(), 1u);
    auto* row = screen.rows().front();
    EXPECT_EQ(row->entry().state, TrashRecoveryState::readyToRestore);
    EXPECT_FALSE(row->restoreButton()->isEnabled());
    const auto reason = sandbox.service().trashRestoreBlockingReason();
    ASSERT_TRUE(reason.has_value());
    EXPECT_EQ(row->findChild<QLabel*>("restoreBlockingReason")->text(), QString::fromStdString(*reason));
    EXPECT_EQ(findByText<QLabel>(screen, "Plugin Management required")->text(), "Plugin Management required");
}

}  // namespace
}  // namespace kestrova::testing
