// The detail screens of the window and what they are built with. A screen
// holds view state only: it renders what the session's objects publish and
// acts through their operations.
#pragma once

#include "ui/app/AppSection.h"

#include <QWidget>

#include <functional>
#include <map>

namespace kestrova::ui {

class AppSession;
class Prompter;
class WindowState;

struct ScreenContext {
    AppSession& session;
    Prompter& prompter;
    WindowState& window;
};

class Screen : public QWidget {
    Q_OBJECT
public:
    explicit Screen(ScreenContext context, QWidget* parent = nullptr) : QWidget(parent), context_(context) {}

    // Runs each time the screen's section is selected.
    virtual void becameVisible() {}
    // Puts the focus in the screen's search field; false without one.
    virtual bool focusSearch() { return false; }
    // Runs what waited for the screen to be shown; the window calls it
    // before becameVisible.
    void runPending();

protected:
    AppSession& session() const { return context_.session; }
    Prompter& prompter() const { return context_.prompter; }
    WindowState& window() const { return context_.window; }
    // A text in the words of the session's desktop.
    QString words(const QString& text) const;
    // Runs `work` at once while the screen is shown; while it is hidden,
    // once when it is next shown, however often it was asked for (a cleanup
    // run publishes the inventory once per chunk, and a hidden list need not
    // follow each one). `key` tells one kind of work from another.
    void whenShown(int key, std::function<void()> work);
    // The inventory's lists follow it at once, except while a cleanup run or
    // its restore republishes it per chunk: then a hidden list waits until shown.
    void followInventory(std::function<void()> reload);

private:
    ScreenContext context_;
    std::map<int, std::function<void()>> pending_;
};

// The screen of a section.
Screen* makeScreen(AppSection section, ScreenContext context, QWidget* parent);

}  // namespace kestrova::ui
