#include "ui/screens/quarantine/QuarantineScreen.h"

#include "ui/screens/quarantine/QuarantineDetails.h"

#include "model/ProductStatus.h"
#include "planning/ActionableBundles.h"
#include "planning/ProductSummaries.h"
#include "platform/Paths.h"
#include "store/journal/BundleTransactions.h"
#include "ui/app/AppSession.h"
#include "ui/app/WindowState.h"
#include "ui/widgets/DetailPanel.h"
#include "ui/widgets/DetailSplit.h"
#include "ui/widgets/KeyActions.h"
#include "ui/widgets/MetricCard.h"
#include "ui/widgets/PageHeader.h"
#include "ui/widgets/PageScaffold.h"
#include "ui/widgets/Pill.h"
#include "ui/widgets/ProductList.h"
#include "ui/widgets/StatusDelegate.h"
#include "ui/widgets/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrova::ui {
QuarantineScreen::QuarantineScreen(ScreenContext context, QWidget* parent) : Screen(context, parent) {
    auto* layout = makePage(*this, PageScroll::none, 14);
    auto* header = new PageHeader(QStringLiteral("Quarantine"),
                                  QStringLiteral("Temporarily disabled plugins that can be safely restored."), this);
    auto* status = new QWidget(header);
    auto* statusLayout = new QHBoxLayout(status);
    statusLayout->setContentsMargins(0, 0, 0, 0);
    statusIcon_ = new QLabel(status);
    statusLine_ = new QLabel(status);
    statusLine_->setObjectName(QStringLiteral("PrivilegedStatus"));
    makeSemibold(*statusLine_);
    statusLayout->addWidget(statusIcon_);
    statusLayout->addWidget(statusLine_);
    header->addTrailing(status);
    layout->addWidget(header);
    auto* note = new QLabel(words(QStringLiteral("Quarantine is reversible. Trash actions use macOS Trash and never "
                                                 "permanently delete a bundle.")),
                            this);
    note->setWordWrap(true);
    makeSecondary(*note);
    layout->addWidget(note);

    auto* cardRow = new QHBoxLayout;
    cardRow->setSpacing(12);
    cards_ = {
        new MetricCard("shippingbox", QStringLiteral("Quarantined"), QStringLiteral("Individual format bundles"), this),
        new MetricCard("arrow.uturn.backward.circle", QStringLiteral("Restorable"),
                       QStringLiteral("Verified and ready"), this),
        new MetricCard("externaldrive", QStringLiteral("Storage"),
                       words(QStringLiteral("Inside Kestrova Application Support")), this)};
    for (auto* card : cards_) {
        cardRow->addWidget(card, 1);
    }
    layout->addLayout(cardRow);

    auto* left = new QWidget(this);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 12, 0);
    list_ = new ProductList({PluginTableModel::plugin, PluginTableModel::manufacturer, PluginTableModel::format,
                             PluginTableModel::size, PluginTableModel::moved, PluginTableModel::status},
                            left);
    // The operation folder is made for the move, so its time is the move's.
    list_->showQuarantinedPart([&files = session().store().fileSystem()](const PluginBundleRecord& record) {
        const auto folder = files.status(deletingLastPathComponent(*record.quarantinePath));
        return folder ? std::optional(Date::fromUnixSeconds(folder->modificationTime)) : std::nullopt;
    });
    list_->table()->setObjectName(QStringLiteral("QuarantineTable"));
    (new KeyActions(*list_->table()))->onReturn([this](int row) {
        if (const auto* product = list_->productAt(row)) {
            details_->requestRestore(*product);
        }
    });
    leftLayout->addWidget(list_, 1);

    selectionBar_ = new Card(left);
    selectionBar_->setObjectName(QStringLiteral("SelectionBar"));
    auto& barBody = static_cast<Card*>(selectionBar_)->body();
    barBody.setContentsMargins(12, 8, 12, 8);
    auto* bar = new QHBoxLayout;
    selectedLabel_ = new QLabel(selectionBar_);
    makeSemibold(*selectedLabel_);
    bar->addWidget(selectedLabel_);
    bar->addStretch(1);
    auto* clear = makeButton(QStringLiteral("Clear Selection"), {}, selectionBar_);
    connect(clear, &QPushButton::clicked, list_->table(), &QAbstractItemView::clearSelection);
    bar->addWidget(clear);
    trashSelected_ = makeButton(QStringLiteral("Move Selected to Trash…"), "trash", selectionBar_);
    connect(trashSelected_, &QPushButton::clicked, this, &QuarantineScreen::trashSelected);
    bar->addWidget(trashSelected_);
    restoreSelected_ = makeButton(QStringLiteral("Restore Selected…"), "arrow.uturn.backward", selectionBar_);
    makeProminent(*restoreSelected_);
    connect(restoreSelected_, &QPushButton::clicked, this, &QuarantineScreen::restoreSelected);
    bar->addWidget(restoreSelected_);
    barBody.addLayout(bar);
    restoreReason_ = addReason(barBody, std::string());
    trashReason_ = addReason(barBody, std::string());
    retainSpace(*selectionBar_);
    selectionBar_->hide();
    leftLayout->addWidget(selectionBar_);

    inspector_ = new DetailPanel(this);
    details_ = std::make_unique<QuarantineDetails>(context, *inspector_);
    layout->addWidget(new DetailSplit(left, inspector_, this), 1);

    connect(list_, &ProductList::currentProductChanged, &window(), &WindowState::setSelectedPluginID);
    connect(list_, &ProductList::selectionChanged, this, &QuarantineScreen::updateActions);
    connect(&window(), &WindowState::selectedPluginChanged, this, [this] {
        list_->selectProduct(window().selectedPluginID());
        showSelectedProduct();
    });
    connect(&session().storeEvents(), &ObservedObject::changed, this, [this](Change change) {
        if (change == Change::plugins) {
            followInventory([this] { reload(); });
        } else if (change == Change::fileActionsBlockedByStorage || change == Change::isScanning ||
                   change == Change::notice) {
            // A transaction's journal is cleared after its products are
            // published; its notice comes last, when actions are free again.
            updateActions();
        }
    });
    connect(&session().serviceEvents(), &ObservedObject::changed, this,
            [this] { whenShown(1, [this] { updateActions(); }); });
    reload();
}

void QuarantineScreen::reload() {
    std::vector<Plugin> listed;
    for (const auto& product : session().store().plugins()) {
        if (hasQuarantinedFormat(product)) {
            listed.push_back(product);
        }
    }
    cards_[0]->setValue(QString::number(session().store().quarantinedBundleCount()));
    cards_[1]->setValue(QString::number(listed.size()));
    cards_[2]->setValue(listed.empty() ? QStringLiteral("Empty") : QStringLiteral("Local"));
    list_->setProducts(std::move(listed), window().selectedPluginID());
    updateActions();
}

void QuarantineScreen::updateActions() {
    auto& service = session().service();
    const bool ready = service.canSendPrivilegedRequest();
    statusLine_->setText(ready ? QStringLiteral("Privileged restore ready")
                               : QStringLiteral("Plugin Management required"));
    statusIcon_->setPixmap(symbolIcon(ready ? "checkmark.shield" : "lock.shield").pixmap(18, 18));
    auto palette = statusLine_->palette();
    palette.setColor(QPalette::WindowText, ready ? colors::success() : colors::warning());
    statusLine_->setPalette(palette);

    const auto selected = list_->selectedProducts();
    selectionBar_->setVisible(!selected.empty());
    selectedLabel_->setText(QString::number(selected.size()) + QStringLiteral(" selected"));
    std::optional<std::string> restoreReason;
    std::optional<std::string> trashReason;
    if (!selected.empty()) {
        auto& store = session().store();
        const auto selections = quarantinedBundleSelections(selected);
        restoreReason = firstReason(store.blockingReason(TransactionKind::restore, selections),
                                    service.blockingReason(TransactionKind::restore));
        trashReason = firstReason(store.blockingReason(TransactionKind::trash, selections),
                                  service.blockingReason(TransactionKind::trash));
    }
    restoreSelected_->setEnabled(!selected.empty() && !restoreReason);
    trashSelected_->setEnabled(!selected.empty() && !trashReason);
    restoreReason_->setText(restoreReason ? words(toQString(*restoreReason)) : QString());
    restoreReason_->setVisible(restoreReason.has_value());
    // One explanation is enough when both actions are held back for the same reason.
    trashReason_->setText(trashReason ? words(toQString(*trashReason)) : QString());
    trashReason_->setVisible(trashReason.has_value() && trashReason != restoreReason);
    showSelectedProduct();
}

void QuarantineScreen::showSelectedProduct() { details_->show(list_->product(window().selectedPluginID())); }

void QuarantineScreen::becameVisible() {
    // The product chosen elsewhere is highlighted here too when it is listed.
    list_->selectProduct(window().selectedPluginID());
    showSelectedProduct();
}

void QuarantineScreen::restoreSelected() {
    const auto products = list_->selectedProducts();
    const auto selections = quarantinedBundleSelections(products);
    const auto request = confirmation(QStringLiteral("Restore Selected Plugins?"),
                                      QStringLiteral("Kestrova will restore ") + QString::number(products.size()) +
                                          QStringLiteral(" selected plugins ") + QStringLiteral("(") +
                                          QString::number(selections.size()) +
                                          QStringLiteral(" format bundles) to their recorded original locations. ") +
                                          QStringLiteral("Existing files will never be overwritten."),
                                      QStringLiteral("Restore Plugins"));
    if (prompter().confirm(this, request)) {
        list_->table()->clearSelection();
        runRestore(session().store(), session().service(), selections);
    }
}

void QuarantineScreen::trashSelected() {
    const auto products = list_->selectedProducts();
    const auto selections = quarantinedBundleSelections(products);
    if (prompter().confirm(this, batchTrashRequest(products.size(), selections.size()))) {
        list_->table()->clearSelection();
        runTrash(session().store(), session().service(), selections);
    }
}

}  // namespace kestrova::ui
