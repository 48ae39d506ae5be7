#include "ui/models/CleanupCandidateModel.h"

#include "platform/ByteCount.h"
#include "store/runs/CleanupRunController.h"
#include "ui/app/QtText.h"
#include "ui/widgets/Theme.h"

#include <algorithm>

namespace kestrova::ui {
CleanupCandidateModel::CleanupCandidateModel(CleanupRunController& controller, QObject* parent)
    : QAbstractTableModel(parent), controller_(controller) {}

void CleanupCandidateModel::planChanged() {
    beginResetModel();
    endResetModel();
}

void CleanupCandidateModel::selectionChanged() {
    if (rowCount() > 0) {
        emit dataChanged(index(0, tick), index(rowCount() - 1, tick), {Qt::CheckStateRole});
    }
}

int CleanupCandidateModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !controller_.plan()) {
        return 0;
    }
    return static_cast<int>(controller_.plan()->candidates.size());
}

int CleanupCandidateModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columnCount_; }

QVariant CleanupCandidateModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const auto& candidate = controller_.plan()->candidates[static_cast<std::size_t>(index.row())];
    switch (role) {
        case Qt::CheckStateRole:
            if (index.column() == tick) {
                return controller_.selected().contains(candidate.selection) ? Qt::Checked : Qt::Unchecked;
            }
            return {};
        case Qt::DisplayRole:
            switch (index.column()) {
                case product:
                    return toQString(candidate.pluginName);
                case manufacturer:
                    return toQString(candidate.manufacturer);
                case format:
                    return toQString(candidate.format);
                case size:
                    return candidate.sizeInBytes ? toQString(formatFileByteCount(static_cast<std::uint64_t>(
                                                       std::max<std::int64_t>(*candidate.sizeInBytes, 0))))
                                                 : QStringLiteral("—");
                case note:
                    return candidate.removesLastActiveFormat ? QStringLiteral("No Active Format Remaining") : QString();
                case location:
                    return toQString(candidate.path);
                default:
                    return {};
            }
        case Qt::ToolTipRole:
            return index.column() == location ? toQString(candidate.path) : QVariant();
        case Qt::ForegroundRole:
            if (index.column() == note) {
                return colors::warning();
            }
            if (index.column() == manufacturer || index.column() == location) {
                return colors::secondaryText();
            }
            return {};
        case Qt::TextAlignmentRole:
            return index.column() == size ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
        default:
            return {};
    }
}

bool CleanupCandidateModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || index.column() != tick || index.row() >= rowCount()) {
        return false;
    }
    const auto& candidate = controller_.plan()->candidates[static_cast<std::size_t>(index.row())];
    // The controller publishes the change; selectionChanged redraws the ticks.
    controller_.setSelected(candidate.selection, value.value<Qt::CheckState>() == Qt::Checked);
    return true;
}

Qt::ItemFlags CleanupCandidateModel::flags(const QModelIndex& index) const {
    auto flags = QAbstractTableModel::flags(index);
    if (index.column() == tick && !controller_.isBusy()) {
        flags |= Qt::ItemIsUserCheckable;
    }
    return flags;
}

QVariant CleanupCandidateModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    switch (section) {
        case product:
            return QStringLiteral("Product");
        case manufacturer:
            return QStringLiteral("Manufacturer");
        case format:
            return QStringLiteral("Format");
        case size:
            return QStringLiteral("Size");
        case note:
            return QStringLiteral("Note");
        case location:
            return QStringLiteral("Location");
        default:
            return QString();
    }
}

}  // namespace kestrova::ui
