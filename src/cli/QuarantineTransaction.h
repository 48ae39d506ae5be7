// One quarantine through the helper, as `kestrova-cli quarantine` runs it,
// for commands that choose their bundles another way.
#pragma once

#include "cli/StoreSession.h"
#include "model/PluginBundleSelection.h"
#include "protocol/PrivilegedRecords.h"

#include <vector>

namespace kestrova::cli {

// The committed requests, one per side the selection spans; nothing after a
// refusal or failure, which is already reported with its exit code. Moved
// items are listed on stdout unless the command prints JSON.
std::vector<PrivilegedQuarantineRequest> quarantineTransaction(CliContext& context, StoreSession& session,
                                                               const std::vector<PluginBundleSelection>& selections);

}  // namespace kestrova::cli
