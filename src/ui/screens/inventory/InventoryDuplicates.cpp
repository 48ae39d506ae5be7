#include "ui/screens/inventory/InventoryDuplicates.h"

#include "store/journal/BundleTransactions.h"
#include "ui/app/AppSession.h"
#include "ui/app/Prompter.h"
#include "ui/widgets/DetailPanel.h"
#include "ui/widgets/Pill.h"
#include "ui/widgets/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrova::ui {
namespace {

QString dispositionTitle(DuplicateDisposition disposition) {
    switch (disposition) {
        case DuplicateDisposition::keep:
            return QStringLiteral("Keep");
        case DuplicateDisposition::retire:
            return QStringLiteral("Quarantine");
        case DuplicateDisposition::protectedCopy:
        case DuplicateDisposition::notMovable:
            return QStringLiteral("Left in Place");
    }
    return {};
}

QColor dispositionTint(DuplicateDisposition disposition) {
    switch (disposition) {
        case DuplicateDisposition::keep:
            return colors::accent();
        case DuplicateDisposition::retire:
            return colors::warning();
        case DuplicateDisposition::protectedCopy:
        case DuplicateDisposition::notMovable:
            break;
    }
    return colors::secondaryText();
}

QString countText(std::size_t count, const QString& one, const QString& many) {
    return QString::number(count) + QStringLiteral(" ") + (count == 1 ? one : many);
}

}  // namespace

InventoryDuplicates::InventoryDuplicates(ScreenContext context, QWidget& parent, std::function<void()> showDuplicates)
    : context_(context), parent_(parent) {
    badge_ = makeButton(QString(), "square.on.square", &parent);
    badge_->setObjectName(QStringLiteral("DuplicatesBadge"));
    badge_->setFlat(true);
    badge_->setToolTip(QStringLiteral("Show the plugins installed more than once"));
    badge_->hide();
    QObject::connect(badge_, &QPushButton::clicked, badge_, [show = std::move(showDuplicates)] { show(); });
}

void InventoryDuplicates::refresh() {
    auto& store = context_.session.store();
    groups_ = findDuplicateGroups(store.plugins(), store.layout(), store.fileSystem());
    const auto products = productsWithDuplicates(groups_).size();
    badge_->setText(countText(products, QStringLiteral("Duplicate"), QStringLiteral("Duplicates")));
    badge_->setVisible(products > 0);
}

void InventoryDuplicates::addToInspector(QVBoxLayout& layout, const Uuid& productID) {
    std::vector<const DuplicateGroup*> groups;
    for (const auto& group : groups_) {
        if (group.pluginID == productID) {
            groups.push_back(&group);
        }
    }
    if (groups.empty()) {
        return;
    }
    addSectionTitle(layout, QStringLiteral("Duplicates"));
    for (const auto* group : groups) {
        auto* card = new Card;
        card->setObjectName(QStringLiteral("DuplicateGroup-") + toQString(group->format));
        auto* title = new QLabel(toQString(group->format) + QStringLiteral(" — ") +
                                     (group->kind == DuplicateKind::versions
                                          ? QStringLiteral("different versions installed")
                                          : countText(group->members.size(), QString(), QStringLiteral("copies")) +
                                                QStringLiteral(" of one version")),
                                 card);
        makeSemibold(*title);
        card->body().addWidget(title);
        for (const auto& member : group->members) {
            auto* row = new QHBoxLayout;
            auto* pill = new Pill(dispositionTitle(member.disposition), card);
            pill->setTint(dispositionTint(member.disposition));
            row->addWidget(pill);
            auto* where = new QLabel(toQString(member.version) + QStringLiteral(" · ") + toQString(member.path), card);
            where->setObjectName(QStringLiteral("DuplicateCopy"));
            where->setWordWrap(true);
            where->setTextInteractionFlags(Qt::TextSelectableByMouse);
            makeCaption(*where);
            row->addWidget(where, 1);
            card->body().addLayout(row);
            if (!member.reason.empty()) {
                addNote(card->body(), toQString(member.reason));
            }
        }
        layout.addWidget(card);
    }

    auto& session = context_.session;
    const auto proposal = proposedRetirements(groups_);
    auto* retire = makeButton(QStringLiteral("Retire Duplicates…"), "shippingbox");
    retire->setObjectName(QStringLiteral("RetireDuplicates"));
    std::optional<std::string> reason;
    if (proposal.empty()) {
        reason = "Every other copy is protected or in a folder Kestrova does not move.";
    } else {
        reason = firstReason(session.store().blockingReason(TransactionKind::quarantine, proposal),
                             session.service().blockingReason(TransactionKind::quarantine));
    }
    retire->setEnabled(!reason);
    QObject::connect(retire, &QPushButton::clicked, retire, [this] { confirmRetirement(); });
    layout.addWidget(retire);
    addReason(layout, reason);
}

void InventoryDuplicates::confirmRetirement() {
    const auto proposal = proposedRetirements(groups_);
    if (proposal.empty()) {
        return;
    }
    const auto products = productsWithDuplicates(groups_).size();
    const auto request = confirmation(
        QStringLiteral("Retire Duplicate Plugins?"),
        QStringLiteral("Kestrova will keep the newest copy of ") +
            countText(products, QStringLiteral("plugin"), QStringLiteral("plugins")) + QStringLiteral(" and move ") +
            countText(proposal.size(), QStringLiteral("other copy"), QStringLiteral("other copies")) +
            QStringLiteral(" into reversible quarantine as one transaction. If any move fails, completed moves will be "
                           "rolled back."),
        QStringLiteral("Move ") + countText(proposal.size(), QStringLiteral("Copy"), QStringLiteral("Copies")) +
            QStringLiteral(" to Quarantine"));
    if (context_.prompter.confirm(&parent_, request)) {
        runQuarantine(context_.session.store(), context_.session.service(), proposal);
    }
}

}  // namespace kestrova::ui
