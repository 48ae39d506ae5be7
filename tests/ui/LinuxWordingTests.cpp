// The window under the Linux profile, over the Linux demo tree with bundles
// in the home and the system folders: the first run's grant of the standard
// folders, and every section, inspector, alert and confirmation it opens
// speaking of what really happens here, never of a macOS service.
#include "UiSandbox.h"

#include "ui/screens/inventory/StandardFoldersCard.h"
#include "ui/screens/quarantine/QuarantineScreen.h"
#include "ui/widgets/ProductList.h"

#include <gmock/gmock.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QRegularExpression>

#include <set>

namespace kestrova::testing {
namespace {

using ui::AppSection;

// The names of macOS services and places a Linux user never meets.
const QRegularExpression macOSNames(QStringLiteral(
    "Finder|macOS|\\bMac\\b|XPC|System Settings|Login Items|App Background|[Ll]aunch [Dd]aemon|"
    "[Nn]otariz|[Cc]ode.sign|Developer ID|SMAppService|Gatekeeper|Keychain|launchd|Application Support"));

// Every text a person can see in `root`, each with where it was found.
void collectTexts(QWidget& root, std::vector<std::pair<QString, QString>>& texts, const QString& where) {
    const auto add = [&](const QString& text, const QString& kind) {
        if (!text.isEmpty()) {
            // Zero-width break hints are not something a person reads.
            texts.emplace_back(QString(text).remove(QChar(0x200B)), where + " " + kind);
        }
    };
    add(root.windowTitle(), QStringLiteral("window title"));
    for (auto* widget : root.findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(&root)) {
            continue;
        }
        add(widget->toolTip(), QStringLiteral("tooltip"));
        add(widget->accessibleName(), QStringLiteral("accessible name"));
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            add(label->text(), QStringLiteral("label"));
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            add(button->text(), QStringLiteral("button"));
        } else if (auto* field = qobject_cast<QLineEdit*>(widget)) {
            add(field->placeholderText(), QStringLiteral("placeholder"));
        } else if (auto* view = qobject_cast<QAbstractItemView*>(widget); view && view->model()) {
            const auto* model = view->model();
            for (int column = 0; column < model->columnCount(); ++column) {
                add(model->headerData(column, Qt::Horizontal).toString(), QStringLiteral("header"));
                for (int row = 0; row < model->rowCount(); ++row) {
                    const auto index = model->index(row, column);
                    add(index.data().toString(), QStringLiteral("cell"));
                    add(index.data(Qt::ToolTipRole).toString(), QStringLiteral("cell tooltip"));
                }
            }
        }
    }
    for (auto* action : root.findChildren<QAction*>()) {
        add(action->text(), QStringLiteral("action"));
        add(action->toolTip(), QStringLiteral("action tooltip"));
    }
}

// Answers each dialog the window opens through the real dialogs: keeps its
// texts, then confirms or cancels it.
class DialogAnswerer {
public:
    std::vector<std::pair<QString, QString>> texts;
    std::vector<QString> titles;
    bool confirm = false;

    DialogAnswerer() {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog) {
                return;
            }
            titles.push_back(dialog->windowTitle());
            collectTexts(*dialog, texts, QStringLiteral("dialog"));
            dialog->done(confirm ? QDialog::Accepted : QDialog::Rejected);
        });
        timer_.start();
    }

private:
    QTimer timer_;
};

TEST(LinuxWindow, FirstRunGrantsTheStandardFoldersAndNoSectionNamesAMacOSService) {
    UiSandbox sandbox(PlatformProfile::gnuLinux);
    sandbox.layDemoTree(PlatformProfile::gnuLinux);
    ui::DialogPrompter dialogs(PlatformProfile::gnuLinux);
    sandbox.windowPrompter = &dialogs;
    DialogAnswerer answerer;
    auto& window = sandbox.open();

    // A first run: nothing is granted, and the inventory offers the
    // standard folders that exist, home and system, and lists what it granted.
    auto& inventory = sandbox.show(AppSection::inventory);
    auto& card = named<QWidget>(inventory, QStringLiteral("StandardFolders"));
    ASSERT_TRUE(card.isVisible());
    answerer.confirm = true;
    click(findByText<QPushButton>(card, QStringLiteral("Grant Standard Folders…")));
    ASSERT_TRUE(waitFor([&] { return !sandbox.session().folderAccess().authorizedFolders().empty(); }));
    // Which folders are granted is the authorize command's to test; the card lists them.
    const auto& granted = sandbox.session().folderAccess().authorizedFolders();
    const auto outcome = named<QLabel>(card, QStringLiteral("StandardFoldersGranted")).text();
    EXPECT_TRUE(outcome.startsWith(QStringLiteral("Granted %1 folders").arg(granted.size()))) << outcome.toStdString();
    EXPECT_TRUE(outcome.contains(QStringLiteral("\n~/.vst3"))) << outcome.toStdString();
    // Asking again grants nothing and says so.
    answerer.titles.clear();
    dynamic_cast<ui::StandardFoldersCard&>(card).grantStandardFolders();
    ASSERT_TRUE(waitFor([&] { return !answerer.titles.empty(); }));
    EXPECT_EQ(answerer.titles.back(), QStringLiteral("No Standard Folders to Grant"));
    click(findByText<QPushButton>(card, QStringLiteral("Done")));
    EXPECT_FALSE(card.isVisible());

    // Scanned, with one system bundle in quarantine and another in the Trash.
    sandbox.store().startScan(granted, &sandbox.service());
    ASSERT_TRUE(waitFor([&] { return !sandbox.store().isScanning(); }));
    sandbox.enableHelper();
    answerer.confirm = false;
    sandbox.quarantine({"Surge XT"}, false, "VST3");
    sandbox.quarantine({"Cardinal"}, true);
    settle();

    std::vector<std::pair<QString, QString>> texts;
    const auto walk = [&](QSize size) {
        window.resize(size);
        for (const auto section : ui::allSections) {
            auto& screen = sandbox.show(section);
            settle();
            // An inspector for the first row of each list.
            for (auto* table : screen.findChildren<QTableView*>()) {
                if (table->isVisible() && table->model()->rowCount() > 0) {
                    clickRow(*table, shownNames(*table).front());
                    settle();
                }
            }
            collectTexts(window, texts, QString::fromUtf8(ui::commandName(section)));
        }
    };
    // Texts do not change with the size; the fit at both sizes is WindowFit's.
    walk(QSize(1440, 900));
    // The alerts and confirmations the sections open.
    const auto dialogsBefore = answerer.titles.size();
    auto& quarantine = sandbox.show<ui::QuarantineScreen>(AppSection::quarantine);
    settle();
    clickRow(*quarantine.list().table(), QStringLiteral("Surge XT"));
    settle();
    click(findByText<QPushButton>(quarantine, QStringLiteral("Move Selected to Trash…")));
    auto& trash = sandbox.show(AppSection::trashRecovery);
    settle();
    click(findByText<QPushButton>(trash, QStringLiteral("Restore Format…")));
    auto& management = sandbox.show(AppSection::pluginManagement);
    click(&named<QPushButton>(management, QStringLiteral("primaryAction")));
    ASSERT_TRUE(waitFor([&] { return answerer.titles.size() >= dialogsBefore + 3; })) << answerer.titles.size();
    settle();
    texts.insert(texts.end(), answerer.texts.begin(), answerer.texts.end());

    // Without the helper every action says why it waits, and Plugin
    // Management offers to enable it.
    sandbox.disableHelper();
    settle();
    walk(QSize(1440, 900));

    ASSERT_GT(texts.size(), 200u);
    std::set<QString> shown;
    for (const auto& [text, where] : texts) {
        EXPECT_FALSE(text.contains(macOSNames)) << where.toStdString() << ": " << text.toStdString();
        shown.insert(text);
    }
    // What stands in for each service is what the walk saw.
    for (const auto* linuxText :
         {"Reveal LV2 in the File Manager", "Enabled in systemd", "systemd unit kestrova-helper.service",
          "Unix socket checked with the kernel’s peer credentials (SO_PEERCRED)",
          "Distribution package with systemd units and a polkit action", "Products in the Trash",
          "Move Selected Plugins to Trash?", "Plugin management has not been enabled on this computer.",
          "Enable Plugin Management before moving quarantined bundles to Trash."}) {
        EXPECT_TRUE(shown.contains(QString::fromUtf8(linuxText))) << linuxText;
    }
}

}  // namespace
}  // namespace kestrova::testing
