#include "ui/widgets/ConfirmationDialog.h"

#include "ui/widgets/DialogParts.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrova::ui {

ConfirmationDialog::ConfirmationDialog(const ConfirmationRequest& request, QWidget* parent) : QDialog(parent) {
    auto* layout = layoutDialog(*this, request.title, request.message);
    if (!request.rows.empty()) {
        auto* rows = new QFormLayout;
        for (const auto& [label, value] : request.rows) {
            auto* text = new QLabel(value, this);
            text->setTextInteractionFlags(Qt::TextSelectableByMouse);
            text->setWordWrap(true);
            rows->addRow(label, text);
        }
        layout->addLayout(rows);
    }
    if (request.acknowledgement) {
        acknowledgement_ = new QCheckBox(*request.acknowledgement, this);
        layout->addWidget(acknowledgement_);
    }
    auto* buttons = addButtonRow(*layout);
    cancel_ = addDialogButton(*buttons, request.cancelButton, false);
    confirm_ = addDialogButton(*buttons, request.confirmButton, true);
    // Every confirmation moves files: Return and Escape both keep them where
    // they are, and only a deliberate press of the confirm button moves them.
    cancel_->setDefault(true);
    cancel_->setFocus();
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(confirm_, &QPushButton::clicked, this, &QDialog::accept);
    if (acknowledgement_) {
        confirm_->setEnabled(false);
        connect(acknowledgement_, &QCheckBox::toggled, confirm_, &QPushButton::setEnabled);
    }
}

}  // namespace kestrova::ui
