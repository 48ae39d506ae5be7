// What the installed front ends plug into a session: the real disk, the
// layout and registry their options name, and the daemon the environment's
// registration mode describes, asked about pending journals at start-up.
#pragma once

#include "helperclient/TransactionLookup.h"
#include "platform/Result.h"
#include "platform/SystemLayout.h"
#include "session/Session.h"
#include "session/SessionOptions.h"

#include <chrono>
#include <functional>
#include <iosfwd>
#include <string>

namespace kestrova::session {

// How long start-up has waited on a transaction the daemon is still running.
using RecoveryProgress = std::function<void(const std::string& transactionID, std::chrono::milliseconds waited)>;

// Tells `out` about once a second that start-up waits for the daemon.
RecoveryProgress recoveryWaitReport(std::ostream& out);

struct TransactionLookups {
    TransactionLookup system;
    // Only the Linux profile has a user side. Its helper is reached only when
    // a user-side journal asks, so nothing else starts it.
    TransactionLookup user;
};
TransactionLookups helperTransactionLookups(const SystemLayout& layout, const RecoveryProgress& progress);

// The running front end's service (see makePluginManagementService); none
// when the helper's settings cannot be read.
ServiceFactory helperServiceFactory(const SystemLayout& layout);

// Everything but the service: the options' layout and registry over the
// real disk, and the daemon's lookups. Fails when the root, home or registry
// cannot be used.
Result<Session::Parts> installedSessionParts(const SessionOptions& options, const RecoveryProgress& progress);

}  // namespace kestrova::session
