#include "ui/screens/format-cleanup/CleanupRunLists.h"

#include "platform/LocaleText.h"
#include "store/PluginInventoryStore.h"
#include "store/runs/CleanupRunController.h"
#include "store/runs/CleanupRunTexts.h"
#include "ui/app/QtText.h"
#include "ui/widgets/CollapsibleGroup.h"
#include "ui/widgets/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrova::ui {

CleanupIssuesList::CleanupIssuesList(QWidget* parent) : group_(new CollapsibleGroup(QString(), false, parent)) {
    group_->setObjectName(QStringLiteral("warningsAndExclusions"));
    list_ = new QListWidget(group_);
    list_->setWordWrap(true);
    list_->setFrameShape(QFrame::NoFrame);
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    list_->setFocusPolicy(Qt::NoFocus);
    list_->setMaximumHeight(220);
    group_->contentLayout()->addWidget(list_);
}

void CleanupIssuesList::showFor(const CleanupRunController& runs) {
    const auto& plan = runs.plan();
    const auto count = plan ? plan->warnings.size() + plan->exclusions.size() : 0;
    group_->setVisible(count > 0);
    if (count == 0) {
        shownPlanID_.clear();
        list_->clear();
        return;
    }
    // A preview's lists never change, so they are filled once per preview.
    const auto planID = toQString(plan->id.string());
    if (shownPlanID_ == planID) {
        return;
    }
    shownPlanID_ = planID;
    group_->setTitle(QStringLiteral("Warnings and Exclusions (%1)").arg(count));
    list_->clear();
    const auto warningIcon = symbolIcon("exclamationmark.triangle");
    const auto exclusionIcon = symbolIcon("minus.circle");
    for (const auto& warning : plan->warnings) {
        list_->addItem(new QListWidgetItem(warningIcon, toQString(warning.detail)));
    }
    for (const auto& exclusion : plan->exclusions) {
        list_->addItem(new QListWidgetItem(exclusionIcon, toQString(exclusion.detail)));
    }
}

RecentCleanupRuns::RecentCleanupRuns(QWidget* parent, std::function<void(const Uuid&)> restore)
    : group_(new CollapsibleGroup(QStringLiteral("Recent Preset Runs"), true, parent)), restore_(std::move(restore)) {
    group_->setObjectName(QStringLiteral("recentPresetRuns"));
}

void RecentCleanupRuns::showFor(const PluginInventoryStore& store, const std::optional<std::string>& blocked,
                                bool busy) {
    const auto runs = restorableCleanupRuns(store);
    group_->setVisible(!runs.empty());
    auto* rows = group_->contentLayout();
    while (auto* item = rows->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (const auto& run : runs) {
        auto* row = new QWidget(group_);
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 4, 0, 4);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(1);
        texts->addWidget(wrappedLabel(toQString(title(run.preset)), makeSemibold, row));
        QString detail = toQString(remainingInQuarantineText(run.bundlesInQuarantine));
        const auto record = std::find_if(store.formatCleanupRuns().begin(), store.formatCleanupRuns().end(),
                                         [&](const auto& candidate) { return candidate.id == run.runID; });
        if (record != store.formatCleanupRuns().end()) {
            detail += QStringLiteral(" · started %1").arg(toQString(shortDateTimeText(record->createdAt)));
        }
        texts->addWidget(wrappedLabel(detail, makeCaption, row));
        if (blocked) {
            texts->addWidget(wrappedLabel(toQString(*blocked), makeCaption, row));
        }
        line->addLayout(texts, 1);
        auto* restore =
            new QPushButton(symbolIcon("arrow.uturn.backward"), QStringLiteral("Restore Completed Run"), row);
        restore->setEnabled(!busy && !blocked);
        QObject::connect(restore, &QPushButton::clicked, group_, [this, id = run.runID] { restore_(id); });
        line->addWidget(restore, 0, Qt::AlignVCenter);
        rows->addWidget(row);
    }
}

}  // namespace kestrova::ui
