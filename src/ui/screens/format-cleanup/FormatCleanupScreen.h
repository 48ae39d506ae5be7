// Format Cleanup: choose a preset, review its preview candidate by
// candidate, quarantine the reviewed batch in chunks, and put a finished run
// back. Everything it shows and does goes through the session's one cleanup
// run controller, which keeps the preview, the ticks and the run's progress,
// so a run keeps going (and stays visible) across section changes.
#pragma once

#include "ui/screens/Screen.h"
#include "ui/widgets/DeferredRefresh.h"

#include <memory>
#include <set>
#include <string>

class QTableView;

// moc cannot parse the core's date headers, so the core stays out of here.
namespace kestrova {
class CleanupRunController;
enum class FormatCleanupPresetKind;
}  // namespace kestrova

namespace kestrova::ui {

class CleanupCandidatePanel;
class CleanupEmptyState;
class CleanupIssuesList;
class CleanupPresetPanel;
class CleanupProgressPanel;
class CollapsibleGroup;
class RecentCleanupRuns;

class FormatCleanupScreen final : public Screen {
    Q_OBJECT
public:
    explicit FormatCleanupScreen(ScreenContext context, QWidget* parent = nullptr);
    ~FormatCleanupScreen() override;

    void becameVisible() override;

    FormatCleanupPresetKind preset() const { return preset_; }
    const std::set<std::string>& customFormats() const { return customFormats_; }
    QTableView* candidateTable() const;
    CollapsibleGroup* issuesGroup() const;
    CollapsibleGroup* recentRunsGroup() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    CleanupRunController& controller() const;
    void choosePreset(FormatCleanupPresetKind preset);
    void setCustomFormat(const std::string& format, bool included);
    void confirmQuarantine();

    // Store, service and controller changes arrive in bursts (a chunk's
    // commit publishes a dozen fields); they are folded into one redraw on
    // the next turn of the event loop, and none while the screen is hidden.
    void refresh();

    FormatCleanupPresetKind preset_;
    std::set<std::string> customFormats_;

    CleanupPresetPanel* presets_ = nullptr;
    CleanupProgressPanel* progress_ = nullptr;
    CleanupEmptyState* emptyState_ = nullptr;
    CleanupCandidatePanel* candidates_ = nullptr;
    std::unique_ptr<CleanupIssuesList> issues_;
    std::unique_ptr<RecentCleanupRuns> recentRuns_;

    DeferredRefresh refresh_{*this, [this] { refresh(); }};
};

}  // namespace kestrova::ui
