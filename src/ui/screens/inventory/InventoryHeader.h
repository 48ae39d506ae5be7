// The top of the Inventory screen: its title and scan caption, the scan,
// export and folder buttons, the scan's progress, and the warnings about
// unreadable folders, unsaved state and a failed folder authorization.
#pragma once

#include "ui/screens/Screen.h"

#include <QWidget>

class QFrame;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace kestrova::ui {

class InventoryHeader final : public QWidget {
    Q_OBJECT
public:
    InventoryHeader(ScreenContext context, QWidget* parent = nullptr);

    // The caption, the scan button and its progress, the folder count.
    void updateScanArea();
    // The limited-access block and the storage error.
    void updateWarnings();

private:
    void toggleScan();
    void exportInventory();
    void authorizeFolders();

    ScreenContext context_;
    QLabel* caption_ = nullptr;
    QPushButton* scanButton_ = nullptr;
    QPushButton* exportButton_ = nullptr;
    QPushButton* authorizeButton_ = nullptr;
    QLabel* foldersLabel_ = nullptr;
    QLabel* progressLabel_ = nullptr;
    QLabel* foundLabel_ = nullptr;
    QFrame* limitedAccess_ = nullptr;
    QVBoxLayout* limitedAccessPaths_ = nullptr;
    QLabel* storageError_ = nullptr;
    QLabel* folderError_ = nullptr;
};

}  // namespace kestrova::ui
