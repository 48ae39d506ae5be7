// The store refuses every file action while its state file could not be
// loaded or a privileged journal still needs reconciliation, whatever the
// action names. Commands ask it first, so that its refusal, in its own words,
// comes before anything a command checks itself (targets, folders, helper).
#pragma once

#include "helperclient/PluginManagementService.h"
#include "store/PluginInventoryStore.h"

namespace kestrova::cli {

// True when the store is refusing every file action right now.
bool fileActionsGated(const PluginInventoryStore& store);

// When gated, has the store refuse a `kind` transaction (its warning notice
// is left to print) and returns true; otherwise does nothing.
bool storeRefusesTransaction(PluginInventoryStore& store, TransactionKind kind);

}  // namespace kestrova::cli
