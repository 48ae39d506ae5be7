// kestrova-cli quarantine|restore|trash|trash-restore: one privileged
// transaction each, carried out as the screens do it. The store plans and
// journals the move, the helper daemon moves the bundles, the store checks
// the reply against the disk and commits; the store's notice is printed and
// a warning makes the command fail.
#include "cli/Commands.h"
#include "cli/StoreGate.h"
#include "cli/StoreSession.h"
#include "cli/TargetResolution.h"
#include "helperclient/HelperEnvironment.h"
#include "model/ProductStatus.h"
#include "platform/Text.h"
#include "store/BundleTransactions.h"

#include <fmt/format.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <ostream>

namespace kestrova::cli {
namespace {

constexpr std::string_view nothingMoved = " No plugin files were moved.";

struct BundleCommandOptions {
    std::string name;
    std::vector<std::string> formats;
    std::string manufacturer;
    std::string path;
    bool allFormats = false;
};

// Quarantine acts on active bundles; restore and Trash on quarantined ones.
bool actsOn(PrivilegedRequestKind kind, const PluginBundleRecord& record) {
    return kind == PrivilegedRequestKind::quarantine ? !record.isQuarantined() : record.isQuarantined();
}

Result<std::vector<PluginBundleSelection>> allFormatsOf(const std::vector<Plugin>& plugins, const ProductTarget& target,
                                                        PrivilegedRequestKind kind) {
    const auto product = resolveProduct(plugins, target);
    if (!product) {
        return product.error();
    }
    // Records of the same product found in other folders belong to it too.
    const auto key = productKey(**product);
    std::vector<PluginBundleSelection> selections;
    for (const auto* candidate : matchingProducts(plugins, target)) {
        if (productKey(*candidate) != key) {
            continue;
        }
        for (const auto& record : bundleRecords(*candidate)) {
            if (actsOn(kind, record)) {
                selections.push_back({candidate->id, record.id()});
            }
        }
    }
    if (selections.empty()) {
        return Error{fmt::format("{} has no {} format bundles.", (*product)->name,
                                 kind == PrivilegedRequestKind::quarantine ? "active" : "quarantined")};
    }
    return selections;
}

Result<std::vector<PluginBundleSelection>> selectedBundles(const std::vector<Plugin>& plugins,
                                                           const BundleCommandOptions& options,
                                                           PrivilegedRequestKind kind) {
    ProductTarget product{options.name, std::nullopt};
    if (!options.manufacturer.empty()) {
        product.manufacturer = options.manufacturer;
    }
    if (options.allFormats && !options.formats.empty()) {
        return Error{"Give the formats or --all-formats, not both."};
    }
    if (options.allFormats) {
        if (!options.path.empty()) {
            return Error{"--path names one bundle; it cannot be combined with --all-formats."};
        }
        return allFormatsOf(plugins, product, kind);
    }
    if (options.formats.empty()) {
        return Error{"Name the formats to move (AU, VST2, VST3, AAX, CLAP) or use --all-formats."};
    }
    if (!options.path.empty() && options.formats.size() > 1) {
        return Error{"--path names one bundle; give one format with it."};
    }
    std::vector<PluginBundleSelection> selections;
    for (const auto& format : options.formats) {
        BundleTarget target{product, format, std::nullopt};
        if (!options.path.empty()) {
            target.path = options.path;
        }
        auto bundle = resolveBundle(plugins, target, [kind](const auto& record) { return actsOn(kind, record); });
        if (!bundle) {
            // A bundle in the wrong state is still named, so the store can say
            // why it cannot move.
            auto any = resolveBundle(plugins, target);
            if (!any) {
                return bundle.error();
            }
            bundle = std::move(any);
        }
        selections.push_back(bundle->selection);
    }
    return selections;
}

// Trash recovery records by id, or by the start of one as long as it names
// only that record.
Result<std::vector<Uuid>> selectedRecords(const PluginInventoryStore& store, const std::vector<std::string>& given,
                                          bool allReady) {
    std::vector<Uuid> ids;
    if (allReady) {
        if (!given.empty()) {
            return Error{"Give record ids or --all-ready, not both."};
        }
        for (const auto& entry : store.trashRecoveryEntries()) {
            if (entry.state == TrashRecoveryState::readyToRestore && entry.record.isOpen()) {
                ids.push_back(entry.record.id);
            }
        }
        if (ids.empty()) {
            return Error{"No Finder Trash recovery record is ready to restore."};
        }
        return ids;
    }
    if (given.empty()) {
        return Error{
            "Name the recovery records to restore (“kestrova-cli trash-records --json” shows their ids) or "
            "use --all-ready."};
    }
    for (const auto& text : given) {
        const auto wanted = uppercased(trimmedWhitespace(text));
        std::vector<Uuid> found;
        for (const auto& record : store.trashedBundles()) {
            if (!wanted.empty() && record.id.string().starts_with(wanted)) {
                found.push_back(record.id);
            }
        }
        if (found.empty()) {
            return Error{fmt::format("No Finder Trash recovery record has the id “{}”.", text)};
        }
        if (found.size() > 1) {
            return Error{fmt::format("“{}” is the start of {} record ids; give more of it.", text, found.size())};
        }
        ids.push_back(found.front());
    }
    return ids;
}

template <typename Item>
void printItems(CliContext& context, const std::vector<Item>& items) {
    for (const auto& item : items) {
        *context.out << "  " << item.sourcePath << " → " << item.destinationPath << '\n';
    }
}

// One transaction from start to end: the helper must be ready before a
// journal is written; the reply is committed by the store and its notice
// printed. `start` runs the transaction and returns false after a notice.
template <typename Request>
void runTransaction(CliContext& context, StoreSession& session, PrivilegedRequestKind kind,
                    const std::function<bool(PluginManagementService&, TransactionDone<Request>)>& start) {
    auto& executor = session.executor;
    auto made = makePluginManagementService(executor, session.layout);
    if (!made) {
        reportError(context, made.error().message + std::string(nothingMoved));
        return;
    }
    auto& service = **made;
    executor.runUntil([&] { return service.outstandingCalls() == 0; });
    if (!service.canSendPrivilegedRequest()) {
        const auto reason = service.blockingReason(kind).value_or("Kestrova could not reach the privileged helper.");
        reportError(context, reason + std::string(nothingMoved) +
                                 (service.status() == PluginManagementStatus::enabled
                                      ? ""
                                      : " Run “kestrova-cli helper enable” first."));
        return;
    }

    bool completed = false;
    bool committed = false;
    std::optional<Request> sent;
    const bool started = start(service, [&](const Request& request, bool ok) {
        sent = request;
        committed = ok;
        completed = true;
    });
    if (!started) {
        reportNotice(context, *session.store);
        return;
    }
    executor.runUntil([&] { return completed; });
    reportNotice(context, *session.store);
    if (committed) {
        printItems(context, sent->items);
    }
}

// Opens the store (which says what start-up recovery left for a person).
void withStore(CliContext& context, const std::function<void(StoreSession&)>& command) {
    auto opened = openStoreSession(context);
    if (!opened) {
        reportError(context, opened.error().message);
        return;
    }
    auto& session = **opened;
    reportNotice(context, *session.store);
    command(session);
}

void bundleTransaction(CliContext& context, const BundleCommandOptions& options, PrivilegedRequestKind kind) {
    withStore(context, [&](StoreSession& session) {
        auto& store = *session.store;
        if (storeRefusesTransaction(store, kind)) {
            reportNotice(context, store);
            return;
        }
        const auto selections = selectedBundles(store.plugins(), options, kind);
        if (!selections) {
            reportError(context, selections.error().message + std::string(nothingMoved));
            return;
        }
        switch (kind) {
            case PrivilegedRequestKind::quarantine:
                runTransaction<PrivilegedQuarantineRequest>(context, session, kind, [&](auto& service, auto done) {
                    return runQuarantine(store, service, *selections, std::move(done));
                });
                return;
            case PrivilegedRequestKind::restore:
                runTransaction<PrivilegedRestoreRequest>(context, session, kind, [&](auto& service, auto done) {
                    return runRestore(store, service, *selections, std::move(done));
                });
                return;
            case PrivilegedRequestKind::trash:
                runTransaction<PrivilegedTrashRequest>(context, session, kind, [&](auto& service, auto done) {
                    return runTrash(store, service, *selections, std::move(done));
                });
                return;
            case PrivilegedRequestKind::trashRestore:
                return;
        }
    });
}

void trashRestore(CliContext& context, const std::vector<std::string>& records, bool allReady) {
    withStore(context, [&](StoreSession& session) {
        auto& store = *session.store;
        if (storeRefusesTransaction(store, PrivilegedRequestKind::trashRestore)) {
            reportNotice(context, store);
            return;
        }
        // As the Trash Recovery screen does before it offers anything.
        store.reconcileTrashRecords();
        reportNotice(context, store);
        const auto ids = selectedRecords(store, records, allReady);
        if (!ids) {
            reportError(context, ids.error().message + std::string(nothingMoved));
            return;
        }
        runTransaction<PrivilegedTrashRestoreRequest>(
            context, session, PrivilegedRequestKind::trashRestore,
            [&](auto& service, auto done) { return runTrashRestore(store, service, *ids, std::move(done)); });
    });
}

void addBundleCommand(CLI::App& app, CliContext& context, PrivilegedRequestKind kind, const std::string& name,
                      const std::string& description) {
    auto options = std::make_shared<BundleCommandOptions>();
    auto* command = app.add_subcommand(name, description);
    command->add_option("name", options->name, "Product name")->required();
    command->add_option("formats", options->formats, "Formats of its bundles: AU, VST2, VST3, AAX, CLAP");
    command->add_flag("--all-formats", options->allFormats,
                      kind == PrivilegedRequestKind::quarantine ? "Every active format bundle of the product"
                                                                : "Every quarantined format bundle of the product");
    command->add_option("-m,--manufacturer", options->manufacturer, "The product's manufacturer");
    command->add_option("--path", options->path, "The bundle's path, when the product has two of that format");
    command->callback([options, kind, &context] { bundleTransaction(context, *options, kind); });
}

}  // namespace

void addTransactionCommands(CLI::App& app, CliContext& context) {
    addBundleCommand(app, context, PrivilegedRequestKind::quarantine, "quarantine",
                     "Move format bundles into the system quarantine through the helper");
    addBundleCommand(app, context, PrivilegedRequestKind::restore, "restore",
                     "Return quarantined format bundles to their original locations");
    addBundleCommand(app, context, PrivilegedRequestKind::trash, "trash",
                     "Send quarantined format bundles on to the Finder Trash (recoverable)");

    auto records = std::make_shared<std::vector<std::string>>();
    auto allReady = std::make_shared<bool>(false);
    auto* restore = app.add_subcommand("trash-restore",
                                       "Bring bundles back from the Finder Trash to their exact "
                                       "original locations");
    restore->add_option("records", *records, "Recovery record ids (or a unique start of one)");
    restore->add_flag("--all-ready", *allReady, "Every record that is ready to restore");
    restore->callback([records, allReady, &context] { trashRestore(context, *records, *allReady); });
}

}  // namespace kestrova::cli
