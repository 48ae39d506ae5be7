// Operation History: the grouped history, newest first, under four summary
// figures, with the history CSV export. Rows are drawn by a delegate over a
// list model so thousands of operations scroll as easily as ten.
#pragma once

#include "ui/screens/Screen.h"

#include <optional>
#include <string>

class QListView;
class QPushButton;
class QStackedWidget;

namespace kestrova::ui {

class HistoryOperationModel;
class MetricCard;

class HistoryScreen final : public Screen {
    Q_OBJECT
public:
    explicit HistoryScreen(ScreenContext context, QWidget* parent = nullptr);

    HistoryOperationModel& model() const { return *model_; }
    QListView* list() const { return list_; }
    QPushButton* exportButton() const { return exportButton_; }
    bool showsEmptyState() const;
    // The last export's failure, kept until the next export.
    const std::optional<std::string>& exportError() const { return exportError_; }

private:
    void redraw();
    void exportHistory();

    HistoryOperationModel* model_;
    QListView* list_ = nullptr;
    QStackedWidget* body_ = nullptr;
    QWidget* emptyState_ = nullptr;
    QPushButton* exportButton_ = nullptr;
    MetricCard* operationsCard_ = nullptr;
    MetricCard* restoredCard_ = nullptr;
    MetricCard* quarantinedCard_ = nullptr;
    MetricCard* trashedCard_ = nullptr;
    std::optional<std::string> exportError_;
};

}  // namespace kestrova::ui
