// About Kestrova: the running build, the release checks, the size of the
// inventory and history, the last scan's health and the folders it could
// not read, with the diagnostic report export. It reads the store and the
// management service and redraws when either publishes a change.
#pragma once

#include "ui/screens/Screen.h"

#include <optional>
#include <string>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace kestrova::ui {

class MetricCard;

class AboutScreen final : public Screen {
    Q_OBJECT
public:
    explicit AboutScreen(ScreenContext context, QWidget* parent = nullptr);

    QPushButton* exportButton() const { return exportButton_; }
    MetricCard* releaseChecksCard() const { return checksCard_; }
    // The value of a labelled row of the release section ("Last Scan").
    QString rowValue(const QString& label) const;
    // Every text the Folder Access section shows, top to bottom.
    QStringList folderAccessTexts() const;
    const std::optional<std::string>& exportError() const { return exportError_; }

private:
    void buildContent(QVBoxLayout& page);
    void redraw();
    void redrawFolderAccess();
    void exportReport();

    QPushButton* exportButton_ = nullptr;
    MetricCard* versionCard_ = nullptr;
    MetricCard* checksCard_ = nullptr;
    MetricCard* productsCard_ = nullptr;
    MetricCard* operationsCard_ = nullptr;
    QLabel* application_ = nullptr;
    QLabel* helperBuild_ = nullptr;
    QLabel* handshake_ = nullptr;
    QLabel* lastScan_ = nullptr;
    QLabel* reconciliation_ = nullptr;
    QLabel* quarantined_ = nullptr;
    QWidget* folderAccess_ = nullptr;
    QVBoxLayout* folderRows_ = nullptr;
    std::optional<std::string> exportError_;
};

}  // namespace kestrova::ui
