#include "ui/screens/format-cleanup/FormatCleanupScreen.h"

#include "helperclient/PluginManagementService.h"
#include "model/FormatCleanupRun.h"
#include "model/Plugin.h"
#include "platform/ByteCount.h"
#include "platform/LocaleText.h"
#include "store/CleanupRunController.h"
#include "store/CleanupRunTexts.h"
#include "store/PluginInventoryStore.h"
#include "ui/app/AppSession.h"
#include "ui/app/Prompter.h"
#include "ui/app/QtText.h"
#include "ui/models/CleanupCandidateModel.h"
#include "ui/widgets/CollapsibleGroup.h"
#include "ui/widgets/KestrovaStyle.h"
#include "ui/widgets/KeyActions.h"
#include "ui/widgets/MetricCard.h"
#include "ui/widgets/PageHeader.h"
#include "ui/widgets/PageScaffold.h"
#include "ui/widgets/ProminentButton.h"
#include "ui/widgets/Theme.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdint>

namespace kestrova::ui {
namespace {

QFrame* makePanel(QWidget* parent) { return new CardFrame(parent); }

QLabel* makeLabel(const QString& text, void (*style)(QLabel&), QWidget* parent) {
    auto* label = new QLabel(text, parent);
    style(*label);
    label->setWordWrap(true);
    return label;
}

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

FormatCleanupScreen::FormatCleanupScreen(ScreenContext context, QWidget* parent)
    : Screen(context, parent),
      preset_(session().cleanupRuns().preset()),
      customFormats_(session().cleanupRuns().customFormats()) {
    auto* layout = makePage(*this, PageScroll::vertical, 16);
    auto* page = layout->parentWidget();

    layout->addWidget(new PageHeader(QStringLiteral("Format Cleanup"),
                                     QStringLiteral("Preview a format rule across the full inventory, make "
                                                    "exceptions, then quarantine one reviewed batch."),
                                     page));
    layout->addWidget(buildPresetPanel());

    progressPanel_ = makePanel(page);
    progressPanel_->setObjectName(QStringLiteral("cleanupProgress"));
    {
        auto* progress = new QVBoxLayout(progressPanel_);
        progress->setContentsMargins(16, 12, 16, 14);
        progressLabel_ = makeLabel({}, makeSemibold, progressPanel_);
        progressBar_ = new QProgressBar(progressPanel_);
        progressBar_->setTextVisible(false);
        progressBar_->setFixedHeight(8);
        progress->addWidget(progressLabel_);
        progress->addWidget(progressBar_);
    }
    layout->addWidget(progressPanel_);

    emptyState_ = makePanel(page);
    {
        auto* empty = new QVBoxLayout(emptyState_);
        empty->setContentsMargins(24, 28, 24, 28);
        empty->setSpacing(6);
        auto* icon = new QLabel(emptyState_);
        icon->setPixmap(symbolIcon("slider.horizontal.3").pixmap(32, 32));
        icon->setAlignment(Qt::AlignCenter);
        emptyTitle_ = makeLabel(
            {}, [](QLabel& label) { makeTitle(label, 1.2); }, emptyState_);
        emptyMessage_ = makeLabel({}, makeSecondary, emptyState_);
        emptyTitle_->setAlignment(Qt::AlignCenter);
        emptyMessage_->setAlignment(Qt::AlignCenter);
        empty->addWidget(icon);
        empty->addWidget(emptyTitle_);
        empty->addWidget(emptyMessage_);
    }
    layout->addWidget(emptyState_);

    layout->addWidget(buildCandidatePanel());

    issues_ = new CollapsibleGroup(QString(), false, page);
    issues_->setObjectName(QStringLiteral("warningsAndExclusions"));
    issueList_ = new QListWidget(issues_);
    issueList_->setWordWrap(true);
    issueList_->setFrameShape(QFrame::NoFrame);
    issueList_->setSelectionMode(QAbstractItemView::NoSelection);
    issueList_->setFocusPolicy(Qt::NoFocus);
    issueList_->setMaximumHeight(220);
    issues_->contentLayout()->addWidget(issueList_);
    layout->addWidget(issues_);

    recentRuns_ = new CollapsibleGroup(QStringLiteral("Recent Preset Runs"), true, page);
    recentRuns_->setObjectName(QStringLiteral("recentPresetRuns"));
    layout->addWidget(recentRuns_);
    layout->addStretch(1);

    connect(&session().cleanupRunEvents(), &ObservedObject::changed, this, [this](Change change) {
        // The table follows the controller at once, so it never draws a
        // preview that is gone; everything else waits for the next turn.
        if (change == Change::plan) {
            model_->planChanged();
        } else if (change == Change::selected) {
            model_->selectionChanged();
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

CleanupRunController& FormatCleanupScreen::controller() const { return session().cleanupRuns(); }

QWidget* FormatCleanupScreen::buildPresetPanel() {
    auto* panel = makePanel(this);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(18, 14, 18, 16);
    layout->setSpacing(10);
    layout->addWidget(makeLabel(QStringLiteral("Cleanup Preset"), makeSemibold, panel));

    presetButtons_ = new QButtonGroup(panel);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(24);
    grid->setVerticalSpacing(10);
    int index = 0;
    for (const auto preset : allFormatCleanupPresets) {
        auto* row = new QHBoxLayout;
        row->setSpacing(8);
        auto* radio = new QRadioButton(panel);
        radio->setObjectName(toQString(rawValue(preset)));
        radio->setChecked(preset == preset_);
        presetButtons_->addButton(radio, static_cast<int>(preset));
        auto* texts = new QVBoxLayout;
        texts->setSpacing(1);
        auto* name = makeLabel(toQString(title(preset)), makeSemibold, panel);
        name->setBuddy(radio);
        texts->addWidget(name);
        texts->addWidget(makeLabel(toQString(presetDescription(preset)), makeCaption, panel));
        row->addWidget(radio, 0, Qt::AlignTop);
        row->addLayout(texts, 1);
        grid->addLayout(row, index / 3, index % 3);
        ++index;
    }
    for (int column = 0; column < 3; ++column) {
        grid->setColumnStretch(column, 1);
    }
    layout->addLayout(grid);
    connect(presetButtons_, &QButtonGroup::idClicked, this,
            [this](int id) { choosePreset(static_cast<FormatCleanupPresetKind>(id)); });

    auto* formats = new QHBoxLayout;
    formats->setSpacing(14);
    auto* formatsLabel = makeLabel(QStringLiteral("Formats to quarantine:"), makeSecondary, panel);
    formatsLabel->setWordWrap(false);
    formats->addWidget(formatsLabel);
    for (const auto name : formats::all) {
        // LV2 bundles exist only in the Linux folders.
        if (name == formats::lv2 && session().layout().profile != PlatformProfile::gnuLinux) {
            continue;
        }
        const std::string format(name);
        auto* box = new QCheckBox(toQString(format), panel);
        box->setChecked(customFormats_.contains(format));
        connect(box, &QCheckBox::toggled, this, [this, format](bool on) { setCustomFormat(format, on); });
        formatBoxes_.push_back(box);
        formats->addWidget(box);
    }
    formats->addStretch(1);
    layout->addLayout(formats);

    auto* actions = new QHBoxLayout;
    actions->setSpacing(14);
    buildPreview_ = new QPushButton(symbolIcon("eye"), QStringLiteral("Build Preview"), panel);
    makeProminent(*buildPreview_);
    connect(buildPreview_, &QPushButton::clicked, this, &FormatCleanupScreen::buildPreview);
    actions->addWidget(buildPreview_, 0, Qt::AlignTop);
    actions->addWidget(makeLabel(QStringLiteral("Cleanup presets quarantine only the exact reviewed bundles. They "
                                                "never run in the background, never move protected or shared-shell "
                                                "items, and never send a bundle directly to Trash."),
                                 makeCaption, panel),
                       1);
    layout->addLayout(actions);
    return panel;
}

QWidget* FormatCleanupScreen::buildCandidatePanel() {
    candidatePanel_ = new QWidget(this);
    auto* layout = new QVBoxLayout(candidatePanel_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);

    auto* cards = new QHBoxLayout;
    cards->setSpacing(12);
    eligibleCard_ = new MetricCard("checklist", QStringLiteral("Eligible Bundles"), {}, candidatePanel_);
    movedCard_ = new MetricCard("shippingbox", QStringLiteral("Quarantine—not space saved"),
                                QStringLiteral("Selected bundles move into reversible quarantine"), candidatePanel_);
    excludedCard_ = new MetricCard("shield.checkered", QStringLiteral("Excluded"),
                                   QStringLiteral("Protected or unsafe"), candidatePanel_);
    movedCard_->setTint(colors::accent());
    for (auto* card : {eligibleCard_, movedCard_, excludedCard_}) {
        cards->addWidget(card, 1);
    }
    layout->addLayout(cards);

    auto* heading = new QHBoxLayout;
    heading->addWidget(makeLabel(QStringLiteral("Reviewed Candidates"), makeSemibold, candidatePanel_));
    selectionSummary_ = makeLabel({}, makeSecondary, candidatePanel_);
    selectionSummary_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    heading->addWidget(selectionSummary_, 1);
    layout->addLayout(heading);

    model_ = new CleanupCandidateModel(controller(), this);
    table_ = new QTableView(candidatePanel_);
    table_->setObjectName(QStringLiteral("reviewedCandidates"));
    table_->setModel(model_);
    table_->setAlternatingRowColors(true);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setShowGrid(false);
    table_->setWordWrap(false);
    table_->setMinimumHeight(160);
    (new KeyActions(*table_))->spaceTicks(CleanupCandidateModel::tick).onReturn([this](int) {
        if (quarantine_->isEnabled()) {
            confirmQuarantine();
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
    safeDefaults_ = new QPushButton(QStringLiteral("Select Safe Defaults"), candidatePanel_);
    clear_ = new QPushButton(QStringLiteral("Clear"), candidatePanel_);
    helperReason_ = makeLabel({}, makeCaption, candidatePanel_);
    helperReason_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    quarantine_ = new QPushButton(symbolIcon("shippingbox"), QStringLiteral("Quarantine Selected…"), candidatePanel_);
    makeProminent(*quarantine_);
    connect(safeDefaults_, &QPushButton::clicked, this, [this] { controller().selectSafeDefaults(); });
    connect(clear_, &QPushButton::clicked, this, [this] { controller().clearSelection(); });
    connect(quarantine_, &QPushButton::clicked, this, &FormatCleanupScreen::confirmQuarantine);
    bar->addWidget(safeDefaults_);
    bar->addWidget(clear_);
    bar->addWidget(helperReason_, 1);
    bar->addWidget(quarantine_);
    layout->addLayout(bar);
    return candidatePanel_;
}

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

void FormatCleanupScreen::buildPreview() { controller().buildPreview(preset_, customFormats_); }

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
    for (auto* button : presetButtons_->buttons()) {
        button->setEnabled(!busy);
    }
    const bool custom = preset_ == FormatCleanupPresetKind::custom;
    for (auto* box : formatBoxes_) {
        box->setEnabled(custom && !busy);
    }
    buildPreview_->setEnabled(runs.canBuildPreview(preset_, customFormats_));
    refreshProgress();
    refreshPreview();
    refreshIssues();
    refreshRecentRuns();
}

void FormatCleanupScreen::refreshProgress() {
    const auto& runs = controller();
    progressPanel_->setVisible(runs.isBusy());
    if (runs.activeRunID()) {
        const auto done = runs.completedChunkCount();
        const auto total = done + static_cast<int>(runs.pendingChunks().size()) + 1;
        progressLabel_->setText(
            QStringLiteral("Quarantining reviewed bundles — transaction %1 of %2").arg(done + 1).arg(total));
        progressBar_->setRange(0, total);
        progressBar_->setValue(done);
    } else if (runs.restoringRunID()) {
        const auto queued = runs.restoreChunks().size();
        progressLabel_->setText(queued == 0 ? QStringLiteral("Restoring the run’s bundles from Quarantine…")
                                            : QStringLiteral("Restoring the run’s bundles from Quarantine — %1 more "
                                                             "transaction%2 queued")
                                                  .arg(queued)
                                                  .arg(queued == 1 ? "" : "s"));
        progressBar_->setRange(0, 0);
    }
}

void FormatCleanupScreen::refreshPreview() {
    const auto& runs = controller();
    const auto& plan = runs.plan();
    const bool hasCandidates = plan && !plan->candidates.empty();
    emptyState_->setVisible(!hasCandidates);
    candidatePanel_->setVisible(hasCandidates);
    if (!plan) {
        emptyTitle_->setText(QStringLiteral("Build a Cleanup Preview"));
        emptyMessage_->setText(
            QStringLiteral("Choose a preset, then review every proposed format before anything moves."));
        return;
    }
    if (!hasCandidates) {
        emptyTitle_->setText(QStringLiteral("No Eligible Formats"));
        emptyMessage_->setText(plan->exclusions.empty()
                                   ? QStringLiteral("This preset does not target any active format bundles.")
                                   : QStringLiteral("Every targeted bundle was safely excluded. Review the exclusions "
                                                    "below."));
        return;
    }
    const auto ticked = runs.tickedSelections().size();
    eligibleCard_->setValue(QString::number(plan->candidates.size()));
    eligibleCard_->setDetail(QStringLiteral("%1 selected for quarantine").arg(ticked));
    movedCard_->setValue(tickedSize(*plan, runs));
    excludedCard_->setValue(QString::number(plan->exclusions.size()));
    selectionSummary_->setText(QStringLiteral("%1 of %2 selected · %3")
                                   .arg(ticked)
                                   .arg(plan->candidates.size())
                                   .arg(toQString(title(plan->preset))));

    const bool busy = runs.isBusy();
    const auto& service = session().service();
    const auto reason = service.quarantineBlockingReason();
    safeDefaults_->setEnabled(!busy);
    clear_->setEnabled(!busy && ticked > 0);
    quarantine_->setEnabled(!busy && ticked > 0 && service.canSendPrivilegedRequest());
    helperReason_->setText(reason ? words(toQString(*reason)) : QString());
    helperReason_->setVisible(reason.has_value());
}

void FormatCleanupScreen::refreshIssues() {
    const auto& plan = controller().plan();
    const auto count = plan ? plan->warnings.size() + plan->exclusions.size() : 0;
    issues_->setVisible(count > 0);
    if (count == 0) {
        shownIssuesPlanID_.clear();
        issueList_->clear();
        return;
    }
    // A preview's lists never change, so they are filled once per preview.
    const auto planID = toQString(plan->id.string());
    if (shownIssuesPlanID_ == planID) {
        return;
    }
    shownIssuesPlanID_ = planID;
    issues_->setTitle(QStringLiteral("Warnings and Exclusions (%1)").arg(count));
    issueList_->clear();
    const auto warningIcon = symbolIcon("exclamationmark.triangle");
    const auto exclusionIcon = symbolIcon("minus.circle");
    for (const auto& warning : plan->warnings) {
        issueList_->addItem(new QListWidgetItem(warningIcon, toQString(warning.detail)));
    }
    for (const auto& exclusion : plan->exclusions) {
        issueList_->addItem(new QListWidgetItem(exclusionIcon, toQString(exclusion.detail)));
    }
}

void FormatCleanupScreen::refreshRecentRuns() {
    const auto& store = session().store();
    const auto runs = restorableCleanupRuns(store);
    recentRuns_->setVisible(!runs.empty());
    auto* rows = recentRuns_->contentLayout();
    while (auto* item = rows->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const auto blocked = session().service().restoreBlockingReason();
    const bool busy = controller().isBusy();
    for (const auto& run : runs) {
        auto* row = new QWidget(recentRuns_);
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 4, 0, 4);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(1);
        texts->addWidget(makeLabel(toQString(title(run.preset)), makeSemibold, row));
        QString detail = toQString(remainingInQuarantineText(run.bundlesInQuarantine));
        const auto record = std::find_if(store.formatCleanupRuns().begin(), store.formatCleanupRuns().end(),
                                         [&](const auto& candidate) { return candidate.id == run.runID; });
        if (record != store.formatCleanupRuns().end()) {
            detail += QStringLiteral(" · started %1").arg(toQString(shortDateTimeText(record->createdAt)));
        }
        texts->addWidget(makeLabel(detail, makeCaption, row));
        if (blocked) {
            texts->addWidget(makeLabel(toQString(*blocked), makeCaption, row));
        }
        line->addLayout(texts, 1);
        auto* restore =
            new QPushButton(symbolIcon("arrow.uturn.backward"), QStringLiteral("Restore Completed Run"), row);
        restore->setEnabled(!busy && !blocked);
        connect(restore, &QPushButton::clicked, this, [this, id = run.runID] { controller().restoreRun(id); });
        line->addWidget(restore, 0, Qt::AlignVCenter);
        rows->addWidget(row);
    }
}

}  // namespace kestrova::ui
