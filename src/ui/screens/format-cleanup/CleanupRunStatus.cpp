#include "ui/screens/format-cleanup/CleanupRunStatus.h"

#include "store/runs/CleanupRunController.h"
#include "ui/widgets/Theme.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace kestrova::ui {

CleanupProgressPanel::CleanupProgressPanel(QWidget* parent) : CardFrame(parent) {
    setObjectName(QStringLiteral("cleanupProgress"));
    auto* progress = new QVBoxLayout(this);
    progress->setContentsMargins(16, 12, 16, 14);
    label_ = wrappedLabel({}, makeSemibold, this);
    bar_ = new QProgressBar(this);
    bar_->setTextVisible(false);
    bar_->setFixedHeight(8);
    progress->addWidget(label_);
    progress->addWidget(bar_);
}

void CleanupProgressPanel::showProgress(const CleanupRunController& runs) {
    setVisible(runs.isBusy());
    if (runs.activeRunID()) {
        const auto done = runs.completedChunkCount();
        const auto total = done + static_cast<int>(runs.pendingChunks().size()) + 1;
        label_->setText(
            QStringLiteral("Quarantining reviewed bundles — transaction %1 of %2").arg(done + 1).arg(total));
        bar_->setRange(0, total);
        bar_->setValue(done);
    } else if (runs.restoringRunID()) {
        const auto queued = runs.restoreChunks().size();
        label_->setText(queued == 0 ? QStringLiteral("Restoring the run’s bundles from Quarantine…")
                                    : QStringLiteral("Restoring the run’s bundles from Quarantine — %1 more "
                                                     "transaction%2 queued")
                                          .arg(queued)
                                          .arg(queued == 1 ? "" : "s"));
        bar_->setRange(0, 0);
    }
}

CleanupEmptyState::CleanupEmptyState(QWidget* parent) : CardFrame(parent) {
    auto* empty = new QVBoxLayout(this);
    empty->setContentsMargins(24, 28, 24, 28);
    empty->setSpacing(6);
    auto* icon = new QLabel(this);
    icon->setPixmap(symbolIcon("slider.horizontal.3").pixmap(32, 32));
    icon->setAlignment(Qt::AlignCenter);
    title_ = wrappedLabel(
        {}, [](QLabel& label) { makeTitle(label, 1.2); }, this);
    message_ = wrappedLabel({}, makeSecondary, this);
    title_->setAlignment(Qt::AlignCenter);
    message_->setAlignment(Qt::AlignCenter);
    // Centred in whatever height the page gives it.
    empty->addStretch(1);
    empty->addWidget(icon);
    empty->addWidget(title_);
    empty->addWidget(message_);
    empty->addStretch(1);
}

void CleanupEmptyState::showFor(const CleanupRunController& runs) {
    const auto& plan = runs.plan();
    setVisible(!plan || plan->candidates.empty());
    if (!plan) {
        title_->setText(QStringLiteral("Build a Cleanup Preview"));
        message_->setText(QStringLiteral("Choose a preset, then review every proposed format before anything moves."));
    } else if (plan->candidates.empty()) {
        title_->setText(QStringLiteral("No Eligible Formats"));
        message_->setText(plan->exclusions.empty()
                              ? QStringLiteral("This preset does not target any active format bundles.")
                              : QStringLiteral("Every targeted bundle was safely excluded. Review the exclusions "
                                               "below."));
    }
}

}  // namespace kestrova::ui
