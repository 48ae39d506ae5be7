// Start-up recovery of privileged transactions interrupted by a quit.
#include "store/PluginInventoryStore.h"

namespace kestrova {

// Until a journal can be resolved against the disk it stays in place, which
// keeps every scan and file action refused: the safe default.
// TODO: resolve the quarantine, restore, Trash and Trash-restore journals in
// that order once their commit steps exist.
void PluginInventoryStore::recoverPendingTransactions() {}

}  // namespace kestrova
