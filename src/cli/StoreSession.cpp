#include "cli/StoreSession.h"

#include "session/InstalledSession.h"

#include <ostream>

namespace kestrova::cli {

std::unique_ptr<StoreSession> openStoreSession(CliContext& context) {
    // A pending journal is put to the daemon before the disk is read; while
    // the daemon is still moving, say so about once a second.
    auto parts = session::installedSessionParts(context.sessionOptions(), session::recoveryWaitReport(*context.err));
    if (!parts) {
        context.fail(parts.error().message, ExitCode::usage);
        return nullptr;
    }
    auto opened = std::make_unique<StoreSession>(std::move(*parts));
    opened->executor.drain();
    reportStartup(context, *opened->store);
    return opened;
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
