// Turns the change notifications of one core object (the store, the folder
// access, the management service, the cleanup run controller) into a Qt
// signal, so widgets can connect to it like to any other Qt object.
#pragma once

#include "platform/Observable.h"

#include <QObject>
#include <QString>

namespace kestrova::ui {

class ObservedObject final : public QObject {
    Q_OBJECT
public:
    // `observed` must outlive this adapter.
    explicit ObservedObject(Observable& observed, QObject* parent = nullptr);
    ~ObservedObject() override;
    ObservedObject(const ObservedObject&) = delete;
    ObservedObject& operator=(const ObservedObject&) = delete;

signals:
    // The published field that was just assigned.
    void changed(const QString& field);

private:
    Observable& observed_;
    Observable::Token token_;
};

}  // namespace kestrova::ui
