// The detail screens of the window and what they are built with. A screen
// holds view state only: it renders what the session's objects publish and
// acts through their operations.
#pragma once

#include "ui/app/AppSection.h"

#include <QWidget>

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

protected:
    AppSession& session() const { return context_.session; }
    Prompter& prompter() const { return context_.prompter; }
    WindowState& window() const { return context_.window; }
    // A text in the words of the session's desktop.
    QString words(const QString& text) const;

private:
    ScreenContext context_;
};

// The screen of a section.
Screen* makeScreen(AppSection section, ScreenContext context, QWidget* parent);

}  // namespace kestrova::ui
