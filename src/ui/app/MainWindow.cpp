#include "ui/app/MainWindow.h"

#include "store/PluginInventoryStore.h"
#include "store/runs/CleanupRunController.h"
#include "ui/app/AppSession.h"
#include "ui/app/Prompter.h"
#include "ui/app/QtText.h"

#include <QHBoxLayout>
#include <QKeySequence>
#include <QShortcut>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>

namespace kestrova::ui {
MainWindow::MainWindow(AppSession& session, Prompter& prompter, QWidget* parent)
    : QMainWindow(parent),
      session_(session),
      prompter_(prompter),
      state_(this),
      sidebar_(new Sidebar),
      stack_(new QStackedWidget) {
    setWindowTitle(QStringLiteral("Kestrova"));
    setMinimumSize(minimumContentSize);
    resize(defaultSize);

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(sidebar_);
    splitter->addWidget(stack_);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({255, defaultSize.width() - 255});
    setCentralWidget(splitter);

    const ScreenContext context{session_, prompter_, state_};
    for (const auto section : allSections) {
        auto* screen = makeScreen(section, context, stack_);
        screens_[static_cast<std::size_t>(section)] = screen;
        stack_->addWidget(screen);
    }

    connect(sidebar_, &Sidebar::sectionSelected, &state_, &WindowState::setSection);
    connect(&state_, &WindowState::sectionChanged, this, [this](AppSection section) {
        sidebar_->setSection(section);
        auto* screen = this->screen(section);
        stack_->setCurrentWidget(screen);
        screen->runPending();
        screen->becameVisible();
    });
    connect(&session_.storeEvents(), &ObservedObject::changed, this, [this](Change change) {
        if (change == Change::notice) {
            scheduleNotice();
        } else if (change == Change::plugins || change == Change::history || change == Change::trashedBundles) {
            updateCounts();
        }
    });

    connect(&session_.cleanupRunEvents(), &ObservedObject::changed, this, [this] { scheduleNotice(); });
    addShortcuts();

    sidebar_->setSection(state_.section());
    stack_->setCurrentWidget(screen(state_.section()));
    updateCounts();
    // The store may have a notice from start-up (a blocked state file): it
    // is the first thing shown.
    scheduleNotice();
}

Screen* MainWindow::currentScreen() const { return qobject_cast<Screen*>(stack_->currentWidget()); }

void MainWindow::showSection(AppSection section) { state_.setSection(section); }

SidebarCounts MainWindow::currentCounts() const {
    const auto& store = session_.store();
    return {store.activePluginCount(), store.protectedPluginCount(), store.quarantinedBundleCount(),
            store.readyTrashRecoveryCount(), store.historyOperationCount()};
}

void MainWindow::updateCounts() { sidebar_->setCounts(currentCounts()); }

void MainWindow::addShortcuts() {
    // Ctrl+1 … Ctrl+9 and Ctrl+0 for the ten sections, in sidebar order.
    for (std::size_t index = 0; index < allSections.size(); ++index) {
        const int digit = static_cast<int>((index + 1) % 10);
        auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_0 + digit)), this);
        connect(shortcut, &QShortcut::activated, this, [this, section = allSections[index]] { showSection(section); });
    }
    auto* search = new QShortcut(QKeySequence::Find, this);
    connect(search, &QShortcut::activated, this, [this] {
        if (!currentScreen()->focusSearch()) {
            showSection(AppSection::inventory);
            screen(AppSection::inventory)->focusSearch();
        }
    });
}

void MainWindow::scheduleNotice() {
    // A cleanup run and a run restore publish a notice per chunk; only the
    // one standing when they end is shown, as their summary.
    if (noticeScheduled_ || presentingNotice_ || !session_.store().notice() || session_.cleanupRuns().isBusy()) {
        return;
    }
    noticeScheduled_ = true;
    QTimer::singleShot(0, this, [this] {
        noticeScheduled_ = false;
        presentNotice();
    });
}

void MainWindow::presentNotice() {
    auto& store = session_.store();
    presentingNotice_ = true;
    // A notice that arrives while the alert is up (a helper reply finishing)
    // is shown next, not cleared unseen.
    while (!session_.cleanupRuns().isBusy()) {
        const auto notice = store.notice();
        if (!notice) {
            break;
        }
        prompter_.alert(this, toQString(notice->title), toQString(notice->message));
        if (store.notice() && store.notice()->id == notice->id) {
            store.dismissNotice();
        }
        // Which hosts still list what the move took away comes after its outcome.
        if (const auto hosts = store.hostCacheNotice()) {
            prompter_.alert(this, toQString(hosts->title), toQString(hosts->message));
            store.dismissHostCacheNotice();
        }
    }
    presentingNotice_ = false;
}

}  // namespace kestrova::ui
