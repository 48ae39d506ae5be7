// The application's one window: the sidebar of sections beside the screen of
// the selected section, and the one place where the store's notice is shown
// as an alert. Every screen is built once and kept, so switching sections
// only swaps what is shown.
#pragma once

#include "ui/app/AppSection.h"
#include "ui/app/Sidebar.h"
#include "ui/app/WindowState.h"
#include "ui/screens/Screen.h"

#include <QMainWindow>

#include <array>

class QStackedWidget;

namespace kestrova::ui {

class AppSession;
class Prompter;

class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    static constexpr QSize defaultSize{1440, 900};
    static constexpr QSize minimumContentSize{1180, 720};

    MainWindow(AppSession& session, Prompter& prompter, QWidget* parent = nullptr);

    WindowState& state() { return state_; }
    Sidebar& sidebar() { return *sidebar_; }
    Screen* screen(AppSection section) const { return screens_[static_cast<std::size_t>(section)]; }
    Screen* currentScreen() const;
    void showSection(AppSection section);

    // The counts the sidebar shows, from the store as it is now.
    SidebarCounts currentCounts() const;

private:
    void updateCounts();
    void addShortcuts();
    // Shows the store's notice, if any, once control is back in the event
    // loop; dismissing it clears it in the store.
    void scheduleNotice();
    void presentNotice();

    AppSession& session_;
    Prompter& prompter_;
    WindowState state_;
    Sidebar* sidebar_;
    QStackedWidget* stack_;
    std::array<Screen*, allSections.size()> screens_{};
    bool noticeScheduled_ = false;
    bool presentingNotice_ = false;
};

}  // namespace kestrova::ui
