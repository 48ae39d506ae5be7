// The review half of Format Cleanup: the preview's figures, the "Reviewed
// Candidates" table with its ticks and the bar that quarantines the ticked
// batch. The ticks live in the run controller; the panel asks the screen to
// confirm a quarantine rather than starting one.
#pragma once

#include <QWidget>

#include <optional>
#include <string>

class QLabel;
class QPushButton;
class QTableView;

namespace kestrova {
class CleanupRunController;
class PluginManagementService;
}  // namespace kestrova

namespace kestrova::ui {

class CleanupCandidateModel;
class MetricCard;

class CleanupCandidatePanel final : public QWidget {
    Q_OBJECT
public:
    // `runs` must outlive the panel.
    explicit CleanupCandidatePanel(CleanupRunController& runs, QWidget* parent = nullptr);

    QTableView* table() const { return table_; }
    CleanupCandidateModel& model() const { return *model_; }
    // Redraws the figures and the bar; shown only with candidates to review.
    // `helperReason` says, in the profile's words, why the helper cannot move them.
    void showFor(const PluginManagementService& service, const std::optional<std::string>& helperReason);

signals:
    void quarantineRequested();

private:
    CleanupRunController& runs_;
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
};

}  // namespace kestrova::ui
