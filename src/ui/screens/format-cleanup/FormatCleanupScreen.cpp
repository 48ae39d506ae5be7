#include "ui/screens/format-cleanup/FormatCleanupScreen.h"

#include "helperclient/PluginManagementService.h"
#include "store/runs/CleanupRunController.h"
#include "store/runs/CleanupRunTexts.h"
#include "ui/app/AppSession.h"
#include "ui/app/Prompter.h"
#include "ui/app/QtText.h"
#include "ui/models/CleanupCandidateModel.h"
#include "ui/screens/format-cleanup/CleanupCandidatePanel.h"
#include "ui/screens/format-cleanup/CleanupPresetPanel.h"
#include "ui/screens/format-cleanup/CleanupRunLists.h"
#include "ui/screens/format-cleanup/CleanupRunStatus.h"
#include "ui/widgets/CollapsibleGroup.h"
#include "ui/widgets/PageHeader.h"
#include "ui/widgets/PageScaffold.h"

#include <QVBoxLayout>

namespace kestrova::ui {

FormatCleanupScreen::FormatCleanupScreen(ScreenContext context, QWidget* parent)
    : Screen(context, parent),
      preset_(session().cleanupRuns().preset()),
      customFormats_(session().cleanupRuns().customFormats()) {
    auto* layout = makePage(*this, PageScroll::vertical, 12);
    auto* page = layout->parentWidget();

    layout->addWidget(new PageHeader(QStringLiteral("Format Cleanup"),
                                     QStringLiteral("Preview a format rule across the full inventory, make "
                                                    "exceptions, then quarantine one reviewed batch."),
                                     page));
    presets_ = new CleanupPresetPanel(static_cast<int>(preset_), customFormats_,
                                      session().layout().profile == PlatformProfile::gnuLinux, page);
    connect(presets_, &CleanupPresetPanel::presetChosen, this,
            [this](int preset) { choosePreset(static_cast<FormatCleanupPresetKind>(preset)); });
    connect(presets_, &CleanupPresetPanel::formatToggled, this,
            [this](const QString& format, bool on) { setCustomFormat(format.toStdString(), on); });
    connect(presets_, &CleanupPresetPanel::buildPreviewRequested, this,
            [this] { controller().buildPreview(preset_, customFormats_); });
    layout->addWidget(presets_);

    progress_ = new CleanupProgressPanel(page);
    layout->addWidget(progress_);
    // One of the two is shown, and it takes the height the page has left:
    // the candidate table grows with the window.
    emptyState_ = new CleanupEmptyState(page);
    layout->addWidget(emptyState_, 1);
    candidates_ = new CleanupCandidatePanel(controller(), page);
    connect(candidates_, &CleanupCandidatePanel::quarantineRequested, this, &FormatCleanupScreen::confirmQuarantine);
    layout->addWidget(candidates_, 1);

    issues_ = std::make_unique<CleanupIssuesList>(page);
    layout->addWidget(issues_->group());
    recentRuns_ = std::make_unique<RecentCleanupRuns>(page, [this](const Uuid& id) { controller().restoreRun(id); });
    layout->addWidget(recentRuns_->group());

    connect(&session().cleanupRunEvents(), &ObservedObject::changed, this, [this](Change change) {
        // The table follows the controller at once, so it never draws a
        // preview that is gone; everything else waits for the next turn.
        if (change == Change::plan) {
            candidates_->model().planChanged();
        } else if (change == Change::selected) {
            candidates_->model().selectionChanged();
        }
        refresh_.schedule();
    });
    connect(&session().storeEvents(), &ObservedObject::changed, this, [this](Change change) {
        if (change == Change::isScanning || change == Change::plugins || change == Change::formatCleanupRuns) {
            refresh_.schedule();
        }
    });
    connect(&session().serviceEvents(), &ObservedObject::changed, this, [this] { refresh_.schedule(); });
    refresh();
}

FormatCleanupScreen::~FormatCleanupScreen() = default;

CleanupRunController& FormatCleanupScreen::controller() const { return session().cleanupRuns(); }

QTableView* FormatCleanupScreen::candidateTable() const { return candidates_->table(); }

CollapsibleGroup* FormatCleanupScreen::issuesGroup() const { return issues_->group(); }

CollapsibleGroup* FormatCleanupScreen::recentRunsGroup() const { return recentRuns_->group(); }

void FormatCleanupScreen::becameVisible() { refresh_.schedule(); }

void FormatCleanupScreen::showEvent(QShowEvent* event) {
    Screen::showEvent(event);
    refresh_.refreshIfStale();
}

void FormatCleanupScreen::choosePreset(FormatCleanupPresetKind preset) {
    preset_ = preset;
    refresh();
}

void FormatCleanupScreen::setCustomFormat(const std::string& format, bool included) {
    if (included) {
        customFormats_.insert(format);
    } else {
        customFormats_.erase(format);
    }
    refresh();
}

void FormatCleanupScreen::confirmQuarantine() {
    auto& runs = controller();
    if (!runs.plan() || runs.isBusy()) {
        return;
    }
    const auto ticked = runs.tickedSelections();
    if (ticked.empty()) {
        return;
    }
    ConfirmationRequest request;
    request.title = QStringLiteral("Quarantine Reviewed Formats?");
    request.message = toQString(cleanupConfirmationMessage(*runs.plan(), ticked));
    request.confirmButton = QStringLiteral("Start Cleanup Preset");
    if (prompter().confirm(this, request)) {
        runs.start();
    }
}

void FormatCleanupScreen::refresh() {
    refresh_.markFresh();
    const auto& runs = controller();
    const bool busy = runs.isBusy();
    presets_->setControlsEnabled(!busy, preset_ == FormatCleanupPresetKind::custom && !busy,
                                 runs.canBuildPreview(preset_, customFormats_));
    progress_->showProgress(runs);
    emptyState_->showFor(runs);
    candidates_->showFor(session().service(),
                         session().wordedReason(session().service().blockingReason(TransactionKind::quarantine)));
    issues_->showFor(runs);
    recentRuns_->showFor(session().store(), session().service().blockingReason(TransactionKind::restore), busy);
}

}  // namespace kestrova::ui
