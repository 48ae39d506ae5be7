#include "ui/screens/inventory/InventoryScreen.h"

#include "ui/screens/inventory/InventoryDuplicates.h"
#include "ui/screens/inventory/InventoryFilterBar.h"
#include "ui/screens/inventory/InventoryHeader.h"
#include "ui/screens/inventory/InventoryParts.h"

#include "planning/ActionableBundles.h"
#include "planning/ProductSummaries.h"
#include "platform/LocaleText.h"
#include "platform/OperatingSystem.h"
#include "platform/Paths.h"
#include "store/journal/BundleTransactions.h"
#include "store/reports/StoreExports.h"
#include "ui/app/AppSession.h"
#include "ui/app/Prompter.h"
#include "ui/app/WindowState.h"
#include "ui/widgets/DetailPanel.h"
#include "ui/widgets/DetailSplit.h"
#include "ui/widgets/KeyActions.h"
#include "ui/widgets/MetricCard.h"
#include "ui/widgets/PageHeader.h"
#include "ui/widgets/PageScaffold.h"
#include "ui/widgets/StatusDelegate.h"
#include "ui/widgets/TableSelection.h"
#include "ui/widgets/Theme.h"

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

namespace kestrova::ui {

InventoryScreen::InventoryScreen(ScreenContext context, QWidget* parent)
    : Screen(context, parent),
      machine_(session().layout().profile == PlatformProfile::gnuLinux ? machineArchitectureName(machineName())
                                                                       : std::string()) {
    filter_ = new InventoryFilter(model_, this);
    auto* layout = makePage(*this, PageScroll::none, 14);
    header_ = new InventoryHeader(context, this);
    layout->addWidget(header_);

    cards_ = std::make_unique<InventoryCards>(this, toQString(machine_));
    layout->addLayout(cards_->layout());

    inspectorPanel_ = new DetailPanel(this);
    inspector_ = std::make_unique<InventoryDetails>(context, *inspectorPanel_);
    duplicates_ = std::make_unique<InventoryDuplicates>(
        context, *this, [this] { filterBar_->chooseStatus(toQString(duplicatesStatus)); });
    inspector_->setDuplicates(duplicates_.get());
    layout->addWidget(new DetailSplit(buildList(), inspectorPanel_, this), 1);

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
    // The service publishes a few fields around every helper reply; a hidden
    // list catches up once it is shown.
    connect(&session().serviceEvents(), &ObservedObject::changed, this,
            [this] { whenShown(1, [this] { updateActions(); }); });
    connect(&session().folderAccessEvents(), &ObservedObject::changed, this, [this] { header_->updateScanArea(); });
    connect(&window(), &WindowState::queryChanged, this, [this](const QString& query) {
        if (filterBar_->search()->text() != query) {
            filterBar_->search()->setText(query);
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

    filterBar_ = new InventoryFilterBar(box);
    filterBar_->search()->setText(window().query());
    connect(filterBar_->search(), &QLineEdit::textChanged, &window(), &WindowState::setQuery);
    connect(filterBar_, &InventoryFilterBar::menusChanged, this, &InventoryScreen::applyFilters);
    layout->addWidget(filterBar_);
    filterBar_->addTrailing(duplicates_->badge());

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
    connect(filterBar_->search(), &QLineEdit::returnPressed, this, [this] {
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
        filterBar_->resetMenus();
        window().setQuery(QString());
        applyFilters();
    });
    footer->addWidget(clearFilters_);
    footer->addStretch(1);
    layout->addLayout(footer);

    selectionBar_ = std::make_unique<InventorySelectionBar>(box);
    connect(selectionBar_->clearSelection(), &QPushButton::clicked, table_, &QTableView::clearSelection);
    connect(selectionBar_->quarantine(), &QPushButton::clicked, this, &InventoryScreen::confirmBatchQuarantine);
    layout->addWidget(selectionBar_->bar());
    return box;
}

void InventoryScreen::becameVisible() { updateActions(); }

bool InventoryScreen::focusSearch() {
    filterBar_->search()->setFocus(Qt::ShortcutFocusReason);
    filterBar_->search()->selectAll();
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
    const auto summary = summarizeInventory(products, machine_);
    model_.setProducts(std::move(products));
    duplicates_->refresh();
    filter_->setDuplicateProducts(duplicates_->products());
    filterBar_->refill(model_, !duplicates_->groups().empty());
    applyFilters();
    cards_->showFor(summary);
    selectRowOf(window().selectedPluginID());
    showSelectedProduct();
    updateActions();
}

void InventoryScreen::applyFilters() {
    filter_->setCriteria(filterBar_->criteria(window().query()));
    updateShownCount();
}

void InventoryScreen::updateShownCount() {
    shownLabel_->setText(QString::number(filter_->rowCount()) + QStringLiteral(" of ") +
                         QString::number(model_.rowCount()) + QStringLiteral(" active plugins shown"));
    clearFilters_->setVisible(filter_->criteria().isActive());
}

void InventoryScreen::updateActions() {
    auto& store = session().store();
    const auto selected = selectedProducts();
    std::optional<std::string> reason;
    if (!selected.empty()) {
        reason = firstReason(store.blockingReason(TransactionKind::quarantine, activeBundleSelections(selected)),
                             session().service().blockingReason(TransactionKind::quarantine));
    }
    selectionBar_->showFor(selected.size(), session().wordedReason(reason));
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
    selectRowLikeAClick(*table_, filter_->mapFromSource(model_.index(*row, 0)));
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
