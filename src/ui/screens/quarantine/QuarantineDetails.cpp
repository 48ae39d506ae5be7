#include "ui/screens/quarantine/QuarantineDetails.h"

#include "model/ProductStatus.h"
#include "planning/ActionableBundles.h"
#include "planning/ProductSummaries.h"
#include "platform/Paths.h"
#include "store/journal/BundleTransactions.h"
#include "ui/app/AppSession.h"
#include "ui/app/QtText.h"
#include "ui/widgets/DetailPanel.h"
#include "ui/widgets/Pill.h"
#include "ui/widgets/StatusDelegate.h"
#include "ui/widgets/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrova::ui {
namespace {

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

void QuarantineDetails::show(const Plugin* selected) {
    auto* layout = panel_.replaceContent();
    if (!selected) {
        addEmptyState(*layout, QStringLiteral("Select a Plugin"),
                      QStringLiteral("Choose a quarantined product to restore it or move it to the Trash."));
        return;
    }
    const Plugin product = *selected;
    auto& store = context_.session.store();
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
        QObject::connect(reveal, &QPushButton::clicked, reveal, [this, folder] { context_.prompter.reveal(folder); });
        addLabelledRow(*layout, QStringLiteral("Original Folder"), toQString(folder), reveal);
    }

    const auto selections = quarantinedBundleSelections({product});
    if (!selections.empty()) {
        auto* restoreAll = makeButton(QStringLiteral("Restore All Formats"), "arrow.uturn.backward");
        restoreAll->setObjectName(QStringLiteral("RestoreAllFormats"));
        makeProminent(*restoreAll);
        const auto reason = firstReason(store.blockingReason(TransactionKind::restore, selections),
                                        context_.session.service().blockingReason(TransactionKind::restore));
        restoreAll->setEnabled(!reason);
        QObject::connect(restoreAll, &QPushButton::clicked, restoreAll, [this, product] { requestRestore(product); });
        layout->addWidget(restoreAll, 0, Qt::AlignLeft);
        addReason(*layout, context_.session.wordedReason(reason));
    }

    addSectionTitle(*layout, QStringLiteral("Format Bundles"));
    for (const auto& record : quarantinedRecordsFirst(product)) {
        addFormatCard(*layout, product, record);
    }
    layout->addStretch(1);
}

void QuarantineDetails::addFormatCard(QVBoxLayout& layout, const Plugin& product, const PluginBundleRecord& record) {
    auto& store = context_.session.store();
    auto& service = context_.session.service();
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
    const auto restoreReason = firstReason(store.blockingReason(TransactionKind::restore, selection),
                                           service.blockingReason(TransactionKind::restore));
    restore->setEnabled(!restoreReason);
    QObject::connect(restore, &QPushButton::clicked, restore, [this, selection, format] {
        const auto request =
            confirmation(QStringLiteral("Restore ") + format + QStringLiteral(" Format?"),
                         QStringLiteral("Only the selected ") + format + QStringLiteral(" bundle will return to ") +
                             QStringLiteral("its recorded original location. Existing files will "
                                            "never be overwritten."),
                         QStringLiteral("Restore ") + format);
        if (context_.prompter.confirm(&panel_, request)) {
            runRestore(context_.session.store(), context_.session.service(), selection);
        }
    });
    auto* trash = makeButton(QStringLiteral("Move ") + format + QStringLiteral(" to Trash"), "trash");
    const auto trashReason = firstReason(store.blockingReason(TransactionKind::trash, selection),
                                         service.blockingReason(TransactionKind::trash));
    trash->setEnabled(!trashReason);
    QObject::connect(trash, &QPushButton::clicked, trash, [this, selection, record] {
        if (context_.prompter.confirm(&panel_, formatTrashRequest(record))) {
            runTrash(context_.session.store(), context_.session.service(), selection);
        }
    });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(restore);
    buttons->addWidget(trash);
    buttons->addStretch(1);
    card->body().addLayout(buttons);
    addReason(card->body(), context_.session.wordedReason(restoreReason ? restoreReason : trashReason));
}

void QuarantineDetails::requestRestore(const Plugin& product) {
    const auto selections = quarantinedBundleSelections({product});
    if (selections.empty() || firstReason(context_.session.store().blockingReason(TransactionKind::restore, selections),
                                          context_.session.service().blockingReason(TransactionKind::restore))) {
        return;
    }
    const auto request =
        confirmation(QStringLiteral("Restore Plugin?"),
                     QStringLiteral("Every quarantined format of ") + toQString(product.name) +
                         QStringLiteral(" will return to its recorded original location. Existing files will never be "
                                        "overwritten."),
                     QStringLiteral("Restore All Formats"));
    if (context_.prompter.confirm(&panel_, request)) {
        runRestore(context_.session.store(), context_.session.service(), selections);
    }
}

}  // namespace kestrova::ui
