#include "cli/StoreSession.h"

#include "cli/ScanCommands.h"
#include "helperclient/HelperEnvironment.h"

#include <fmt/format.h>
#include <ostream>

namespace kestrova::cli {

Result<std::unique_ptr<StoreSession>> openStoreSession(CliContext& context) {
    auto& fileSystem = realFileSystem();
    auto layout = resolvedLayout(context, fileSystem);
    if (!layout) {
        return layout.error();
    }
    auto registry = configuredRegistry(context, fileSystem);
    if (!registry) {
        return registry.error();
    }
    auto session = std::make_unique<StoreSession>();
    session->layout = std::move(*layout);
    session->defaults = std::make_unique<UserDefaults>(UserDefaults::standardFile(session->layout), fileSystem);
    session->bookmarks = std::make_unique<FolderBookmarks>(fileSystem);
    session->folderAccess = std::make_unique<PluginFolderAccess>(*session->defaults, *session->bookmarks);
    // A pending journal is put to the daemon before the disk is read; while
    // the daemon is still moving, say so about once a second.
    auto* err = context.err;
    auto lastSecond = std::make_shared<std::int64_t>(-1);
    auto lookup = makeTransactionLookup(session->layout, [err, lastSecond](const std::string& transactionID,
                                                                           std::chrono::milliseconds waited) {
        const auto second = waited.count() / 1000;
        if (second != *lastSecond) {
            *lastSecond = second;
            *err << fmt::format("Waiting for KestrovaHelper to finish transaction {} ({} s)…\n", transactionID, second);
            err->flush();
        }
    });
    session->store = std::make_unique<PluginInventoryStore>(
        session->layout, fileSystem, session->executor,
        pluginScannerRunner(fileSystem, session->layout, std::move(*registry)), std::move(lookup));
    session->executor.drain();
    // What start-up recovery left for a person to check, whatever the command.
    if (session->store->hasPendingPrivilegedTransaction() && session->store->lastOperationError()) {
        *context.err << *session->store->lastOperationError() << '\n';
    }
    return session;
}

bool reportNotice(CliContext& context, PluginInventoryStore& store) {
    const auto notice = store.notice();
    if (!notice) {
        return false;
    }
    if (notice->style == NoticeStyle::warning) {
        *context.err << notice->title << ": " << notice->message << '\n';
        context.exitCode = 1;
    } else {
        *context.out << notice->title << ": " << notice->message << '\n';
    }
    store.dismissNotice();
    return true;
}

void reportError(CliContext& context, const std::string& message, int exitCode) {
    *context.err << message << '\n';
    context.exitCode = exitCode;
}

}  // namespace kestrova::cli
