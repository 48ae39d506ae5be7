#include "ui/widgets/AlertDialog.h"

#include "ui/widgets/DialogParts.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrova::ui {

AlertDialog::AlertDialog(const QString& title, const QString& message, QWidget* parent) : QDialog(parent) {
    auto* layout = layoutDialog(*this, title, message);
    auto* buttons = addButtonRow(*layout);
    ok_ = addDialogButton(*buttons, QStringLiteral("OK"), true);
    ok_->setDefault(true);
    ok_->setFocus();
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace kestrova::ui
