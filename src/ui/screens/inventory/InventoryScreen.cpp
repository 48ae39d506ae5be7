#include "ui/screens/inventory/InventoryScreen.h"

#include "planning/ActionableBundles.h"
#include "platform/LocaleText.h"
#include "platform/Paths.h"
#include "store/BundleTransactions.h"
#include "store/StoreExports.h"
#include "ui/app/AppSession.h"
#include "ui/app/Prompter.h"
#include "ui/app/WindowState.h"
#include "ui/widgets/DetailPanel.h"
#include "ui/widgets/MetricCard.h"
#include "ui/widgets/PageHeader.h"
#include "ui/widgets/StatusDelegate.h"
#include "ui/widgets/Theme.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <set>

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

QComboBox* filterMenu(const QString& name, QWidget* parent) {
    auto* menu = new QComboBox(parent);
    menu->setObjectName(name + QStringLiteral("Menu"));
    menu->setToolTip(name);
    menu->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    menu->setMinimumContentsLength(9);
    menu->addItem(allValues);
    return menu;
}

// "All" followed by the values, in plain string order.
void refill(QComboBox& menu, const std::set<std::string>& values) {
    const auto current = menu.currentText();
    const QSignalBlocker blocker(menu);
    menu.clear();
    menu.addItem(allValues);
    for (const auto& value : values) {
        menu.addItem(toQString(value));
    }
    const int index = menu.findText(current);
    menu.setCurrentIndex(index < 0 ? 0 : index);
}

std::optional<std::string> menuValue(const QComboBox& menu) {
    if (menu.currentIndex() <= 0) {
        return std::nullopt;
    }
    return menu.currentText().toStdString();
}

}  // namespace

InventoryScreen::InventoryScreen(ScreenContext context, QWidget* parent) : Screen(context, parent) {
    filter_ = new InventoryFilter(model_, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 24, 28, 24);
    layout->setSpacing(14);
    layout->addWidget(buildHeader());

    auto* cardRow = new QHBoxLayout;
    cardRow->setSpacing(12);
    const std::array<std::tuple<std::string_view, QString, QString>, 4> cards{{
        {"puzzlepiece.extension", QStringLiteral("Plugin Products"), QStringLiteral("Active inventory")},
        {"square.stack.3d.up", QStringLiteral("Multiple Formats"), QStringLiteral("More than one format")},
        {"cpu", QStringLiteral("Apple Silicon"), QStringLiteral("Native or Universal")},
        {"exclamationmark.circle", QStringLiteral("Needs Review"), QStringLiteral("Informational notes")},
    }};
    for (std::size_t index = 0; index < cards.size(); ++index) {
        const auto& [symbol, title, detail] = cards[index];
        cards_[index] = new MetricCard(symbol, title, detail, this);
        cardRow->addWidget(cards_[index], 1);
    }
    layout->addLayout(cardRow);

    inspectorPanel_ = new DetailPanel(this);
    inspector_ = std::make_unique<InventoryDetails>(context, *inspectorPanel_);
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(buildList());
    splitter->addWidget(inspectorPanel_);
    splitter->setStretchFactor(0, 1);
    splitter->setSizes({780, 360});
    layout->addWidget(splitter, 1);

    connect(&session().storeEvents(), &ObservedObject::changed, this, [this](const QString& field) {
        const auto name = field.toStdString();
        if (name == storeField::plugins) {
            reloadProducts();
        } else if (name == storeField::isScanning || name == storeField::scanProgress ||
                   name == storeField::lastScanDate) {
            updateScanArea();
            updateActions();
        } else if (name == storeField::inaccessibleLocations || name == storeField::lastStorageError) {
            updateWarnings();
        } else if (name == storeField::fileActionsBlockedByStorage || name == storeField::notice) {
            // A transaction's journal is cleared after its products are
            // published; its notice comes last, when actions are free again.
            updateActions();
        }
    });
    connect(&session().serviceEvents(), &ObservedObject::changed, this, [this] { updateActions(); });
    connect(&session().folderAccessEvents(), &ObservedObject::changed, this, [this] { updateScanArea(); });
    connect(&window(), &WindowState::queryChanged, this, [this](const QString& query) {
        if (search_->text() != query) {
            search_->setText(query);
        }
        applyFilters();
    });
    connect(&window(), &WindowState::selectedPluginChanged, this, [this] {
        selectRowOf(window().selectedPluginID());
        showSelectedProduct();
    });
    reloadProducts();
    updateScanArea();
    updateWarnings();
}

QWidget* InventoryScreen::buildHeader() {
    auto* box = new QWidget(this);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    auto* header = new PageHeader(QStringLiteral("Plugin Inventory"), QString(), box);
    caption_ = header->subtitleLabel();
    caption_->setObjectName(QStringLiteral("ScanCaption"));
    authorizeButton_ = makeButton(QStringLiteral("Authorize Folder…"), "folder");
    connect(authorizeButton_, &QPushButton::clicked, this, &InventoryScreen::authorizeFolders);
    exportButton_ = makeButton(QStringLiteral("Export CSV…"), "square.and.arrow.up");
    connect(exportButton_, &QPushButton::clicked, this, &InventoryScreen::exportInventory);
    scanButton_ = makeButton(QStringLiteral("Scan Plugins"), "magnifyingglass");
    scanButton_->setObjectName(QStringLiteral("ScanButton"));
    makeProminent(*scanButton_);
    connect(scanButton_, &QPushButton::clicked, this, &InventoryScreen::toggleScan);
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
    return box;
}

QWidget* InventoryScreen::buildList() {
    auto* box = new QWidget(this);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 12, 0);
    layout->setSpacing(8);

    auto* filters = new QHBoxLayout;
    filters->setSpacing(8);
    search_ = new QLineEdit(box);
    search_->setObjectName(QStringLiteral("SearchField"));
    search_->setPlaceholderText(QStringLiteral("Search plugins…"));
    search_->setClearButtonEnabled(true);
    search_->addAction(symbolIcon("magnifyingglass"), QLineEdit::LeadingPosition);
    search_->setText(window().query());
    connect(search_, &QLineEdit::textChanged, &window(), &WindowState::setQuery);
    layout->addWidget(search_);
    formatMenu_ = filterMenu(QStringLiteral("Format"), box);
    manufacturerMenu_ = filterMenu(QStringLiteral("Manufacturer"), box);
    architectureMenu_ = filterMenu(QStringLiteral("Architecture"), box);
    statusMenu_ = filterMenu(QStringLiteral("Status"), box);
    for (auto* menu : {formatMenu_, manufacturerMenu_, architectureMenu_, statusMenu_}) {
        auto* label = new QLabel(menu->toolTip(), box);
        makeCaption(*label);
        filters->addWidget(label);
        filters->addWidget(menu);
        connect(menu, &QComboBox::currentIndexChanged, this, &InventoryScreen::applyFilters);
    }
    filters->addStretch(1);
    layout->addLayout(filters);

    table_ = new QTableView(box);
    table_->setObjectName(QStringLiteral("InventoryTable"));
    table_->setModel(filter_);
    configureProductTable(*table_);
    table_->setItemDelegateForColumn(PluginTableModel::status, new StatusDelegate(table_));
    auto* header = table_->horizontalHeader();
    header->resizeSection(PluginTableModel::manufacturer, 140);
    header->resizeSection(PluginTableModel::format, 120);
    header->resizeSection(PluginTableModel::architecture, 110);
    header->resizeSection(PluginTableModel::size, 80);
    header->resizeSection(PluginTableModel::status, 160);
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &InventoryScreen::updateActions);
    connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!current.isValid()) {
                    return;
                }
                const auto source = filter_->mapToSource(current);
                window().setSelectedPluginID(model_.row(source.row()).product.id);
            });
    layout->addWidget(table_, 1);

    auto* footer = new QHBoxLayout;
    shownLabel_ = new QLabel(box);
    shownLabel_->setObjectName(QStringLiteral("ShownCount"));
    makeCaption(*shownLabel_);
    footer->addWidget(shownLabel_);
    clearFilters_ = makeButton(QStringLiteral("Clear Filters"), "xmark.circle");
    clearFilters_->setFlat(true);
    connect(clearFilters_, &QPushButton::clicked, this, [this] {
        for (auto* menu : {formatMenu_, manufacturerMenu_, architectureMenu_, statusMenu_}) {
            const QSignalBlocker blocker(menu);
            menu->setCurrentIndex(0);
        }
        window().setQuery(QString());
        applyFilters();
    });
    footer->addWidget(clearFilters_);
    footer->addStretch(1);
    layout->addLayout(footer);

    selectionBar_ = new Card(box);
    selectionBar_->setObjectName(QStringLiteral("SelectionBar"));
    auto* bar = new QHBoxLayout;
    selectedLabel_ = new QLabel(selectionBar_);
    makeSemibold(*selectedLabel_);
    bar->addWidget(selectedLabel_);
    bar->addStretch(1);
    auto* clearSelection = makeButton(QStringLiteral("Clear Selection"), {}, selectionBar_);
    connect(clearSelection, &QPushButton::clicked, table_, &QTableView::clearSelection);
    bar->addWidget(clearSelection);
    batchQuarantine_ = makeButton(QStringLiteral("Move to Quarantine"), "shippingbox", selectionBar_);
    batchQuarantine_->setObjectName(QStringLiteral("BatchQuarantine"));
    makeProminent(*batchQuarantine_);
    connect(batchQuarantine_, &QPushButton::clicked, this, &InventoryScreen::confirmBatchQuarantine);
    bar->addWidget(batchQuarantine_);
    auto& barBody = static_cast<Card*>(selectionBar_)->body();
    barBody.setContentsMargins(12, 8, 12, 8);
    barBody.addLayout(bar);
    batchReason_ = addReason(barBody, std::string());
    batchReason_->setObjectName(QStringLiteral("BatchReason"));
    selectionBar_->hide();
    layout->addWidget(selectionBar_);
    return box;
}

void InventoryScreen::becameVisible() { updateActions(); }

std::vector<Plugin> InventoryScreen::selectedProducts() const {
    std::vector<int> rows;
    for (const auto& index : table_->selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    std::vector<Plugin> products;
    for (const int row : rows) {
        products.push_back(model_.row(filter_->mapToSource(filter_->index(row, 0)).row()).product);
    }
    return products;
}

void InventoryScreen::reloadProducts() {
    model_.setProducts(session().store().activePlugins());
    refillMenus();
    applyFilters();
    updateCards();
    selectRowOf(window().selectedPluginID());
    showSelectedProduct();
    updateActions();
}

void InventoryScreen::refillMenus() {
    std::set<std::string> formats;
    std::set<std::string> manufacturers;
    std::set<std::string> architectures;
    std::set<std::string> statuses;
    for (const auto& row : model_.rows()) {
        formats.insert(row.product.formats.begin(), row.product.formats.end());
        manufacturers.insert(row.product.manufacturer);
        architectures.insert(row.product.architecture);
        statuses.insert(std::string(rawValue(row.product.status)));
    }
    refill(*formatMenu_, formats);
    refill(*manufacturerMenu_, manufacturers);
    refill(*architectureMenu_, architectures);
    refill(*statusMenu_, statuses);
}

void InventoryScreen::applyFilters() {
    filter_->setCriteria({window().query(), menuValue(*formatMenu_), menuValue(*manufacturerMenu_),
                          menuValue(*architectureMenu_), menuValue(*statusMenu_)});
    updateShownCount();
}

void InventoryScreen::updateShownCount() {
    shownLabel_->setText(QString::number(filter_->rowCount()) + QStringLiteral(" of ") +
                         QString::number(model_.rowCount()) + QStringLiteral(" active plugins shown"));
    clearFilters_->setVisible(filter_->criteria().isActive());
}

void InventoryScreen::updateCards() {
    int multiple = 0;
    int native = 0;
    int review = 0;
    for (const auto& row : model_.rows()) {
        const auto& product = row.product;
        multiple += product.formats.size() >= 2 ? 1 : 0;
        native += product.architecture == "Apple Silicon" || product.architecture == "Universal" ? 1 : 0;
        review += product.architecture == "Intel" || product.architecture == "Unknown" ? 1 : 0;
    }
    cards_[0]->setValue(QString::number(model_.rowCount()));
    cards_[1]->setValue(QString::number(multiple));
    cards_[2]->setValue(QString::number(native));
    cards_[3]->setValue(QString::number(review));
    cards_[3]->setTint(review > 0 ? colors::warning() : palette().color(QPalette::WindowText));
}

void InventoryScreen::updateScanArea() {
    const auto& store = session().store();
    const bool scanning = store.isScanning();
    scanButton_->setText(scanning ? QStringLiteral("Cancel Scan") : QStringLiteral("Scan Plugins"));
    scanButton_->setIcon(symbolIcon(scanning ? "xmark.circle" : "magnifyingglass"));
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
        caption_->setText(QStringLiteral("Sample inventory — run a read-only scan to inspect this Mac."));
    }
    const auto& access = session().folderAccess();
    foldersLabel_->setText(QString::number(access.authorizedFolders().size()) + QStringLiteral(" folders authorized"));
    folderError_->setText(access.lastError()
                              ? QStringLiteral("Folder authorization failed: ") + toQString(*access.lastError())
                              : QString());
    folderError_->setVisible(access.lastError().has_value());
}

void InventoryScreen::updateWarnings() {
    const auto& store = session().store();
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
                [this, parent = deletingLastPathComponent(path)] { prompter().reveal(parent); });
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

void InventoryScreen::updateActions() {
    auto& store = session().store();
    const auto selected = selectedProducts();
    selectionBar_->setVisible(!selected.empty());
    selectedLabel_->setText(QString::number(selected.size()) + QStringLiteral(" selected"));
    std::optional<std::string> reason;
    if (!selected.empty()) {
        reason = firstReason(store.quarantineBlockingReason(activeBundleSelections(selected)),
                             session().service().quarantineBlockingReason());
    }
    batchQuarantine_->setEnabled(!selected.empty() && !reason);
    batchQuarantine_->setToolTip(reason ? toQString(*reason) : QString());
    batchReason_->setText(reason ? toQString(*reason) : QString());
    batchReason_->setVisible(reason.has_value());
    const bool blocked = store.fileActionsBlockedByStorage();
    scanButton_->setEnabled(!blocked || store.isScanning());
    showSelectedProduct();
}

void InventoryScreen::showSelectedProduct() {
    const auto& id = window().selectedPluginID();
    const auto row = id ? model_.rowOf(*id) : std::nullopt;
    inspector_->show(row ? &model_.row(*row).product : nullptr);
}

void InventoryScreen::selectRowOf(const std::optional<Uuid>& id) {
    const auto row = id ? model_.rowOf(*id) : std::nullopt;
    if (!row) {
        return;
    }
    const auto index = filter_->mapFromSource(model_.index(*row, 0));
    if (index.isValid() && table_->currentIndex().row() != index.row()) {
        table_->selectionModel()->setCurrentIndex(index,
                                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
}

void InventoryScreen::toggleScan() {
    auto& store = session().store();
    if (store.isScanning()) {
        store.cancelScan();
    } else {
        store.startScan(session().folderAccess().authorizedFolders(), &session().service());
    }
}

void InventoryScreen::exportInventory() {
    auto& store = session().store();
    const auto panel = exportPanel(ExportKind::inventory);
    const auto path = prompter().savePath(
        this, {toQString(panel.title), toQString(panel.suggestedFileName), toQString(panel.fileExtension)});
    if (!path) {
        return;
    }
    // Success is the store's notice; only a failure is this screen's to show.
    const auto written = writeExport(store, ExportKind::inventory, *path, inventoryCSV(store), session().fileSystem());
    if (!written) {
        prompter().alert(this, QStringLiteral("Export Failed"),
                         toQString(exportFailureMessage(ExportKind::inventory, written.error())));
    }
}

void InventoryScreen::authorizeFolders() {
    PromptingFolderChooser chooser(prompter(), this);
    session().folderAccess().authorizeFolders(chooser);
}

void InventoryScreen::confirmBatchQuarantine() {
    const auto products = selectedProducts();
    const auto selections = activeBundleSelections(products);
    const auto request = confirmation(
        QStringLiteral("Move to Quarantine"),
        QStringLiteral("Kestrova will move ") + QString::number(products.size()) +
            QStringLiteral(" selected plugins ") + QStringLiteral("(") + QString::number(selections.size()) +
            QStringLiteral(" format bundles) into reversible quarantine. ") +
            QStringLiteral("Every bundle has been preflighted; no permanent deletion will occur."),
        QStringLiteral("Move to Quarantine"));
    if (!prompter().confirm(this, request)) {
        return;
    }
    table_->clearSelection();
    runQuarantine(session().store(), session().service(), selections);
}

}  // namespace kestrova::ui
