// Format Cleanup: choose a preset, review its preview candidate by
// candidate, quarantine the reviewed batch in chunks, and put a finished run
// back. Everything it shows and does goes through the session's one cleanup
// run controller, which keeps the preview, the ticks and the run's progress,
// so a run keeps going (and stays visible) across section changes.
#pragma once

#include "ui/screens/Screen.h"
#include "ui/widgets/DeferredRefresh.h"

#include <set>
#include <string>
#include <vector>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTableView;
class QVBoxLayout;

// moc cannot parse the core's date headers, so the core stays out of here.
namespace kestrova {
class CleanupRunController;
enum class FormatCleanupPresetKind;
}  // namespace kestrova

namespace kestrova::ui {

class CleanupCandidateModel;
class CollapsibleGroup;
class MetricCard;

class FormatCleanupScreen final : public Screen {
    Q_OBJECT
public:
    explicit FormatCleanupScreen(ScreenContext context, QWidget* parent = nullptr);

    void becameVisible() override;

    FormatCleanupPresetKind preset() const { return preset_; }
    const std::set<std::string>& customFormats() const { return customFormats_; }
    QTableView* candidateTable() const { return table_; }
    CollapsibleGroup* issuesGroup() const { return issues_; }
    CollapsibleGroup* recentRunsGroup() const { return recentRuns_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    CleanupRunController& controller() const;
    QWidget* buildPresetPanel();
    QWidget* buildCandidatePanel();
    void choosePreset(FormatCleanupPresetKind preset);
    void setCustomFormat(const std::string& format, bool included);
    void buildPreview();
    void confirmQuarantine();

    // Store, service and controller changes arrive in bursts (a chunk's
    // commit publishes a dozen fields); they are folded into one redraw on
    // the next turn of the event loop, and none while the screen is hidden.
    void refresh();
    void refreshPreview();
    void refreshIssues();
    void refreshProgress();
    void refreshRecentRuns();

    FormatCleanupPresetKind preset_;
    std::set<std::string> customFormats_;

    QButtonGroup* presetButtons_ = nullptr;
    std::vector<QCheckBox*> formatBoxes_;
    QPushButton* buildPreview_ = nullptr;
    QWidget* progressPanel_ = nullptr;
    QLabel* progressLabel_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QWidget* emptyState_ = nullptr;
    QLabel* emptyTitle_ = nullptr;
    QLabel* emptyMessage_ = nullptr;
    QWidget* candidatePanel_ = nullptr;
    MetricCard* eligibleCard_ = nullptr;
    MetricCard* movedCard_ = nullptr;
    MetricCard* excludedCard_ = nullptr;
    QTableView* table_ = nullptr;
    CleanupCandidateModel* model_ = nullptr;
    QLabel* selectionSummary_ = nullptr;
    QLabel* helperReason_ = nullptr;
    QPushButton* safeDefaults_ = nullptr;
    QPushButton* clear_ = nullptr;
    QPushButton* quarantine_ = nullptr;
    CollapsibleGroup* issues_ = nullptr;
    QListWidget* issueList_ = nullptr;
    CollapsibleGroup* recentRuns_ = nullptr;

    QString shownIssuesPlanID_;  // the preview whose lists are shown
    DeferredRefresh refresh_{*this, [this] { refresh(); }};
};

}  // namespace kestrova::ui
