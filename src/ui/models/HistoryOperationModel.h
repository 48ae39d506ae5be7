// The grouped operation history as a list model: one row per operation,
// newest first, with everything a row shows available as a role. The texts
// come from the history rules of the core and are worked out only for the
// rows a view asks for, so a long history stays cheap to show.
#pragma once

#include "model/HistoryOperation.h"
#include "platform/PlatformProfile.h"

#include <QAbstractListModel>
#include <QColor>

#include <vector>

namespace kestrova::ui {

// The colour a history kind's icon is drawn in.
QColor historyKindTint(HistoryKind kind);
// "3 bundles" for a product transaction of two or more bundles, else empty.
QString bundleCountLabel(const HistoryOperation& operation);

// No Q_OBJECT: it adds no signals, and moc cannot read the core headers.
class HistoryOperationModel final : public QAbstractListModel {
public:
    enum Role {
        productRole = Qt::DisplayRole,
        kindTitleRole = Qt::UserRole + 1,
        symbolRole,
        tintRole,
        formatsRole,  // QStringList
        bundleLabelRole,
        summaryRole,
        timeRole,
        resultRole,
    };

    // Texts are shown in the words of the profile's desktop.
    HistoryOperationModel(PlatformProfile profile, QObject* parent) : QAbstractListModel(parent), profile_(profile) {}

    void setOperations(std::vector<HistoryOperation> operations);
    const std::vector<HistoryOperation>& operations() const { return operations_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    QString words(std::string_view text) const;

    PlatformProfile profile_;
    std::vector<HistoryOperation> operations_;
};

}  // namespace kestrova::ui
