// The main thread of the desktop application: work posted from any thread
// runs on the Qt event loop, in the order it was posted.
#pragma once

#include "platform/Executor.h"

#include <QObject>

namespace kestrova::ui {

class QtExecutor final : public QObject, public Executor {
    Q_OBJECT
public:
    using QObject::QObject;
    void post(std::function<void()> work) override;
};

}  // namespace kestrova::ui
