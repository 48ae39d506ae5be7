// How a front end finds its helper: the application bundle it runs from,
// the registration backend (KESTROVA_HELPER_MODE), and the connection to the
// daemon that backend describes.
#pragma once

#include "helperclient/ApplicationBundle.h"
#include "helperclient/HelperConnection.h"
#include "helperclient/PluginManagementService.h"
#include "helperclient/TransactionLookup.h"
#include "platform/Executor.h"
#include "platform/Result.h"
#include "platform/ServiceRegistration.h"
#include "platform/SystemLayout.h"

#include <memory>

namespace kestrova {

// The bundle the running program lives in (see locateApplicationBundle).
ApplicationBundleInfo runningApplicationBundle();

// The registration settings for this front end and sandbox. The daemon is
// the bundle's (or KESTROVA_HELPER_EXECUTABLE); in session mode it accepts
// this program and the front ends installed beside it.
// The user side's helper (Linux) has a session folder of its own beside the
// sandbox's, "<session folder>-user", so its socket and ledger never meet the
// system side's.
Result<ServiceRegistrationConfiguration> helperRegistrationConfiguration(const SystemLayout& layout,
                                                                         const ApplicationBundleInfo& bundle,
                                                                         BundleSide side = BundleSide::system);

// How long the front end waits on the daemon. KESTROVA_HELPER_TIMEOUT_MS, for
// tests, sets the connect, handshake and transaction deadlines to that many
// milliseconds each, whatever the number of items.
Result<HelperDeadlines> helperDeadlinesFromEnvironment();

// The service for the running front end, created and refreshed. Under the
// Linux profile it carries the user side's service as well.
Result<std::shared_ptr<PluginManagementService>> makePluginManagementService(Executor& executor,
                                                                             const SystemLayout& layout);

// The lookup start-up recovery puts pending journals to, over the daemon
// this front end would use (KESTROVA_RECOVERY_WAIT_MS bounds the wait for a
// running transaction). A setting that cannot be read gives a lookup that
// answers "unanswered" with the reason, so the journal is kept.
TransactionLookup makeTransactionLookup(
    const SystemLayout& layout,
    std::function<void(const std::string& transactionID, std::chrono::milliseconds waited)> progress,
    BundleSide side = BundleSide::system);

}  // namespace kestrova
