// The "Reviewed Candidates" table over the cleanup run controller's preview:
// one row per candidate, its tick read from and written to the controller's
// selection, so the table never keeps a copy of either.
#pragma once

#include <QAbstractTableModel>

namespace kestrova {
class CleanupRunController;
}

namespace kestrova::ui {

class CleanupCandidateModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { tick, product, manufacturer, format, size, note, location, columnCount_ };

    // `controller` must outlive the model.
    explicit CleanupCandidateModel(CleanupRunController& controller, QObject* parent = nullptr);

    // The controller replaced its preview: every row may differ.
    void planChanged();
    // The controller's ticks changed: only the tick column is redrawn.
    void selectionChanged();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    CleanupRunController& controller_;
};

}  // namespace kestrova::ui
