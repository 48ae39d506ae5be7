#include "ui/screens/trash-recovery/TrashRecoveryScreen.h"

#include "helperclient/PluginManagementService.h"
#include "store/PluginInventoryStore.h"
#include "ui/app/AppSession.h"
#include "ui/app/Prompter.h"
#include "ui/app/QtText.h"
#include "ui/screens/trash-recovery/TrashRecoveryRow.h"
#include "ui/screens/trash-recovery/TrashRestoreTransaction.h"
#include "ui/widgets/MetricCard.h"
#include "ui/widgets/PageHeader.h"
#include "ui/widgets/PageScaffold.h"
#include "ui/widgets/ProminentButton.h"
#include "ui/widgets/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrova::ui {
namespace {

QLabel* makeLabel(const QString& text, void (*style)(QLabel&), QWidget* parent) {
    auto* label = new QLabel(text, parent);
    style(*label);
    label->setWordWrap(true);
    return label;
}

QString restoreMessage(std::size_t count) {
    return QStringLiteral(
               "Kestrova will return %1 format bundle%2 to the exact saved original path. Existing files "
               "will never be overwritten.")
        .arg(count)
        .arg(count == 1 ? "" : "s");
}

}  // namespace

TrashRecoveryScreen::TrashRecoveryScreen(ScreenContext context, QWidget* parent) : Screen(context, parent) {
    auto* layout = makePage(*this, PageScroll::vertical, 14);
    auto* page = layout->parentWidget();

    layout->addWidget(new PageHeader(
        QStringLiteral("Trash Recovery"),
        words(QStringLiteral("Restore Kestrova-tracked bundles from Finder Trash to their exact original paths.")),
        page));

    auto* cards = new QHBoxLayout;
    cards->setSpacing(12);
    readyCard_ = new MetricCard("arrow.uturn.backward.circle", QStringLiteral("Ready"),
                                QStringLiteral("Verified Trash bundles"), page);
    reconciledCard_ =
        new MetricCard("checkmark.circle", QStringLiteral("Reconciled"), QStringLiteral("Already returned"), page);
    reviewCard_ = new MetricCard("exclamationmark.triangle", QStringLiteral("Needs Review"),
                                 QStringLiteral("No automatic move"), page);
    readyCard_->setTint(colors::success());
    reviewCard_->setTint(colors::warning());
    for (auto* card : {readyCard_, reconciledCard_, reviewCard_}) {
        cards->addWidget(card, 1);
    }
    layout->addLayout(cards);

    auto* status = new QHBoxLayout;
    status->setSpacing(8);
    statusIcon_ = new QLabel(page);
    statusText_ = makeLabel({}, makeSemibold, page);
    statusText_->setObjectName(QStringLiteral("recoveryStatus"));
    status->addWidget(statusIcon_);
    status->addWidget(statusText_, 1);
    layout->addLayout(status);
    layout->addWidget(makeLabel(QStringLiteral("Kestrova restores only its own saved Trash records. Existing "
                                               "destinations, missing bundles, mismatched formats, and unsafe paths "
                                               "are blocked without moving anything."),
                                makeSecondary, page));

    selectionBar_ = new QFrame(page);
    selectionBar_->setObjectName(QStringLiteral("selectionBar"));
    selectionBar_->setStyleSheet(
        QStringLiteral("#selectionBar { background-color: rgba(245, 166, 35, 0.10);"
                       " border: 1px solid rgba(245, 166, 35, 0.45); border-radius: 8px; }"));
    auto* bar = new QHBoxLayout(selectionBar_);
    bar->setContentsMargins(14, 8, 14, 8);
    selectionCount_ = makeLabel({}, makeSemibold, selectionBar_);
    selectionReason_ = makeLabel({}, makeCaption, selectionBar_);
    auto* clear = new QPushButton(QStringLiteral("Clear Selection"), selectionBar_);
    restoreSelected_ =
        new QPushButton(symbolIcon("arrow.uturn.backward"), QStringLiteral("Restore Selected…"), selectionBar_);
    makeProminent(*restoreSelected_);
    connect(clear, &QPushButton::clicked, this, [this] {
        selected_.clear();
        refresh();
    });
    connect(restoreSelected_, &QPushButton::clicked, this,
            [this] { requestRestore(std::vector<Uuid>(selected_.begin(), selected_.end())); });
    bar->addWidget(selectionCount_);
    bar->addWidget(selectionReason_, 1);
    bar->addWidget(clear);
    bar->addWidget(restoreSelected_);
    layout->addWidget(selectionBar_);

    // The records sit in a list area that takes the rest of the page, as
    // the product lists do, with the empty text in its middle.
    auto* list = new QFrame(page);
    list->setObjectName(QStringLiteral("trashRecords"));
    list->setAutoFillBackground(true);
    list->setBackgroundRole(QPalette::Base);
    auto* listLayout = new QVBoxLayout(list);
    listLayout->setContentsMargins(10, 10, 10, 10);
    emptyText_ = makeLabel(words(QStringLiteral("Bundles moved to Finder Trash by Kestrova will appear here.")),
                           makeSecondary, list);
    emptyText_->setAlignment(Qt::AlignCenter);
    emptyText_->setMinimumHeight(120);
    listLayout->addWidget(emptyText_, 1);
    rowsLayout_ = new QVBoxLayout;
    rowsLayout_->setSpacing(10);
    listLayout->addLayout(rowsLayout_);
    listLayout->addStretch(1);
    layout->addWidget(list, 1);

    connect(&session().storeEvents(), &ObservedObject::changed, this, [this](Change change) {
        if (change == Change::trashedBundles || change == Change::plugins) {
            refresh_.schedule();
        }
    });
    connect(&session().serviceEvents(), &ObservedObject::changed, this, [this] { refresh_.schedule(); });
    refresh();
}

void TrashRecoveryScreen::becameVisible() {
    session().store().reconcileTrashRecords();
    selected_.clear();
    refresh();
}

void TrashRecoveryScreen::showEvent(QShowEvent* event) {
    Screen::showEvent(event);
    refresh_.refreshIfStale();
}

std::vector<TrashRecoveryRow*> TrashRecoveryScreen::rows() const {
    std::vector<TrashRecoveryRow*> rows;
    for (int i = 0; i < rowsLayout_->count(); ++i) {
        if (auto* row = qobject_cast<TrashRecoveryRow*>(rowsLayout_->itemAt(i)->widget())) {
            rows.push_back(row);
        }
    }
    return rows;
}

std::optional<std::string> TrashRecoveryScreen::blockingReason(const std::vector<Uuid>& recordIDs) const {
    if (auto reason = session().service().blockingReason(TransactionKind::trashRestore)) {
        return reason;
    }
    return session().store().trashRestoreBlockingReason(recordIDs);
}

std::vector<Uuid> TrashRecoveryScreen::transactionRecordIDs(const std::string& trashTransactionID) const {
    std::vector<Uuid> ids;
    for (const auto& record : session().store().trashedBundles()) {
        if (record.trashTransactionID == trashTransactionID) {
            ids.push_back(record.id);
        }
    }
    return ids;
}

void TrashRecoveryScreen::requestRestore(std::vector<Uuid> recordIDs) {
    if (recordIDs.empty()) {
        return;
    }
    if (const auto reason = blockingReason(recordIDs)) {
        prompter().alert(this, QStringLiteral("Restore Unavailable"), toQString(*reason));
        return;
    }
    ConfirmationRequest request;
    request.title = QStringLiteral("Restore from Finder Trash?");
    request.message = restoreMessage(recordIDs.size());
    request.confirmButton = QStringLiteral("Restore Bundles");
    if (!prompter().confirm(this, request)) {
        return;
    }
    // The store's notice reports the outcome; the rows follow its records.
    if (startTrashRestore(session().store(), session().service(), recordIDs)) {
        selected_.clear();
        refresh_.schedule();
    }
}

void TrashRecoveryScreen::setSelected(const Uuid& id, bool isSelected) {
    if (isSelected) {
        selected_.insert(id);
    } else {
        selected_.erase(id);
    }
    refreshSelectionBar();
}

void TrashRecoveryScreen::refresh() {
    refresh_.markFresh();
    const auto& service = session().service();
    const bool ready = service.canSendPrivilegedRequest();
    statusIcon_->setPixmap(symbolIcon(ready ? "checkmark.shield.fill" : "lock.shield").pixmap(18, 18));
    statusText_->setText(ready ? QStringLiteral("Secure recovery ready")
                               : QStringLiteral("Plugin Management required"));
    auto palette = statusText_->palette();
    palette.setColor(QPalette::WindowText, ready ? colors::success() : colors::warning());
    statusText_->setPalette(palette);
    refreshRows();
    refreshSelectionBar();
}

void TrashRecoveryScreen::refreshRows() {
    auto entries = session().store().trashRecoveryEntries();
    std::stable_sort(entries.begin(), entries.end(), [](const auto& left, const auto& right) {
        return left.record.operationDate > right.record.operationDate;
    });
    int ready = 0;
    int reconciled = 0;
    int review = 0;
    for (const auto& entry : entries) {
        ready += entry.state == TrashRecoveryState::readyToRestore ? 1 : 0;
        reconciled += entry.state == TrashRecoveryState::alreadyRestored ? 1 : 0;
    }
    review = static_cast<int>(entries.size()) - ready - reconciled;
    readyCard_->setValue(QString::number(ready));
    reconciledCard_->setValue(QString::number(reconciled));
    reviewCard_->setValue(QString::number(review));
    emptyText_->setVisible(entries.empty());

    // A selected record that is no longer ready leaves the selection.
    std::unordered_set<Uuid> stillReady;
    while (auto* item = rowsLayout_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (const auto& entry : entries) {
        const auto& record = entry.record;
        const auto id = record.id;
        if (entry.state == TrashRecoveryState::readyToRestore && selected_.contains(id)) {
            stillReady.insert(id);
        }
        const auto transaction =
            record.trashTransactionID ? transactionRecordIDs(*record.trashTransactionID) : std::vector<Uuid>{id};
        // Restores ask first, and a modal question lets the rows be rebuilt
        // under it; they start from the event loop, not from the row's button.
        TrashRecoveryRow::Actions actions{
            .restore = [this, id] { QTimer::singleShot(0, this, [this, id] { requestRestore({id}); }); },
            .restoreTransaction =
                [this, transaction] {
                    QTimer::singleShot(0, this, [this, transaction] { requestRestore(transaction); });
                },
            .reveal = [this, path = record.trashPath] { prompter().reveal(path); },
            .select = [this, id](bool on) { setSelected(id, on); },
        };
        const auto reason = entry.state == TrashRecoveryState::readyToRestore ? blockingReason({id}) : std::nullopt;
        rowsLayout_->addWidget(new TrashRecoveryRow(entry, selected_.contains(id), reason,
                                                    static_cast<int>(transaction.size()), session().layout().profile,
                                                    std::move(actions), this));
    }
    selected_ = std::move(stillReady);
}

void TrashRecoveryScreen::refreshSelectionBar() {
    selectionBar_->setVisible(!selected_.empty());
    if (selected_.empty()) {
        return;
    }
    selectionCount_->setText(QStringLiteral("%1 selected").arg(selected_.size()));
    const auto reason = blockingReason(std::vector<Uuid>(selected_.begin(), selected_.end()));
    selectionReason_->setText(reason ? words(toQString(*reason)) : QString());
    restoreSelected_->setEnabled(!reason);
}

}  // namespace kestrova::ui
