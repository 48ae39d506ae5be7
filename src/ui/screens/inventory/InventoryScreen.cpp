#include "ui/screens/inventory/InventoryScreen.h"

#include "ui/screens/inventory/InventoryDuplicates.h"
#include "ui/screens/inventory/InventoryHeader.h"

#include "planning/ActionableBundles.h"
#include "planning/ProductSummaries.h"
#include "platform/LocaleText.h"
#include "platform/Paths.h"
#include "store/BundleTransactions.h"
#include "store/StoreExports.h"
#include "ui/app/AppSession.h"
#include "ui/app/Prompter.h"
#include "ui/app/WindowState.h"
#include "ui/widgets/DetailPanel.h"
#include "ui/widgets/InspectorSplit.h"
#include "ui/widgets/KeyActions.h"
#include "ui/widgets/MetricCard.h"
#include "ui/widgets/PageHeader.h"
#include "ui/widgets/PageScaffold.h"
#include "ui/widgets/StatusDelegate.h"
#include "ui/widgets/Theme.h"

#include <QAction>
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
    auto* layout = makePage(*this, PageScroll::none, 14);
    header_ = new InventoryHeader(context, this);
    layout->addWidget(header_);

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
    duplicates_ = std::make_unique<InventoryDuplicates>(
        context, *this, [this] { statusMenu_->setCurrentIndex(statusMenu_->findText(toQString(duplicatesStatus))); });
    inspector_->setDuplicates(duplicates_.get());
    layout->addWidget(new InspectorSplit(buildList(), inspectorPanel_, this), 1);

    connect(&session().storeEvents(), &ObservedObject::changed, this, [this](Change change) {
        if (change == Change::plugins) {
            followInventory([this] { reloadProducts(); });
        } else if (change == Change::isScanning || change == Change::scanProgress || change == Change::lastScanDate) {
            header_->updateScanArea();
            updateActions();
        } else if (change == Change::inaccessibleLocations || change == Change::lastStorageError) {
            header_->updateWarnings();
        } else if (change == Change::fileActionsBlockedByStorage || change == Change::notice) {
            // A transaction's journal is cleared after its products are
            // published; its notice comes last, when actions are free again.
            updateActions();
        }
    });
    connect(&session().serviceEvents(), &ObservedObject::changed, this, [this] { updateActions(); });
    connect(&session().folderAccessEvents(), &ObservedObject::changed, this, [this] { header_->updateScanArea(); });
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
    header_->updateScanArea();
    header_->updateWarnings();
}

InventoryScreen::~InventoryScreen() = default;

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
    search_->addAction(symbolIcon("magnifyingglass"), QLineEdit::LeadingPosition)->setText(QStringLiteral("Search"));
    if (auto* clear = search_->findChild<QAction*>(QStringLiteral("_q_qlineeditclearaction"))) {
        clear->setText(QStringLiteral("Clear Search"));
    }
    search_->setAccessibleName(QStringLiteral("Search plugins"));
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
    filters->addWidget(duplicates_->badge());
    layout->addLayout(filters);

    table_ = new QTableView(box);
    table_->setObjectName(QStringLiteral("InventoryTable"));
    table_->setModel(filter_);
    configureProductTable(*table_);
    table_->setColumnHidden(PluginTableModel::moved, true);
    (new KeyActions(*table_))->onReturn([this](int row) {
        const auto product = model_.row(filter_->mapToSource(filter_->index(row, 0)).row()).product;
        inspector_->requestQuarantine(product);
    });
    table_->setItemDelegateForColumn(PluginTableModel::status, new StatusDelegate(table_));
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
    // Return in the search goes on to the rows it found.
    connect(search_, &QLineEdit::returnPressed, this, [this] {
        if (filter_->rowCount() == 0) {
            return;
        }
        if (!table_->currentIndex().isValid()) {
            table_->selectionModel()->setCurrentIndex(filter_->index(0, 0),
                                                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        }
        table_->setFocus(Qt::TabFocusReason);
    });

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
    retainSpace(*selectionBar_);
    selectionBar_->hide();
    layout->addWidget(selectionBar_);
    return box;
}

void InventoryScreen::becameVisible() { updateActions(); }

bool InventoryScreen::focusSearch() {
    search_->setFocus(Qt::ShortcutFocusReason);
    search_->selectAll();
    return true;
}

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
    auto products = session().store().activePlugins();
    const auto summary = summarizeInventory(products);
    model_.setProducts(std::move(products));
    duplicates_->refresh();
    filter_->setDuplicateProducts(duplicates_->products());
    refillMenus();
    applyFilters();
    updateCards(summary);
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
    if (!duplicates_->groups().empty()) {
        statuses.insert(std::string(duplicatesStatus));
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

void InventoryScreen::updateCards(const InventorySummary& summary) {
    cards_[0]->setValue(QString::number(summary.products));
    cards_[1]->setValue(QString::number(summary.multipleFormats));
    cards_[2]->setValue(QString::number(summary.nativeOrUniversal));
    cards_[3]->setValue(QString::number(summary.needsReview));
    cards_[3]->setTint(summary.needsReview > 0 ? colors::warning() : palette().color(QPalette::WindowText));
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
    header_->updateScanArea();
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
    // A cleared selection keeps its current row, which then shows no
    // highlight; a row being clicked is current before it is selected, and
    // the view selects it itself.
    if (index.isValid() && (table_->currentIndex().row() != index.row() || !table_->selectionModel()->hasSelection())) {
        table_->selectionModel()->setCurrentIndex(index,
                                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    table_->scrollTo(index);
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
