// What kestrova-cli says when the helper stands in the way: why it cannot
// take a request, and, when it stopped answering, what to do next. The
// service's own texts are the desktop's; the commands to run are added here.
#pragma once

#include "cli/CliContext.h"
#include "helperclient/PluginManagementService.h"

namespace kestrova::cli {

// Ends the command as refused because the service cannot send a `kind`
// request now: its blocking reason, what it last heard from the helper, and
// the command that gets it going.
void refuseForHelper(CliContext& context, const PluginManagementService& service, TransactionKind kind);

// After a helper call that timed out: the helper may be stuck or still at
// work, so it says how to look at it and not to move bundles by hand.
void printHelperNextStep(CliContext& context, const PluginManagementService& service);

}  // namespace kestrova::cli
