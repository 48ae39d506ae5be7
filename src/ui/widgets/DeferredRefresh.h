// A screen's redraw after what it shows has changed: marked stale at once,
// redrawn in a later turn of the event loop however many changes arrive in
// this one, and only while the screen is shown; a screen that went stale
// while hidden redraws when it is shown again.
#pragma once

#include <QTimer>
#include <QWidget>

#include <functional>
#include <utility>

namespace kestrova::ui {

class DeferredRefresh {
public:
    DeferredRefresh(QWidget& screen, std::function<void()> refresh) : screen_(screen), refresh_(std::move(refresh)) {}

    void schedule() {
        stale_ = true;
        if (scheduled_ || !screen_.isVisible()) {
            return;
        }
        scheduled_ = true;
        QTimer::singleShot(0, &screen_, [this] {
            scheduled_ = false;
            if (screen_.isVisible() && stale_) {
                refresh_();
            }
        });
    }
    // From the screen's showEvent.
    void refreshIfStale() {
        if (stale_) {
            refresh_();
        }
    }
    // The screen's refresh says so first, however it was called.
    void markFresh() { stale_ = false; }

private:
    QWidget& screen_;
    std::function<void()> refresh_;
    bool scheduled_ = false;
    bool stale_ = true;
};

}  // namespace kestrova::ui
