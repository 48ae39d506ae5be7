// A modal confirmation: title, message, optional labelled rows and an
// optional acknowledgement box that must be ticked before the confirm button
// can be pressed (moves to the Trash ask for one).
#pragma once

#include "ui/app/Prompter.h"

#include <QDialog>

class QCheckBox;
class QPushButton;

namespace kestrova::ui {

class ConfirmationDialog final : public QDialog {
    Q_OBJECT
public:
    ConfirmationDialog(const ConfirmationRequest& request, QWidget* parent = nullptr);

    QPushButton* confirmButton() const { return confirm_; }
    QPushButton* cancelButton() const { return cancel_; }
    // Absent without an acknowledgement.
    QCheckBox* acknowledgement() const { return acknowledgement_; }

private:
    QPushButton* confirm_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QCheckBox* acknowledgement_ = nullptr;
};

}  // namespace kestrova::ui
