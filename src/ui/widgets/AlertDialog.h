// A modal alert in the window's own look: a heading, the message and one
// "OK" button.
#pragma once

#include <QDialog>

class QPushButton;

namespace kestrova::ui {

class AlertDialog final : public QDialog {
    Q_OBJECT
public:
    AlertDialog(const QString& title, const QString& message, QWidget* parent = nullptr);

    QPushButton* okButton() const { return ok_; }

private:
    QPushButton* ok_ = nullptr;
};

}  // namespace kestrova::ui
