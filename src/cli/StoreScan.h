// scan without --dry-run: the inventory store's own scan over the folders
// authorized with "kestrova-cli authorize", merged into the saved state.
#pragma once

#include "cli/CliContext.h"

namespace kestrova::cli {

// Runs one scan to its end; Ctrl-C cancels it and keeps the previous
// inventory. Returns the process exit code.
void runStoreScan(CliContext& context);

}  // namespace kestrova::cli
