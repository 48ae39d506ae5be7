// The one road every privileged transaction takes, whichever front end or
// chain starts it: the side's helper must be free, the store prepares and
// journals the move, the service sends it, and the reply is handed back to
// the store to verify and commit while the store is still there. The store
// publishes the outcome as its notice.
#pragma once

#include "platform/SystemLayout.h"
#include "protocol/TransactionKinds.h"

#include <functional>
#include <memory>
#include <optional>

namespace kestrova {

class PluginInventoryStore;
class PluginManagementService;

// Runs on the main thread once the reply is committed (true) or refused
// (false), with the request that was sent.
using TransactionDone = std::function<void(const PrivilegedRequest& request, bool committed)>;

// Returns false, having sent nothing, when the side's helper cannot take the
// request (a warning titled as the kind's refusal says why) or `prepare`
// returned nothing (the store's warning says why); `done` is then never
// called. Without a side the caller has checked the helper itself. A reply
// that finds the store, or the given caller, gone is dropped: its journal
// stays for the next start to resolve.
bool runTransaction(PluginInventoryStore& store, PluginManagementService& service, TransactionKind kind,
                    std::optional<BundleSide> side, const std::function<std::optional<PrivilegedRequest>()>& prepare,
                    TransactionDone done = {}, std::optional<std::weak_ptr<const void>> callerAlive = std::nullopt);

}  // namespace kestrova
