// The first run's way in: while no plug-in folder is granted, a card offers
// to grant the standard plug-in folders that exist (and those the plug-in
// path variables name), as `kestrova-cli authorize --standard` does, and
// then lists what was granted.
#pragma once

#include "ui/screens/Screen.h"

#include <QWidget>

#include <string>
#include <vector>

class QLabel;
class QPushButton;

namespace kestrova::ui {

class StandardFoldersCard final : public QWidget {
    Q_OBJECT
public:
    explicit StandardFoldersCard(ScreenContext context, QWidget* parent = nullptr);

    // Asks, grants, and shows the outcome.
    void grantStandardFolders();

private:
    void redraw();

    ScreenContext context_;
    QLabel* detail_ = nullptr;
    QLabel* outcome_ = nullptr;
    QPushButton* grant_ = nullptr;
    QPushButton* done_ = nullptr;
    // What the last grant added, shown until dismissed.
    std::vector<std::string> granted_;
    bool showingOutcome_ = false;
};

}  // namespace kestrova::ui
