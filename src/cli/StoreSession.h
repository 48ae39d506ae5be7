// What every inventory command of kestrova-cli opens: the session the
// global options name (layout, authorized folders, inventory store) on a
// main-thread run loop, without the helper's service, which the commands
// that need it open themselves. Commands print the store's notice
// the same way: success with their output, warnings to stderr with a
// failing exit.
#pragma once

#include "cli/CliContext.h"
#include "platform/Executor.h"
#include "session/Session.h"
#include "store/PluginInventoryStore.h"

#include <memory>

namespace kestrova::cli {

struct StoreSession {
    explicit StoreSession(session::Session::Parts parts)
        : core(std::move(parts), executor),
          layout(core.layout()),
          folderAccess(&core.folderAccess()),
          store(&core.store()) {}

    // Declared before the session so that it outlives the store: work a scan
    // posted finds the store gone rather than the queue.
    RunLoopExecutor executor;
    session::Session core;
    // The commands' names for the session's parts.
    const SystemLayout& layout;
    PluginFolderAccess* folderAccess;
    PluginInventoryStore* store;
};

// Opens the store over the layout the options name and prints what its
// start-up had to say (see reportStartup). When the root, home or Audio
// Unit registry cannot be used it says why, ends the command with a usage
// exit code and returns nothing.
std::unique_ptr<StoreSession> openStoreSession(CliContext& context);

// What start-up left for a person to read: a notice (a cleanup run it
// closed, a state file it could not load) and the text of a journal it had
// to keep. It goes to stderr and never decides the exit code: it is not
// what the command was asked for.
void reportStartup(CliContext& context, PluginInventoryStore& store);

// Prints the store's notice as "Title: message" and clears it. A success
// goes with the command's output (stderr for a JSON command); a warning
// goes to stderr and ends the command with `warningCode`. Returns whether
// there was one.
bool reportNotice(CliContext& context, PluginInventoryStore& store, ExitCode warningCode);

// Tells what a warning from one store action means: the store refused, or,
// when it failed to write its state file on the way, the action failed.
class StoreActionWatch {
public:
    explicit StoreActionWatch(PluginInventoryStore& store);
    ~StoreActionWatch();
    StoreActionWatch(const StoreActionWatch&) = delete;
    StoreActionWatch& operator=(const StoreActionWatch&) = delete;

    ExitCode warningCode() const { return writeFailed_ ? ExitCode::failed : ExitCode::refused; }

private:
    PluginInventoryStore& store_;
    Observable::Token token_;
    bool writeFailed_ = false;
};

}  // namespace kestrova::cli
