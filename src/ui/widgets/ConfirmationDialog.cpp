#include "ui/widgets/ConfirmationDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrova::ui {

ConfirmationDialog::ConfirmationDialog(const ConfirmationRequest& request, QWidget* parent) : QDialog(parent) {
    setWindowTitle(request.title);
    setModal(true);
    setMinimumWidth(460);
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(request.title, this);
    QFont titleFont = title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.15);
    title->setFont(titleFont);
    layout->addWidget(title);
    auto* message = new QLabel(request.message, this);
    message->setWordWrap(true);
    layout->addWidget(message);
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
    auto* buttons = new QDialogButtonBox(this);
    cancel_ = buttons->addButton(request.cancelButton, QDialogButtonBox::RejectRole);
    confirm_ = buttons->addButton(request.confirmButton, QDialogButtonBox::AcceptRole);
    confirm_->setDefault(!request.acknowledgement);
    if (request.acknowledgement) {
        acknowledgement_ = new QCheckBox(*request.acknowledgement, this);
        layout->addWidget(acknowledgement_);
        confirm_->setEnabled(false);
        connect(acknowledgement_, &QCheckBox::toggled, confirm_, &QPushButton::setEnabled);
    }
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

}  // namespace kestrova::ui
