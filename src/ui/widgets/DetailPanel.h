// The right-hand panel of the list screens and the pieces their inspectors
// are built from. An inspector is rebuilt whenever what it shows changes;
// the panel swaps the whole content at once and lets the old one go only
// after the event that replaced it has finished (a button in the old content
// may be the one that was just pressed).
#pragma once

#include "ui/app/Prompter.h"
#include "ui/app/QtText.h"
#include "ui/widgets/KestrovaStyle.h"
#include "ui/widgets/ProminentButton.h"

#include <QFrame>
#include <QScrollArea>
#include <QString>

#include <optional>
#include <string>
#include <string_view>

class QLabel;
class QPushButton;
class QTableView;
class QVBoxLayout;

namespace kestrova::ui {

class DetailPanel final : public QScrollArea {
    Q_OBJECT
public:
    explicit DetailPanel(QWidget* parent = nullptr);
    // A fresh content widget with a vertical layout, replacing the old one.
    QVBoxLayout* replaceContent();
};

// "Select a Plugin"-style empty state: a title and a line under it.
void addEmptyState(QVBoxLayout& layout, const QString& title, const QString& text);
// A product heading: the name large, the manufacturer under it.
void addProductHeading(QVBoxLayout& layout, const QString& name, const QString& manufacturer);
QLabel* addSectionTitle(QVBoxLayout& layout, const QString& title);
// A small caption over a selectable value; `trailing` (a button) sits to the right.
QWidget* addLabelledRow(QVBoxLayout& layout, const QString& label, const QString& value, QWidget* trailing = nullptr);
// Wrapped secondary text.
QLabel* addNote(QVBoxLayout& layout, const QString& text);
// Why an action is disabled, in the warning colour; nothing without a reason.
QLabel* addReason(QVBoxLayout& layout, const std::optional<std::string>& reason);

// A rounded panel in the card colour with its own vertical layout.
class Card final : public CardFrame {
    Q_OBJECT
public:
    explicit Card(QWidget* parent = nullptr);
    QVBoxLayout& body() const { return *body_; }

private:
    QVBoxLayout* body_;
};

QPushButton* makeButton(const QString& text, std::string_view symbol = {}, QWidget* parent = nullptr);
// A confirmation with the usual "Cancel" and no rows or acknowledgement.
ConfirmationRequest confirmation(QString title, QString message, QString confirmButton);
// The first reason present: the store's before the service's.
std::optional<std::string> firstReason(std::optional<std::string> store, std::optional<std::string> service);
// Keeps the room `bar` takes while it is hidden, so showing it (a selection
// bar under a list) never shrinks the list and hides a row.
void retainSpace(QWidget& bar);
// Rows, sorting and headers as every product list shows them.
void configureProductTable(QTableView& table);

}  // namespace kestrova::ui
