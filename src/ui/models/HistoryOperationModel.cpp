#include "ui/models/HistoryOperationModel.h"

#include "platform/PlatformWording.h"
#include "ui/app/QtText.h"

#include "ui/widgets/Theme.h"

namespace kestrova::ui {
QColor historyKindTint(HistoryKind kind) {
    switch (kind) {
        case HistoryKind::quarantine:
            return colors::accent();
        case HistoryKind::restore:
        case HistoryKind::trashRestore:
        case HistoryKind::externalRestore:
        case HistoryKind::cleanupPresetCompleted:
            return colors::success();
        case HistoryKind::trash:
        case HistoryKind::missingTrashItem:
            return colors::danger();
        case HistoryKind::protection:
        case HistoryKind::protectionRemoved:
        case HistoryKind::formatProtection:
        case HistoryKind::formatProtectionRemoved:
            return {0x6C, 0xB4, 0xFF};
        case HistoryKind::cleanupPresetStarted:
        case HistoryKind::cleanupPresetPartiallyCompleted:
            return colors::warning();
        case HistoryKind::scan:
        case HistoryKind::reconciliation:
            return {0x8F, 0xA8, 0xFF};
        case HistoryKind::scanCanceled:
        case HistoryKind::canceled:
        case HistoryKind::cleanupPresetCanceled:
            break;
    }
    return colors::secondaryText();
}

QString bundleCountLabel(const HistoryOperation& operation) {
    if (!isProductTransaction(operation.kind) || operation.items.size() < 2) {
        return {};
    }
    return QStringLiteral("%1 bundles").arg(operation.items.size());
}

QString HistoryOperationModel::words(std::string_view text) const { return toQString(platformWording(text, profile_)); }

void HistoryOperationModel::setOperations(std::vector<HistoryOperation> operations) {
    beginResetModel();
    operations_ = std::move(operations);
    endResetModel();
}

int HistoryOperationModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(operations_.size());
}

QVariant HistoryOperationModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const auto& operation = operations_[static_cast<std::size_t>(index.row())];
    switch (role) {
        case productRole:
            return toQString(operation.plugin);
        case kindTitleRole:
        case Qt::ToolTipRole:
            return words(title(operation.kind));
        case symbolRole:
            return toQString(iconName(operation.kind));
        case tintRole:
            return historyKindTint(operation.kind);
        case formatsRole: {
            QStringList formats;
            for (const auto& format : operationFormats(operation)) {
                formats << toQString(format);
            }
            return formats;
        }
        case bundleLabelRole:
            return bundleCountLabel(operation);
        case summaryRole:
            return words(operationSummary(operation));
        case timeRole:
            return toQString(operation.time);
        case resultRole:
            return toQString(operationResult(operation.kind));
        case Qt::AccessibleTextRole:
            return QStringLiteral("%1, %2, %3")
                .arg(toQString(operation.plugin), words(title(operation.kind)), toQString(operation.time));
        default:
            return {};
    }
}

}  // namespace kestrova::ui
