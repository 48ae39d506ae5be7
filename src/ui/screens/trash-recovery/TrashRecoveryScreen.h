// Trash Recovery: the store's Trash recovery records, newest first, with
// what each one allows, and the restore of one record, of the records that
// left in one transaction, or of a selection, back to their exact original
// paths. The screen keeps only which rows are selected.
#pragma once

#include "platform/Uuid.h"
#include "ui/screens/Screen.h"
#include "ui/widgets/DeferredRefresh.h"

#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace kestrova::ui {

class MetricCard;
class TrashRecoveryRow;

class TrashRecoveryScreen final : public Screen {
    Q_OBJECT
public:
    explicit TrashRecoveryScreen(ScreenContext context, QWidget* parent = nullptr);

    void becameVisible() override;

    std::vector<TrashRecoveryRow*> rows() const;
    const std::unordered_set<Uuid>& selectedRecordIDs() const { return selected_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The service's refusal for any Trash restore, else the store's for
    // these records.
    std::optional<std::string> blockingReason(const std::vector<Uuid>& recordIDs) const;
    std::vector<Uuid> transactionRecordIDs(const std::string& trashTransactionID) const;
    void requestRestore(std::vector<Uuid> recordIDs);
    void setSelected(const Uuid& id, bool isSelected);

    void refresh();
    void refreshRows();
    void refreshSelectionBar();

    std::unordered_set<Uuid> selected_;

    MetricCard* readyCard_ = nullptr;
    MetricCard* reconciledCard_ = nullptr;
    MetricCard* reviewCard_ = nullptr;
    QLabel* statusIcon_ = nullptr;
    QLabel* statusText_ = nullptr;
    QLabel* emptyText_ = nullptr;
    QWidget* selectionBar_ = nullptr;
    QLabel* selectionCount_ = nullptr;
    QLabel* selectionReason_ = nullptr;
    QPushButton* restoreSelected_ = nullptr;
    QVBoxLayout* rowsLayout_ = nullptr;
    DeferredRefresh refresh_{*this, [this] { refresh(); }};
};

}  // namespace kestrova::ui
