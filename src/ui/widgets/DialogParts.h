// What the window's own dialogs share, so an alert and a confirmation look
// alike: the margins, the heading and the message, and the button row with
// its primary action filled in the accent.
#pragma once

#include <QString>

class QDialog;
class QHBoxLayout;
class QPushButton;
class QVBoxLayout;

namespace kestrova::ui {

// Lays out `dialog` with the heading and message; returns the body layout
// for anything between the message and the buttons.
QVBoxLayout* layoutDialog(QDialog& dialog, const QString& title, const QString& message);
// The right-aligned row the buttons go into, under the body.
QHBoxLayout* addButtonRow(QVBoxLayout& body);
QPushButton* addDialogButton(QHBoxLayout& row, const QString& text, bool primary);

}  // namespace kestrova::ui
