#include "cli/StoreSession.h"

#include "cli/ScanCommands.h"
#include "helperclient/HelperEnvironment.h"

#include <fmt/format.h>
#include <ostream>

namespace kestrova::cli {

std::unique_ptr<StoreSession> openStoreSession(CliContext& context) {
    auto& fileSystem = realFileSystem();
    auto layout = resolvedLayout(context, fileSystem);
    if (!layout) {
        context.fail(layout.error().message, ExitCode::usage);
        return nullptr;
    }
    auto registry = configuredRegistry(context, fileSystem);
    if (!registry) {
        context.fail(registry.error().message, ExitCode::usage);
        return nullptr;
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
    const auto waiting = [err, lastSecond](const std::string& transactionID, std::chrono::milliseconds waited) {
        const auto second = waited.count() / 1000;
        if (second != *lastSecond) {
            *lastSecond = second;
            *err << fmt::format("Waiting for KestrovaHelper to finish transaction {} ({} s)…\n", transactionID, second);
            err->flush();
        }
    };
    auto lookup = makeTransactionLookup(session->layout, waiting);
    // Only the Linux profile has a user side; its lookup is made only when
    // a user-side journal asks, so nothing else starts the user's helper.
    auto userLookup = session->layout.profile == PlatformProfile::gnuLinux
                          ? TransactionLookup([layout = session->layout, waiting](const std::string& transactionID) {
                                return makeTransactionLookup(layout, waiting, BundleSide::user)(transactionID);
                            })
                          : TransactionLookup();
    session->store =
        std::make_unique<PluginInventoryStore>(session->layout, fileSystem, session->executor,
                                               pluginScannerRunner(fileSystem, session->layout, std::move(*registry)),
                                               std::move(lookup), std::move(userLookup));
    session->executor.drain();
    reportStartup(context, *session->store);
    return session;
}

void reportStartup(CliContext& context, PluginInventoryStore& store) {
    if (const auto notice = store.notice()) {
        *context.err << notice->title << ": " << notice->message << '\n';
        store.dismissNotice();
    }
    if (store.hasPendingPrivilegedTransaction() && store.lastOperationError()) {
        *context.err << *store.lastOperationError() << '\n';
    }
}

bool reportNotice(CliContext& context, PluginInventoryStore& store, ExitCode warningCode) {
    const auto notice = store.notice();
    if (!notice) {
        return false;
    }
    if (notice->style == NoticeStyle::warning) {
        context.fail(notice->title + ": " + notice->message, warningCode);
    } else {
        context.noticeStream() << notice->title << ": " << notice->message << '\n';
    }
    store.dismissNotice();
    if (const auto hosts = store.hostCacheNotice()) {
        context.noticeStream() << hosts->title << ": " << hosts->message << '\n';
        store.dismissHostCacheNotice();
    }
    return true;
}

StoreActionWatch::StoreActionWatch(PluginInventoryStore& store)
    : store_(store), token_(store.observe([this](std::string_view field) {
          if (field == storeField::lastStorageError && store_.lastStorageError()) {
              writeFailed_ = true;
          }
      })) {}

StoreActionWatch::~StoreActionWatch() { store_.removeObserver(token_); }

}  // namespace kestrova::cli
