#include "protocol/TransactionKinds.h"

namespace kestrova {
namespace {

// In the order of TransactionKind.
constexpr std::array<TransactionDescriptor, 4> descriptors{
    TransactionDescriptor{
        TransactionKind::quarantine,
        HelperCall::quarantine,
        "quarantine",
        "pendingPrivilegedQuarantine",
        "movedDestinationPaths",
        "quarantine",
        MoveArea::pluginFolder,
        MoveArea::quarantineOperationFolder,
        false,
        TransactionTexts{
            "Privileged Quarantine Blocked",
            "The exact-format plan changed before the helper request was prepared.",
            "Kestrova could not save the pending transaction journal. No plugin files were moved.",
            "Quarantine Needs Attention",
            "The helper response does not match Kestrova’s pending transaction journal. Stop before retrying.",
            " Kestrova kept the pending transaction journal. Stop and verify the listed plugin locations before "
            "retrying.",
            "Quarantine Failed Safely",
            "The helper reported success, but Kestrova could not verify every final bundle location. Stop before "
            "retrying.",
            "The files moved successfully, but Kestrova could not finish its inventory journal. Do not rescan or "
            "retry; "
            "reopen the app to reconcile the pending transaction.",
            "Plugins Moved to Quarantine",
            " format bundles moved through the administrator-approved helper as one verified transaction.",
            "A completed privileged quarantine still needs inventory reconciliation. Do not retry the operation.",
            "A pending privileged quarantine has a mixed disk state. Stop and verify plugin locations before taking "
            "another file action.",
            "privileged quarantine",
        },
    },
    TransactionDescriptor{
        TransactionKind::restore,
        HelperCall::restore,
        "restore",
        "pendingPrivilegedRestore",
        "restoredDestinationPaths",
        "restore",
        MoveArea::quarantineOperationFolder,
        MoveArea::pluginFolder,
        true,
        TransactionTexts{
            "Privileged Restore Blocked",
            "The exact-format plan changed before the helper request was prepared.",
            "Kestrova could not save the pending restore journal. No plugin files were moved.",
            "Restore Needs Attention",
            "The helper response does not match Kestrova’s pending restore journal. Stop before retrying.",
            " Kestrova kept the pending restore journal. Stop and verify the listed plugin locations before retrying.",
            "Restore Failed Safely",
            "The helper reported success, but Kestrova could not verify every restored bundle location. Stop before "
            "retrying.",
            "The files returned successfully, but Kestrova could not finish its inventory journal. Do not rescan or "
            "retry; reopen the app to reconcile the pending transaction.",
            "Plugins Restored",
            " format bundles returned through the administrator-approved helper as one verified transaction.",
            "A completed privileged restore still needs inventory reconciliation. Do not retry the operation.",
            "A pending privileged restore has a mixed disk state. Stop and verify plugin locations before taking "
            "another "
            "file action.",
            "privileged restore",
        },
    },
    TransactionDescriptor{
        TransactionKind::trash,
        HelperCall::moveToTrash,
        "move to Trash",
        "pendingPrivilegedTrash",
        "trashedDestinationPaths",
        "trash",
        MoveArea::quarantineOperationFolder,
        MoveArea::trashFolder,
        true,
        TransactionTexts{
            "Privileged Trash Move Blocked",
            "The exact-format plan changed before the helper request was prepared.",
            "Kestrova could not save the pending Trash journal. No plugin files were moved.",
            "Trash Move Needs Attention",
            "The helper response does not match Kestrova’s pending Trash journal. Stop before retrying.",
            " Kestrova kept the pending Trash journal. Stop and verify the listed locations before retrying.",
            "Trash Move Failed Safely",
            "The helper reported success, but Kestrova could not verify every Finder Trash location. Stop before "
            "retrying.",
            "The files moved successfully, but Kestrova could not finish its recovery journal. Do not rescan or retry; "
            "reopen the app to reconcile the pending transaction.",
            "Plugins Moved to Finder Trash",
            " format bundles moved through the administrator-approved helper as one recoverable transaction.",
            "A completed privileged Trash move still needs inventory reconciliation. Do not retry the operation.",
            "A pending privileged Trash move has a mixed disk state. Stop and verify Finder Trash and Quarantine "
            "before "
            "taking another file action.",
            "privileged Trash move",
        },
    },
    TransactionDescriptor{
        TransactionKind::trashRestore,
        HelperCall::restoreFromTrash,
        "restore from Trash",
        "pendingPrivilegedTrashRestore",
        "restoredDestinationPaths",
        "trash-restore",
        MoveArea::trashFolder,
        MoveArea::pluginFolder,
        true,
        TransactionTexts{
            "Finder Trash Restore Blocked",
            "The recovery records changed before the helper request was prepared.",
            "Kestrova could not save the pending Trash recovery journal. No plugin files were moved.",
            "Trash Recovery Needs Attention",
            "The helper response does not match Kestrova’s pending Trash recovery journal. Stop before retrying.",
            " Kestrova kept the pending Trash recovery journal. Stop and verify the listed locations before retrying.",
            "Trash Recovery Failed Safely",
            "The helper reported success, but Kestrova could not verify every restored plugin location. Stop before "
            "retrying.",
            "The files returned successfully, but Kestrova could not finish its recovery journal. Do not rescan or "
            "retry; reopen the app to reconcile the pending transaction.",
            "Plugins Restored from Finder Trash",
            " format bundles returned to their exact recorded original locations. Run a read-only scan to refresh "
            "Inventory.",
            "A completed Finder Trash restore still needs recovery-journal reconciliation. Do not retry the operation.",
            "A pending Finder Trash restore has a mixed disk state. Stop and verify Finder Trash and the original "
            "plugin "
            "folders before taking another file action.",
            "Finder Trash restore",
        },
    },
};

}  // namespace

const TransactionDescriptor& describe(TransactionKind kind) { return descriptors[static_cast<std::size_t>(kind)]; }

PrivilegedResult madeUpFailure(TransactionKind kind, std::string transactionID, std::string message) {
    switch (kind) {
        case TransactionKind::quarantine:
            return madeUpFailureResult<PrivilegedQuarantineResult>(std::move(transactionID), std::move(message));
        case TransactionKind::restore:
            return madeUpFailureResult<PrivilegedRestoreResult>(std::move(transactionID), std::move(message));
        case TransactionKind::trash:
            return madeUpFailureResult<PrivilegedTrashResult>(std::move(transactionID), std::move(message));
        case TransactionKind::trashRestore:
            break;
    }
    return madeUpFailureResult<PrivilegedTrashRestoreResult>(std::move(transactionID), std::move(message));
}

}  // namespace kestrova
