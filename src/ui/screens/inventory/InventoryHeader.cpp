#include "ui/screens/inventory/InventoryHeader.h"

#include "platform/LocaleText.h"
#include "platform/Paths.h"
#include "store/reports/StoreExports.h"
#include "ui/app/AppSession.h"
#include "ui/app/Prompter.h"
#include "ui/app/QtText.h"
#include "ui/screens/inventory/StandardFoldersCard.h"
#include "ui/widgets/DetailPanel.h"
#include "ui/widgets/PageHeader.h"
#include "ui/widgets/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrova::ui {
namespace {

QLabel* warningLine(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setWordWrap(true);
    auto palette = label->palette();
    palette.setColor(QPalette::WindowText, colors::warning());
    label->setPalette(palette);
    label->hide();
    return label;
}

}  // namespace

InventoryHeader::InventoryHeader(ScreenContext context, QWidget* parent) : QWidget(parent), context_(context) {
    auto* box = this;
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    auto* header = new PageHeader(QStringLiteral("Plugin Inventory"), QString(), box);
    caption_ = header->subtitleLabel();
    caption_->setObjectName(QStringLiteral("ScanCaption"));
    authorizeButton_ = makeButton(QStringLiteral("Authorize Folder…"), "folder");
    connect(authorizeButton_, &QPushButton::clicked, this, &InventoryHeader::authorizeFolders);
    exportButton_ = makeButton(QStringLiteral("Export CSV…"), "square.and.arrow.up");
    connect(exportButton_, &QPushButton::clicked, this, &InventoryHeader::exportInventory);
    scanButton_ = makeButton(QStringLiteral("Scan Plugins"), "magnifyingglass");
    scanButton_->setObjectName(QStringLiteral("ScanButton"));
    makeProminent(*scanButton_);
    connect(scanButton_, &QPushButton::clicked, this, &InventoryHeader::toggleScan);
    header->addTrailing(authorizeButton_);
    header->addTrailing(exportButton_);
    header->addTrailing(scanButton_);
    layout->addWidget(header);

    auto* status = new QHBoxLayout;
    status->setSpacing(16);
    foldersLabel_ = new QLabel(box);
    foldersLabel_->setObjectName(QStringLiteral("FoldersAuthorized"));
    makeCaption(*foldersLabel_);
    progressLabel_ = new QLabel(box);
    progressLabel_->setObjectName(QStringLiteral("ScanProgress"));
    foundLabel_ = new QLabel(box);
    foundLabel_->setObjectName(QStringLiteral("BundlesFound"));
    makeSecondary(*foundLabel_);
    status->addWidget(foldersLabel_);
    status->addWidget(progressLabel_);
    status->addWidget(foundLabel_);
    status->addStretch(1);
    layout->addLayout(status);
    layout->addWidget(new StandardFoldersCard(context_, box));

    limitedAccess_ = new Card(box);
    limitedAccess_->setObjectName(QStringLiteral("LimitedFolderAccess"));
    auto& body = static_cast<Card*>(limitedAccess_)->body();
    auto* title = new QLabel(QStringLiteral("Limited Folder Access"), limitedAccess_);
    makeSemibold(*title);
    auto palette = title->palette();
    palette.setColor(QPalette::WindowText, colors::warning());
    title->setPalette(palette);
    body.addWidget(title);
    addNote(body, QStringLiteral("Kestrova completed a partial read-only scan. Grant access only to the listed plugin "
                                 "folders, then scan again."));
    limitedAccessPaths_ = new QVBoxLayout;
    limitedAccessPaths_->setSpacing(4);
    body.addLayout(limitedAccessPaths_);
    limitedAccess_->hide();
    layout->addWidget(limitedAccess_);

    storageError_ = warningLine(box);
    storageError_->setObjectName(QStringLiteral("StorageError"));
    layout->addWidget(storageError_);
    folderError_ = warningLine(box);
    folderError_->setObjectName(QStringLiteral("FolderError"));
    layout->addWidget(folderError_);
}

void InventoryHeader::updateScanArea() {
    auto& store = context_.session.store();
    const bool scanning = store.isScanning();
    scanButton_->setText(scanning ? QStringLiteral("Cancel Scan") : QStringLiteral("Scan Plugins"));
    scanButton_->setIcon(symbolIcon(scanning ? "xmark.circle" : "magnifyingglass"));
    // A blocked state file stops new scans, never the cancel of a running one.
    scanButton_->setEnabled(!store.fileActionsBlockedByStorage() || scanning);
    if (scanning) {
        if (const auto& progress = store.scanProgress()) {
            progressLabel_->setText(QStringLiteral("Scanning ") + toQString(progress->format) +
                                    QStringLiteral(" plugins…"));
            foundLabel_->setText(QString::number(progress->discoveredBundles) + QStringLiteral(" bundles found"));
        } else {
            progressLabel_->setText(QStringLiteral("Preparing standard plugin locations…"));
            foundLabel_->clear();
        }
    }
    progressLabel_->setVisible(scanning);
    foundLabel_->setVisible(scanning && !foundLabel_->text().isEmpty());
    if (const auto& date = store.lastScanDate()) {
        caption_->setText(QStringLiteral("Read-only scan completed ") + toQString(abbreviatedDateShortTimeText(*date)));
    } else {
        caption_->setText(
            context_.session.words(QStringLiteral("Sample inventory — run a read-only scan to inspect this Mac.")));
    }
    const auto& access = context_.session.folderAccess();
    foldersLabel_->setText(QString::number(access.authorizedFolders().size()) + QStringLiteral(" folders authorized"));
    folderError_->setText(access.lastError()
                              ? QStringLiteral("Folder authorization failed: ") + toQString(*access.lastError())
                              : QString());
    folderError_->setVisible(access.lastError().has_value());
}

void InventoryHeader::updateWarnings() {
    const auto& store = context_.session.store();
    while (auto* item = limitedAccessPaths_->takeAt(0)) {
        if (auto* widget = item->widget()) {
            widget->deleteLater();
        }
        delete item;
    }
    for (const auto& path : store.inaccessibleLocations()) {
        auto* row = new QWidget(limitedAccess_);
        auto* rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(0, 0, 0, 0);
        auto* text = new QLabel(toQString(path), row);
        text->setTextInteractionFlags(Qt::TextSelectableByMouse);
        rowLayout->addWidget(text, 1);
        auto* open = makeButton(QStringLiteral("Open Parent"), "folder", row);
        connect(open, &QPushButton::clicked, this,
                [this, parent = deletingLastPathComponent(path)] { context_.prompter.reveal(parent); });
        rowLayout->addWidget(open);
        limitedAccessPaths_->addWidget(row);
    }
    limitedAccess_->setVisible(!store.inaccessibleLocations().empty());
    if (const auto& error = store.lastStorageError()) {
        storageError_->setText(QStringLiteral("Kestrova could not save its local inventory state: ") +
                               toQString(*error) +
                               QStringLiteral(" Scanning, search, export, and protection remain available."));
    }
    storageError_->setVisible(store.lastStorageError().has_value());
}

void InventoryHeader::toggleScan() {
    auto& store = context_.session.store();
    if (store.isScanning()) {
        store.cancelScan();
    } else {
        store.startScan(context_.session.folderAccess().authorizedFolders(), &context_.session.service());
    }
}

void InventoryHeader::exportInventory() {
    auto& store = context_.session.store();
    const auto panel = exportPanel(ExportKind::inventory);
    const auto path = context_.prompter.savePath(
        this, {toQString(panel.title), toQString(panel.suggestedFileName), toQString(panel.fileExtension)});
    if (!path) {
        return;
    }
    // Success is the store's notice; only a failure is this screen's to show.
    const auto written =
        writeExport(store, ExportKind::inventory, *path, inventoryCSV(store), context_.session.fileSystem());
    if (!written) {
        context_.prompter.alert(this, QStringLiteral("Export Failed"),
                                toQString(exportFailureMessage(ExportKind::inventory, written.error())));
    }
}

void InventoryHeader::authorizeFolders() {
    PromptingFolderChooser chooser(context_.prompter, this);
    context_.session.folderAccess().authorizeFolders(chooser);
}

}  // namespace kestrova::ui
