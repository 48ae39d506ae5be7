#include "ui/screens/quarantine/QuarantineScreen.h"

#include "model/ProductStatus.h"
#include "planning/ActionableBundles.h"
#include "platform/Paths.h"
#include "store/BundleTransactions.h"
#include "ui/app/AppSession.h"
#include "ui/app/WindowState.h"
#include "ui/widgets/DetailPanel.h"
#include "ui/widgets/MetricCard.h"
#include "ui/widgets/PageHeader.h"
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
namespace {

bool isListed(const Plugin& product) {
    if (product.status == PluginStatus::quarantined || product.status == PluginStatus::partiallyQuarantined) {
        return true;
    }
    const auto records = bundleRecords(product);
    return std::any_of(records.begin(), records.end(), [](const auto& record) { return record.isQuarantined(); });
}

QString originalLocation(const PluginBundleRecord& record) {
    return toQString(record.originalPath.value_or(record.path));
}

}  // namespace

ConfirmationRequest batchTrashRequest(std::size_t products, std::size_t bundles) {
    auto request = confirmation(
        QStringLiteral("Move Selected Plugins to macOS Trash?"),
        QString::number(products) + QStringLiteral(" plugins — ") + QString::number(bundles) +
            QStringLiteral(" format bundles\n\nThese bundles will leave Kestrova quarantine. They will not be "
                           "permanently deleted and will remain tracked in Trash Recovery."),
        QStringLiteral("Move ") + QString::number(bundles) + QStringLiteral(" Bundles to Trash"));
    request.acknowledgement =
        QStringLiteral("I understand restoration depends on these exact bundles remaining in Finder Trash.");
    return request;
}

ConfirmationRequest formatTrashRequest(const PluginBundleRecord& record) {
    auto request = confirmation(QStringLiteral("Move to macOS Trash?"),
                                QStringLiteral("This bundle will leave Kestrova quarantine. It will not be permanently "
                                               "deleted and will remain tracked in Trash Recovery."),
                                QStringLiteral("Move to Trash"));
    request.rows = {{QStringLiteral("Recorded Original Location"), originalLocation(record)},
                    {QStringLiteral("Current Quarantine Location"), toQString(record.quarantinePath.value_or(""))}};
    request.acknowledgement =
        QStringLiteral("I understand restoration depends on this exact bundle remaining in Finder Trash.");
    return request;
}

QuarantineScreen::QuarantineScreen(ScreenContext context, QWidget* parent) : Screen(context, parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 24, 28, 24);
    layout->setSpacing(14);
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
                       QStringLiteral("Inside Kestrova Application Support"), this)};
    for (auto* card : cards_) {
        cardRow->addWidget(card, 1);
    }
    layout->addLayout(cardRow);

    auto* left = new QWidget(this);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 12, 0);
    list_ = new ProductList({PluginTableModel::plugin, PluginTableModel::manufacturer, PluginTableModel::format,
                             PluginTableModel::size, PluginTableModel::status},
                            left);
    list_->table()->setObjectName(QStringLiteral("QuarantineTable"));
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
    selectionBar_->hide();
    leftLayout->addWidget(selectionBar_);

    inspector_ = new DetailPanel(this);
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(left);
    splitter->addWidget(inspector_);
    splitter->setStretchFactor(0, 1);
    splitter->setSizes({760, 380});
    layout->addWidget(splitter, 1);

    connect(list_, &ProductList::currentProductChanged, &window(), &WindowState::setSelectedPluginID);
    connect(list_, &ProductList::selectionChanged, this, &QuarantineScreen::updateActions);
    connect(&window(), &WindowState::selectedPluginChanged, this, [this] {
        list_->selectProduct(window().selectedPluginID());
        showSelectedProduct();
    });
    connect(&session().storeEvents(), &ObservedObject::changed, this, [this](const QString& field) {
        const auto name = field.toStdString();
        if (name == storeField::plugins) {
            reload();
        } else if (name == storeField::fileActionsBlockedByStorage || name == storeField::isScanning ||
                   name == storeField::notice) {
            // A transaction's journal is cleared after its products are
            // published; its notice comes last, when actions are free again.
            updateActions();
        }
    });
    connect(&session().serviceEvents(), &ObservedObject::changed, this, &QuarantineScreen::updateActions);
    reload();
}

void QuarantineScreen::reload() {
    std::vector<Plugin> listed;
    for (const auto& product : session().store().plugins()) {
        if (isListed(product)) {
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
        restoreReason = firstReason(store.restoreBlockingReason(selections), service.restoreBlockingReason());
        trashReason = firstReason(store.trashBlockingReason(selections), service.trashBlockingReason());
    }
    restoreSelected_->setEnabled(!selected.empty() && !restoreReason);
    trashSelected_->setEnabled(!selected.empty() && !trashReason);
    restoreReason_->setText(restoreReason ? toQString(*restoreReason) : QString());
    restoreReason_->setVisible(restoreReason.has_value());
    // One explanation is enough when both actions are held back for the same reason.
    trashReason_->setText(trashReason ? toQString(*trashReason) : QString());
    trashReason_->setVisible(trashReason.has_value() && trashReason != restoreReason);
    showSelectedProduct();
}

void QuarantineScreen::showSelectedProduct() {
    const auto* selected = list_->product(window().selectedPluginID());
    auto* layout = inspector_->replaceContent();
    if (!selected) {
        addEmptyState(*layout, QStringLiteral("Select a Plugin"),
                      QStringLiteral("Choose a quarantined product to restore it or move it to the Trash."));
        return;
    }
    const Plugin product = *selected;
    auto& store = session().store();
    addProductHeading(*layout, toQString(product.name), toQString(product.manufacturer));
    auto* status = new Pill(toQString(rawValue(product.status)));
    status->setTint(statusTint(product.status));
    layout->addWidget(status, 0, Qt::AlignLeft);

    const auto records = bundleRecords(product);
    const auto firstQuarantined =
        std::find_if(records.begin(), records.end(), [](const auto& record) { return record.isQuarantined(); });
    const auto operationID =
        product.quarantineOperationID
            ? *product.quarantineOperationID
            : (firstQuarantined != records.end() ? firstQuarantined->quarantineOperationID.value_or("") : "");
    addLabelledRow(*layout, QStringLiteral("Operation ID"), toQString(operationID));
    const bool present = std::all_of(records.begin(), records.end(), [&store](const auto& record) {
        return !record.isQuarantined() || store.fileSystem().exists(*record.quarantinePath);
    });
    addLabelledRow(
        *layout, QStringLiteral("Verified"),
        present ? QStringLiteral("In quarantine on disk") : QStringLiteral("A quarantined bundle is missing"));
    if (firstQuarantined != records.end()) {
        const auto folder = deletingLastPathComponent(firstQuarantined->originalPath.value_or(firstQuarantined->path));
        auto* reveal = makeButton(QStringLiteral("Reveal"), "magnifyingglass");
        connect(reveal, &QPushButton::clicked, this, [this, folder] { prompter().reveal(folder); });
        addLabelledRow(*layout, QStringLiteral("Original Folder"), toQString(folder), reveal);
    }

    const auto selections = quarantinedBundleSelections({product});
    if (!selections.empty()) {
        auto* restoreAll = makeButton(QStringLiteral("Restore All Formats"), "arrow.uturn.backward");
        restoreAll->setObjectName(QStringLiteral("RestoreAllFormats"));
        makeProminent(*restoreAll);
        const auto reason =
            firstReason(store.restoreBlockingReason(selections), session().service().restoreBlockingReason());
        restoreAll->setEnabled(!reason);
        connect(restoreAll, &QPushButton::clicked, this, [this, product, selections] {
            const auto request = confirmation(
                QStringLiteral("Restore Plugin?"),
                QStringLiteral("Every quarantined format of ") + toQString(product.name) +
                    QStringLiteral(" will return to its recorded original location. Existing files will never be "
                                   "overwritten."),
                QStringLiteral("Restore All Formats"));
            if (prompter().confirm(this, request)) {
                runRestore(session().store(), session().service(), selections);
            }
        });
        layout->addWidget(restoreAll, 0, Qt::AlignLeft);
        addReason(*layout, reason);
    }

    addSectionTitle(*layout, QStringLiteral("Format Bundles"));
    for (const auto& record : records) {
        addFormatCard(*layout, product, record);
    }
    layout->addStretch(1);
}

void QuarantineScreen::addFormatCard(QVBoxLayout& layout, const Plugin& product, const PluginBundleRecord& record) {
    auto& store = session().store();
    auto& service = session().service();
    const auto format = toQString(record.format);
    auto* card = new Card;
    card->setObjectName(QStringLiteral("FormatCard-") + format);
    auto* top = new QHBoxLayout;
    auto* title = new QLabel(format, card);
    makeSemibold(*title);
    top->addWidget(title);
    top->addStretch(1);
    auto* state = new Pill(record.isQuarantined() ? QStringLiteral("Quarantined") : QStringLiteral("Active"), card);
    state->setTint(record.isQuarantined() ? colors::warning() : colors::success());
    top->addWidget(state);
    card->body().addLayout(top);
    auto* where = new QLabel(originalLocation(record), card);
    where->setWordWrap(true);
    where->setTextInteractionFlags(Qt::TextSelectableByMouse);
    makeCaption(*where);
    card->body().addWidget(where);
    layout.addWidget(card);
    if (!record.isQuarantined()) {
        addNote(card->body(), QStringLiteral("Still installed; managed from the Inventory screen."));
        return;
    }
    const std::vector<PluginBundleSelection> selection{{product.id, record.id()}};
    auto* restore =
        makeButton(QStringLiteral("Restore ") + format + QStringLiteral(" Format…"), "arrow.uturn.backward");
    const auto restoreReason = firstReason(store.restoreBlockingReason(selection), service.restoreBlockingReason());
    restore->setEnabled(!restoreReason);
    connect(restore, &QPushButton::clicked, this, [this, selection, format] {
        const auto request =
            confirmation(QStringLiteral("Restore ") + format + QStringLiteral(" Format?"),
                         QStringLiteral("Only the selected ") + format + QStringLiteral(" bundle will return to ") +
                             QStringLiteral("its recorded original location. Existing files will "
                                            "never be overwritten."),
                         QStringLiteral("Restore ") + format);
        if (prompter().confirm(this, request)) {
            runRestore(session().store(), session().service(), selection);
        }
    });
    auto* trash = makeButton(QStringLiteral("Move ") + format + QStringLiteral(" to Trash"), "trash");
    const auto trashReason = firstReason(store.trashBlockingReason(selection), service.trashBlockingReason());
    trash->setEnabled(!trashReason);
    connect(trash, &QPushButton::clicked, this, [this, selection, record] {
        if (prompter().confirm(this, formatTrashRequest(record))) {
            runTrash(session().store(), session().service(), selection);
        }
    });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(restore);
    buttons->addWidget(trash);
    buttons->addStretch(1);
    card->body().addLayout(buttons);
    addReason(card->body(), restoreReason ? restoreReason : trashReason);
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
