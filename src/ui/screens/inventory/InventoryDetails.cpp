#include "ui/screens/inventory/InventoryDetails.h"

#include "model/ProductStatus.h"
#include "planning/ActionableBundles.h"
#include "planning/ProductSummaries.h"
#include "store/journal/BundleTransactions.h"
#include "ui/app/AppSession.h"
#include "ui/app/Prompter.h"
#include "ui/screens/inventory/InventoryDuplicates.h"
#include "ui/widgets/DetailPanel.h"
#include "ui/widgets/Pill.h"
#include "ui/widgets/StatusDelegate.h"
#include "ui/widgets/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrova::ui {
namespace {

QString joined(const std::vector<std::string>& values) {
    QStringList list;
    for (const auto& value : values) {
        list << toQString(value);
    }
    return list.join(QStringLiteral(", "));
}

Pill* protectionPill(bool isProtected) {
    auto* pill = new Pill(isProtected ? QStringLiteral("Protected") : QStringLiteral("Not Protected"));
    pill->setTint(isProtected ? colors::accent() : colors::secondaryText());
    return pill;
}

}  // namespace

void InventoryDetails::show(const Plugin* product) {
    if (!product) {
        auto* layout = panel_.replaceContent();
        addEmptyState(*layout, QStringLiteral("Select a Plugin"),
                      QStringLiteral("Choose a row to inspect its metadata."));
        return;
    }
    showProduct(*product);
}

void InventoryDetails::showProduct(const Plugin& product) {
    auto& session = context_.session;
    auto& store = session.store();
    auto* layout = panel_.replaceContent();
    addProductHeading(*layout, toQString(product.name), toQString(product.manufacturer));
    auto* status = new Pill(toQString(rawValue(product.status)));
    status->setTint(statusTint(product.status));
    layout->addWidget(status, 0, Qt::AlignLeft);

    const bool hosted = product.status == PluginStatus::hostedByShell;
    addLabelledRow(*layout, QStringLiteral("Version"), toQString(product.version));
    addLabelledRow(*layout, QStringLiteral("Formats"), joined(product.formats));
    addLabelledRow(*layout, QStringLiteral("Architecture"), toQString(product.architecture));
    addLabelledRow(*layout, QStringLiteral("Size"), toQString(product.size));
    if (hosted) {
        addLabelledRow(*layout, QStringLiteral("Discovery Source"), toQString(product.path));
        addSectionTitle(*layout, QStringLiteral("WaveShell Hosting"));
        addNote(*layout, QStringLiteral("This registered Waves Audio Unit is hosted by a shared WaveShell. Kestrova "
                                        "lists it by product name but never treats it as an independently movable "
                                        "bundle."));
        layout->addStretch(1);
        return;
    }
    auto* copy = makeButton(QString(), "doc.on.doc");
    copy->setObjectName(QStringLiteral("CopyPath"));
    copy->setToolTip(QStringLiteral("Copy Path"));
    copy->setAccessibleName(QStringLiteral("Copy Path"));
    const auto path = toQString(product.path);
    QObject::connect(copy, &QPushButton::clicked, copy,
                     [prompter = &context_.prompter, path] { prompter->copyToClipboard(path); });
    addLabelledRow(*layout, QStringLiteral("Path"), path, copy);

    // Protection is where a product is locked before anything else happens.
    if (protectionCoverage(product) == ProtectionCoverage::none ||
        protectionCoverage(product) == ProtectionCoverage::partial) {
        auto* protect = makeButton(QStringLiteral("Protect All Formats"), "shield.checkered");
        QObject::connect(protect, &QPushButton::clicked, protect,
                         [&store, product] { store.setProtection(product, true); });
        protect->setEnabled(!store.isScanning());
        layout->addWidget(protect);
    }

    const auto selections = activeBundleSelections({product});
    if (!selections.empty()) {
        auto* quarantine = makeButton(QStringLiteral("Quarantine Plugin…"), "shippingbox");
        quarantine->setObjectName(QStringLiteral("QuarantinePlugin"));
        const auto reason = firstReason(store.blockingReason(TransactionKind::quarantine, selections),
                                        session.service().blockingReason(TransactionKind::quarantine));
        quarantine->setEnabled(!reason);
        QObject::connect(quarantine, &QPushButton::clicked, quarantine,
                         [this, product] { quarantineProduct(product); });
        layout->addWidget(quarantine);
        addReason(*layout, session.wordedReason(reason));
    }

    if (duplicates_) {
        duplicates_->addToInspector(*layout, product.id);
    }
    addSectionTitle(*layout, QStringLiteral("Format Bundles"));
    if (!product.bundles || product.bundles->empty()) {
        addNote(*layout, QStringLiteral("Run a new scan to create per-format path records for this plugin."));
    }
    for (const auto& record : quarantinedRecordsFirst(product)) {
        addFormatCard(*layout, product, record);
    }
    layout->addStretch(1);
}

void InventoryDetails::addFormatCard(QVBoxLayout& layout, const Plugin& product, const PluginBundleRecord& record) {
    auto& session = context_.session;
    auto& store = session.store();
    auto* card = new Card;
    card->setObjectName(QStringLiteral("FormatCard-") + toQString(record.format));
    auto* top = new QHBoxLayout;
    auto* title = new QLabel(toQString(record.format), card);
    makeSemibold(*title);
    top->addWidget(title);
    top->addStretch(1);
    const auto format = toQString(record.format);
    if (record.isQuarantined()) {
        // Nothing is left at the original path to reveal or protect: the card
        // says where the bundle went and who manages it now.
        auto* state = new Pill(QStringLiteral("Quarantined"), card);
        state->setTint(colors::warning());
        top->addWidget(state);
        card->body().addLayout(top);
        auto* where = new QLabel(toQString(record.originalPath.value_or(record.path)), card);
        where->setWordWrap(true);
        where->setTextInteractionFlags(Qt::TextSelectableByMouse);
        makeCaption(*where);
        card->body().addWidget(where);
        addNote(card->body(), QStringLiteral("Managed from the Quarantine screen"));
        layout.addWidget(card);
        return;
    }
    top->addWidget(protectionPill(record.isProtected));
    card->body().addLayout(top);
    auto* where = new QLabel(toQString(record.path), card);
    where->setWordWrap(true);
    where->setTextInteractionFlags(Qt::TextSelectableByMouse);
    makeCaption(*where);
    card->body().addWidget(where);
    // A suite's plug-ins, or the plug-ins that load a shared component.
    if (record.pluginNames && !record.pluginNames->empty()) {
        QString names;
        for (const auto& name : *record.pluginNames) {
            names += (names.isEmpty() ? QString() : QStringLiteral(", ")) + toQString(name);
        }
        auto* plugins = new QLabel(QStringLiteral("Plug-ins: ") + names, card);
        plugins->setObjectName(QStringLiteral("FormatCardPlugins"));
        plugins->setWordWrap(true);
        makeCaption(*plugins);
        card->body().addWidget(plugins);
    }

    // The reveal is a quiet link under the path and the two actions share one
    // row of compact buttons, so several formats fit without scrolling.
    auto* reveal = makeButton(context_.session.words(QStringLiteral("Reveal ") + format + QStringLiteral(" in Finder")),
                              "magnifyingglass");
    reveal->setFlat(true);
    QObject::connect(reveal, &QPushButton::clicked, reveal,
                     [prompter = &context_.prompter, path = record.path] { prompter->reveal(path); });
    card->body().addWidget(reveal, 0, Qt::AlignLeft);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    const std::vector<PluginBundleSelection> selection{{product.id, record.id()}};
    if (!record.isProtected && !isShellProduct(product)) {
        // A compact lock beside the quarantine button, named for screen readers.
        auto* protect = makeButton(QString(), "lock.shield");
        const auto protectText = QStringLiteral("Protect ") + format + QStringLiteral(" Format");
        protect->setObjectName(QStringLiteral("Protect-") + format);
        protect->setToolTip(protectText);
        protect->setAccessibleName(protectText);
        QObject::connect(protect, &QPushButton::clicked, protect,
                         [&store, selection] { store.setBundleProtection(selection.front(), true); });
        buttons->addWidget(protect);
    }
    auto* quarantine = makeButton(QStringLiteral("Quarantine ") + format + QStringLiteral(" Format…"), "shippingbox");
    const auto reason = firstReason(store.blockingReason(TransactionKind::quarantine, selection),
                                    session.service().blockingReason(TransactionKind::quarantine));
    quarantine->setEnabled(!reason);
    QObject::connect(quarantine, &QPushButton::clicked, quarantine,
                     [this, product, record] { quarantineFormat(product, record); });
    buttons->addWidget(quarantine);
    buttons->addStretch(1);
    card->body().addLayout(buttons);
    addReason(card->body(), session.wordedReason(reason));
    layout.addWidget(card);
}

void InventoryDetails::requestQuarantine(const Plugin& product) {
    auto& session = context_.session;
    const auto selections = activeBundleSelections({product});
    if (product.status == PluginStatus::hostedByShell || selections.empty() ||
        firstReason(session.store().blockingReason(TransactionKind::quarantine, selections),
                    session.service().blockingReason(TransactionKind::quarantine))) {
        return;
    }
    quarantineProduct(product);
}

void InventoryDetails::quarantineProduct(const Plugin& product) {
    const auto request = confirmation(
        QStringLiteral("Move Plugin to Quarantine?"),
        QStringLiteral("Kestrova will move every active detected format for ") + toQString(product.name) +
            QStringLiteral(" as one transaction. If any format fails, completed moves will be rolled back."),
        QStringLiteral("Move All Formats"));
    if (context_.prompter.confirm(&panel_, request)) {
        runQuarantine(context_.session.store(), context_.session.service(), activeBundleSelections({product}));
    }
}

void InventoryDetails::quarantineFormat(const Plugin& product, const PluginBundleRecord& record) {
    const auto format = toQString(record.format);
    const auto request =
        confirmation(QStringLiteral("Quarantine ") + format + QStringLiteral(" Format?"),
                     QStringLiteral("Only the selected ") + format + QStringLiteral(" bundle will move. ") +
                         QStringLiteral("Every other installed format for ") + toQString(product.name) +
                         QStringLiteral(" will remain in place."),
                     QStringLiteral("Move ") + format + QStringLiteral(" to Quarantine"));
    if (context_.prompter.confirm(&panel_, request)) {
        runQuarantine(context_.session.store(), context_.session.service(), {{product.id, record.id()}});
    }
}

}  // namespace kestrova::ui
