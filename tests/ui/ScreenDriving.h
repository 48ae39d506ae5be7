// Finding and clicking rows and buttons of the list screens the way a
// person would.
#pragma once

#include "UiSandbox.h"

#include "ui/widgets/MetricCard.h"

#include <QAbstractItemModel>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <vector>

namespace kestrova::testing {

// The rows of a table's "Plugin" column, top to bottom.
inline QStringList shownNames(const QTableView& table) {
    QStringList names;
    for (int row = 0; row < table.model()->rowCount(); ++row) {
        names << table.model()->index(row, 0).data().toString();
    }
    return names;
}

// Clicks the row whose "Plugin" column reads `name`, with the modifiers a
// multi-selection uses.
inline void clickRow(QTableView& table, const QString& name, Qt::KeyboardModifiers modifiers = {}) {
    const int row = static_cast<int>(shownNames(table).indexOf(name));
    ASSERT_GE(row, 0) << "no row named " << name.toStdString();
    const auto index = table.model()->index(row, 0);
    table.scrollTo(index);
    QTest::mouseClick(table.viewport(), Qt::LeftButton, modifiers, table.visualRect(index).center());
}

// The shown buttons under `root` whose text starts with `prefix`.
inline QStringList shownButtons(QWidget& root, const QString& prefix = {}) {
    QStringList texts;
    for (auto* button : root.findChildren<QPushButton*>()) {
        if (button->isVisible() && !button->text().isEmpty() && button->text().startsWith(prefix)) {
            texts << button->text();
        }
    }
    return texts;
}

// Whether some label under `root` that is shown says exactly `text`.
inline bool showsText(QWidget& root, const QString& text) {
    for (auto* label : root.findChildren<QLabel*>()) {
        if (label->text() == text && label->isVisibleTo(&root)) {
            return true;
        }
    }
    return false;
}

// The value of the metric card titled `title`.
inline QString cardValue(QWidget& screen, const QString& title) {
    for (auto* card : screen.findChildren<ui::MetricCard*>()) {
        if (card->title() == title) {
            return card->value();
        }
    }
    ADD_FAILURE() << "no card " << title.toStdString();
    return {};
}

// The child of `root` with this object name; fails the test when there is none.
template <typename T>
T& named(QWidget& root, const QString& name) {
    auto* widget = root.findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name.toStdString();
    return *widget;
}

// Shows `dialog` and, as soon as it is up, presses `keys` one after another
// where the dialog's focus is; what the dialog returned.
inline int answerWith(QDialog& dialog, const std::vector<Qt::Key>& keys) {
    QTimer::singleShot(0, &dialog, [&dialog, keys] {
        for (const auto key : keys) {
            auto* target = dialog.focusWidget();
            QTest::keyClick(target ? target : static_cast<QWidget*>(&dialog), key);
        }
    });
    return dialog.exec();
}

inline void click(QPushButton* button) {
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isEnabled()) << button->text().toStdString() << " is disabled";
    QTest::mouseClick(button, Qt::LeftButton);
}

}  // namespace kestrova::testing
