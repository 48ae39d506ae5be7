#include "ui/app/MainWindow.h"

#include "store/PluginInventoryStore.h"
#include "ui/app/AppSession.h"
#include "ui/app/Prompter.h"

#include <QHBoxLayout>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>

namespace kestrova::ui {
namespace {

QString qText(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

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
        screen->becameVisible();
    });
    connect(&session_.storeEvents(), &ObservedObject::changed, this, [this](const QString& field) {
        const auto name = field.toStdString();
        if (name == storeField::notice) {
            scheduleNotice();
        } else if (name == storeField::plugins || name == storeField::history || name == storeField::trashedBundles) {
            updateCounts();
        }
    });

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

void MainWindow::scheduleNotice() {
    if (noticeScheduled_ || presentingNotice_ || !session_.store().notice()) {
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
    while (const auto notice = store.notice()) {
        prompter_.alert(this, qText(notice->title), qText(notice->message));
        if (store.notice() && store.notice()->id == notice->id) {
            store.dismissNotice();
        }
    }
    presentingNotice_ = false;
}

}  // namespace kestrova::ui
