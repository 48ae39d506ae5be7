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

Json scanResultJson(const PluginInventoryStore& store, const std::optional<OperationNotice>& notice) {
    Json json = Json::object();
    putField(json, "plugins", store.plugins());
    putField(json, "inaccessibleLocations", store.inaccessibleLocations());
    putField(json, "lastReconciliation", store.lastReconciliation());
    putField(json, "lastScanNotice", store.lastScanNotice());
    putField(json, "notice", notice);
    return json;
}

// Prints what the scan, or the store's refusal to start one, left behind; a
// warning ends the command with `warningCode`.
void reportScanOutcome(CliContext& context, PluginInventoryStore& store, ExitCode warningCode) {
    if (context.json) {
        // The notice belongs to the document; stderr still says it in words.
        const auto notice = store.notice();
        context.printJson(scanResultJson(store, notice));
        reportNotice(context, store, warningCode);
        return;
    }
    reportNotice(context, store, warningCode);
    if (const auto& text = store.lastScanNotice()) {
        *context.out << *text << '\n';
    }
    if (!store.inaccessibleLocations().empty()) {
        *context.out << "Could not read:\n";
        for (const auto& path : store.inaccessibleLocations()) {
            *context.out << "  " << path << '\n';
        }
    }
}

}  // namespace

void runStoreScan(CliContext& context) {
    auto opened = openStoreSession(context);
    if (!opened) {
        return;
    }
    auto& session = *opened;
    auto& store = *session.store;
    const auto& folders = session.folderAccess->authorizedFolders();
    if (fileActionsGated(store)) {
        // The store refuses before anything this command would check.
        store.startScan(folders);
        reportScanOutcome(context, store, ExitCode::refused);
        return;
    }
    if (folders.empty()) {
        context.fail(
            "No plug-in folders are authorized yet, so nothing was scanned. Grant them first with "
            "“kestrova-cli authorize DIR...”.",
            ExitCode::refused);
        return;
    }

    const bool showProgress = !context.json && ::isatty(STDERR_FILENO) == 1;
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
    reportScanOutcome(context, store, ExitCode::failed);
}

}  // namespace kestrova::cli
