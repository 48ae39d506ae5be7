#include "cli/StoreScan.h"

#include "cli/InterruptWatcher.h"
#include "cli/StoreGate.h"
#include "cli/StoreSession.h"
#include "helperclient/HelperEnvironment.h"
#include "model/JsonCoding.h"

#include <fmt/format.h>
#include <unistd.h>

#include <ostream>

namespace kestrova::cli {
namespace {

std::string scanResultJson(const PluginInventoryStore& store, const std::optional<OperationNotice>& notice) {
    Json json = Json::object();
    putField(json, "plugins", store.plugins());
    putField(json, "inaccessibleLocations", store.inaccessibleLocations());
    putField(json, "lastReconciliation", store.lastReconciliation());
    putField(json, "lastScanNotice", store.lastScanNotice());
    putField(json, "notice", notice);
    return json.dump(2);
}

// Prints what the scan, or the store's refusal to start one, left behind.
int reportScanOutcome(CliContext& context, PluginInventoryStore& store, bool json) {
    if (json) {
        const auto notice = store.notice();
        *context.out << scanResultJson(store, notice) << '\n';
        if (notice && notice->style == NoticeStyle::warning) {
            context.exitCode = 1;
        }
        return context.exitCode;
    }
    reportNotice(context, store);
    if (const auto& text = store.lastScanNotice()) {
        *context.out << *text << '\n';
    }
    if (!store.inaccessibleLocations().empty()) {
        *context.out << "Could not read:\n";
        for (const auto& path : store.inaccessibleLocations()) {
            *context.out << "  " << path << '\n';
        }
    }
    return context.exitCode;
}

}  // namespace

int runStoreScan(CliContext& context, bool json) {
    auto opened = openStoreSession(context);
    if (!opened) {
        reportError(context, opened.error().message);
        return context.exitCode;
    }
    auto& session = **opened;
    auto& store = *session.store;
    reportNotice(context, store);
    const auto& folders = session.folderAccess->authorizedFolders();
    if (fileActionsGated(store)) {
        // The store refuses before anything this command would check.
        store.startScan(folders);
        return reportScanOutcome(context, store, json);
    }
    if (folders.empty()) {
        reportError(context,
                    "No plug-in folders are authorized yet, so nothing was scanned. Grant them first with "
                    "“kestrova-cli authorize DIR...”.",
                    2);
        return context.exitCode;
    }

    const bool showProgress = !json && ::isatty(STDERR_FILENO) == 1;
    std::ostream& err = *context.err;
    const auto observer = store.observe([&](std::string_view field) {
        if (field != storeField::scanProgress || !showProgress) {
            return;
        }
        if (const auto& progress = store.scanProgress()) {
            err << fmt::format("\r\033[KScanning {} ({} of {} folders done, {} bundles)", progress->format,
                               progress->completedLocations, progress->totalLocations, progress->discoveredBundles)
                << std::flush;
        }
    });
    {
        // Before any other thread starts, so that only the watcher takes Ctrl-C.
        InterruptWatcher watcher([&session, &store] { session.executor.post([&store] { store.cancelScan(); }); });
        // Only enforcement after the scan talks to the helper.
        std::shared_ptr<PluginManagementService> service;
        if (!store.permanentQuarantineRules().empty()) {
            if (auto made = makePluginManagementService(session.executor, session.layout)) {
                service = std::move(*made);
                // A short scan can finish before the helper answers its first
                // status check; enforcement must see the answer.
                session.executor.runUntil([&] { return service->outstandingCalls() == 0; });
            }
        }
        if (showProgress) {
            err << "Preparing standard plugin locations…" << std::flush;
        }
        store.startScan(folders, service.get());
        session.executor.runUntil([&] { return !store.isScanning(); });
        if (service) {
            session.executor.runUntil([&] { return service->outstandingCalls() == 0; });
        }
        if (showProgress) {
            err << "\r\033[K" << std::flush;
        }
    }
    store.removeObserver(observer);
    return reportScanOutcome(context, store, json);
}

}  // namespace kestrova::cli
