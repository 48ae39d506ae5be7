// Start-up recovery of privileged transactions interrupted by a quit or a
// crash. Only the disk decides: a journal whose bundles all reached their
// destinations is committed as the completion would have, one whose bundles
// never left is discarded, and anything in between stays (blocking every
// scan and file action) until a person has looked.
#include "store/journal/StoreTransactionSteps.h"

namespace kestrova {

void PluginInventoryStore::recoverPendingTransactions() {
    recoverPendingJournal<PrivilegedQuarantineRequest>();
    recoverPendingJournal<PrivilegedRestoreRequest>();
    recoverPendingJournal<PrivilegedTrashRequest>();
    recoverPendingJournal<PrivilegedTrashRestoreRequest>();
}

}  // namespace kestrova
