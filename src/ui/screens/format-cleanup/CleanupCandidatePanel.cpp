#include "ui/screens/format-cleanup/CleanupCandidatePanel.h"

#include "helperclient/PluginManagementService.h"
#include "platform/ByteCount.h"
#include "store/runs/CleanupRunController.h"
#include "ui/app/QtText.h"
#include "ui/models/CleanupCandidateModel.h"
#include "ui/widgets/KeyActions.h"
#include "ui/widgets/MetricCard.h"
#include "ui/widgets/ProminentButton.h"
#include "ui/widgets/Theme.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdint>

namespace kestrova::ui {
namespace {

// The moved weight of the ticked candidates, as the cards show it.
QString tickedSize(const FormatCleanupPlan& plan, const CleanupRunController& controller) {
    std::int64_t bytes = 0;
    for (const auto& candidate : plan.candidates) {
        if (controller.selected().contains(candidate.selection)) {
            bytes += std::max<std::int64_t>(candidate.sizeInBytes.value_or(0), 0);
        }
    }
    return bytes < 1 ? QStringLiteral("0 bytes") : toQString(formatFileByteCount(static_cast<std::uint64_t>(bytes)));
}

}  // namespace

CleanupCandidatePanel::CleanupCandidatePanel(CleanupRunController& runs, QWidget* parent)
    : QWidget(parent), runs_(runs) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);

    auto* cards = new QHBoxLayout;
    cards->setSpacing(12);
    eligibleCard_ = new MetricCard("checklist", QStringLiteral("Eligible Bundles"), {}, this);
    movedCard_ = new MetricCard("shippingbox", QStringLiteral("Quarantine—not space saved"),
                                QStringLiteral("Selected bundles move into reversible quarantine"), this);
    excludedCard_ =
        new MetricCard("shield.checkered", QStringLiteral("Excluded"), QStringLiteral("Protected or unsafe"), this);
    movedCard_->setTint(colors::accent());
    for (auto* card : {eligibleCard_, movedCard_, excludedCard_}) {
        cards->addWidget(card, 1);
    }
    layout->addLayout(cards);

    auto* heading = new QHBoxLayout;
    auto* title = wrappedLabel(QStringLiteral("Reviewed Candidates"), makeSemibold, this);
    title->setWordWrap(false);
    heading->addWidget(title);
    selectionSummary_ = wrappedLabel({}, makeSecondary, this);
    selectionSummary_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    heading->addWidget(selectionSummary_, 1);
    layout->addLayout(heading);

    model_ = new CleanupCandidateModel(runs_, this);
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("reviewedCandidates"));
    table_->setModel(model_);
    table_->setAlternatingRowColors(true);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setShowGrid(false);
    table_->setWordWrap(false);
    // Four rows at the least; the page gives it the rest of its height.
    table_->setMinimumHeight(4 * 26 + 30);
    (new KeyActions(*table_))->spaceTicks(CleanupCandidateModel::tick).onReturn([this](int) {
        if (quarantine_->isEnabled()) {
            emit quarantineRequested();
        }
    });
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(26);
    auto* header = table_->horizontalHeader();
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setSectionResizeMode(CleanupCandidateModel::tick, QHeaderView::Fixed);
    header->setSectionResizeMode(CleanupCandidateModel::location, QHeaderView::Stretch);
    table_->setColumnWidth(CleanupCandidateModel::tick, 34);
    table_->setColumnWidth(CleanupCandidateModel::product, 190);
    table_->setColumnWidth(CleanupCandidateModel::manufacturer, 150);
    table_->setColumnWidth(CleanupCandidateModel::format, 64);
    table_->setColumnWidth(CleanupCandidateModel::size, 84);
    table_->setColumnWidth(CleanupCandidateModel::note, 190);
    layout->addWidget(table_, 1);

    auto* bar = new QHBoxLayout;
    bar->setSpacing(8);
    safeDefaults_ = new QPushButton(QStringLiteral("Select Safe Defaults"), this);
    clear_ = new QPushButton(QStringLiteral("Clear"), this);
    helperReason_ = wrappedLabel({}, makeCaption, this);
    helperReason_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    quarantine_ = new QPushButton(symbolIcon("shippingbox"), QStringLiteral("Quarantine Selected…"), this);
    makeProminent(*quarantine_);
    connect(safeDefaults_, &QPushButton::clicked, this, [this] { runs_.selectSafeDefaults(); });
    connect(clear_, &QPushButton::clicked, this, [this] { runs_.clearSelection(); });
    connect(quarantine_, &QPushButton::clicked, this, &CleanupCandidatePanel::quarantineRequested);
    bar->addWidget(safeDefaults_);
    bar->addWidget(clear_);
    bar->addWidget(helperReason_, 1);
    bar->addWidget(quarantine_);
    layout->addLayout(bar);
}

void CleanupCandidatePanel::showFor(const PluginManagementService& service,
                                    const std::optional<std::string>& helperReason) {
    const auto& plan = runs_.plan();
    const bool hasCandidates = plan && !plan->candidates.empty();
    setVisible(hasCandidates);
    if (!hasCandidates) {
        return;
    }
    const auto ticked = runs_.tickedSelections().size();
    eligibleCard_->setValue(QString::number(plan->candidates.size()));
    eligibleCard_->setDetail(QStringLiteral("%1 selected for quarantine").arg(ticked));
    movedCard_->setValue(tickedSize(*plan, runs_));
    excludedCard_->setValue(QString::number(plan->exclusions.size()));
    selectionSummary_->setText(QStringLiteral("%1 of %2 selected · %3")
                                   .arg(ticked)
                                   .arg(plan->candidates.size())
                                   .arg(toQString(title(plan->preset))));

    const bool busy = runs_.isBusy();
    safeDefaults_->setEnabled(!busy);
    clear_->setEnabled(!busy && ticked > 0);
    quarantine_->setEnabled(!busy && ticked > 0 && service.canSendPrivilegedRequest());
    helperReason_->setText(helperReason ? toQString(*helperReason) : QString());
    helperReason_->setVisible(helperReason.has_value());
}

}  // namespace kestrova::ui
