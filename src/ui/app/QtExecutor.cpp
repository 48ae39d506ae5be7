#include "ui/app/QtExecutor.h"

#include <QMetaObject>

namespace kestrova::ui {

void QtExecutor::post(std::function<void()> work) {
    // A queued call to this object runs on the thread it lives on (the GUI
    // thread) once control is back in the event loop, never inside the caller.
    QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

}  // namespace kestrova::ui
