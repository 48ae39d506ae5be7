#include "ui/widgets/DialogParts.h"

#include "ui/widgets/ProminentButton.h"
#include "ui/widgets/Theme.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrova::ui {

QVBoxLayout* layoutDialog(QDialog& dialog, const QString& title, const QString& message) {
    dialog.setWindowTitle(title);
    dialog.setModal(true);
    dialog.setMinimumWidth(480);
    dialog.setMaximumWidth(640);
    auto* layout = new QVBoxLayout(&dialog);
    layout->setContentsMargins(24, 22, 24, 18);
    layout->setSpacing(12);
    auto* heading = new QLabel(title, &dialog);
    heading->setObjectName(QStringLiteral("DialogTitle"));
    heading->setWordWrap(true);
    makeTitle(*heading, 1.2);
    layout->addWidget(heading);
    auto* text = new QLabel(message, &dialog);
    text->setObjectName(QStringLiteral("DialogMessage"));
    text->setWordWrap(true);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text->setMinimumWidth(420);
    layout->addWidget(text);
    return layout;
}

QHBoxLayout* addButtonRow(QVBoxLayout& body) {
    body.addSpacing(6);
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    row->addStretch(1);
    body.addLayout(row);
    return row;
}

QPushButton* addDialogButton(QHBoxLayout& row, const QString& text, bool primary) {
    auto* button = new QPushButton(text);
    button->setMinimumWidth(96);
    if (primary) {
        makeProminent(*button);
    }
    row.addWidget(button);
    return button;
}

}  // namespace kestrova::ui
