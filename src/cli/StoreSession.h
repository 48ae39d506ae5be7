// What every inventory command of kestrova-cli opens: the layout the options
// name, the main-thread run loop, the authorized folders and the inventory
// store over the state under the home. Commands print the store's notice
// the same way: success to stdout, warnings to stderr with a failing exit.
#pragma once

#include "access/FolderBookmarks.h"
#include "access/PluginFolderAccess.h"
#include "cli/CliContext.h"
#include "platform/AudioUnitRegistry.h"
#include "platform/Executor.h"
#include "platform/Result.h"
#include "platform/UserDefaults.h"
#include "store/PluginInventoryStore.h"

#include <memory>

namespace kestrova::cli {

struct StoreSession {
    SystemLayout layout;
    // Declared before the store so that it outlives it: work a scan posted
    // finds the store gone rather than the queue.
    RunLoopExecutor executor;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<FolderBookmarks> bookmarks;
    std::unique_ptr<PluginFolderAccess> folderAccess;
    std::unique_ptr<PluginInventoryStore> store;
};

// Fails, with a message to print, when the root, home or Audio Unit registry
// named by the options cannot be used. Start-up notices of the store are
// printed through reportNotice.
Result<std::unique_ptr<StoreSession>> openStoreSession(CliContext& context);

// Prints the notice as "Title: message" and clears it; a warning goes to
// stderr and sets the exit code to 1. Returns whether there was one.
bool reportNotice(CliContext& context, PluginInventoryStore& store);

// Prints an error to stderr and sets the exit code.
void reportError(CliContext& context, const std::string& message, int exitCode = 1);

}  // namespace kestrova::cli
