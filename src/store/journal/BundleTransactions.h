// The moves a front end starts over a selection: one transaction per side
// (system first), each started once the one before it has been committed,
// every one along runTransaction.
#pragma once

#include "model/PluginBundleSelection.h"
#include "platform/Uuid.h"
#include "protocol/TransactionKinds.h"
#include "store/journal/TransactionRoad.h"

#include <vector>

namespace kestrova {

class PluginInventoryStore;
class PluginManagementService;

// Quarantine, restore or Trash of the selected bundles. Returns false when
// the first transaction was refused before its journal was written (the
// store's warning says why); `done` then is never called. `done` runs once
// per transaction sent; a transaction that is not committed ends the chain.
bool runSelection(PluginInventoryStore& store, PluginManagementService& service, TransactionKind kind,
                  const std::vector<PluginBundleSelection>& selections, TransactionDone done = {});
// Selected by the ids of Finder Trash recovery records.
bool runTrashRestore(PluginInventoryStore& store, PluginManagementService& service, const std::vector<Uuid>& recordIDs,
                     TransactionDone done = {});

inline bool runQuarantine(PluginInventoryStore& store, PluginManagementService& service,
                          const std::vector<PluginBundleSelection>& selections, TransactionDone done = {}) {
    return runSelection(store, service, TransactionKind::quarantine, selections, std::move(done));
}
inline bool runRestore(PluginInventoryStore& store, PluginManagementService& service,
                       const std::vector<PluginBundleSelection>& selections, TransactionDone done = {}) {
    return runSelection(store, service, TransactionKind::restore, selections, std::move(done));
}
inline bool runTrash(PluginInventoryStore& store, PluginManagementService& service,
                     const std::vector<PluginBundleSelection>& selections, TransactionDone done = {}) {
    return runSelection(store, service, TransactionKind::trash, selections, std::move(done));
}

}  // namespace kestrova
