// One privileged transaction from start to end, as every front end runs it:
// the store plans and journals the move, the service sends it to the helper,
// and the reply is handed back to the store to verify and commit. The store
// publishes the outcome as its notice.
#pragma once

#include "model/PluginBundleSelection.h"
#include "platform/Uuid.h"
#include "protocol/PrivilegedRecords.h"

#include <functional>
#include <vector>

namespace kestrova {

class PluginInventoryStore;
class PluginManagementService;

// Runs on the main thread once the reply is committed (true) or refused
// (false), with the request that was sent.
template <typename Request>
using TransactionDone = std::function<void(const Request& request, bool committed)>;

// Each returns false when the store refused to prepare the move (its warning
// says why and nothing was sent); `done` is then never called. The store must
// outlive the service's reply.
bool runQuarantine(PluginInventoryStore& store, PluginManagementService& service,
                   const std::vector<PluginBundleSelection>& selections,
                   TransactionDone<PrivilegedQuarantineRequest> done = {});
bool runRestore(PluginInventoryStore& store, PluginManagementService& service,
                const std::vector<PluginBundleSelection>& selections,
                TransactionDone<PrivilegedRestoreRequest> done = {});
bool runTrash(PluginInventoryStore& store, PluginManagementService& service,
              const std::vector<PluginBundleSelection>& selections, TransactionDone<PrivilegedTrashRequest> done = {});
// Selected by the ids of Finder Trash recovery records.
bool runTrashRestore(PluginInventoryStore& store, PluginManagementService& service, const std::vector<Uuid>& recordIDs,
                     TransactionDone<PrivilegedTrashRestoreRequest> done = {});

}  // namespace kestrova
