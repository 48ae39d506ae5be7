// kestrova-cli quarantine|restore|trash|trash-restore: one privileged
// transaction each, carried out as the screens do it. The store plans and
// journals the move, the helper daemon moves the bundles, the store checks
// the reply against the disk and commits; the store's notice is printed and
// a warning makes the command fail.
#include "cli/Commands.h"
#include "cli/HelperReport.h"
#include "cli/QuarantineTransaction.h"
#include "cli/StoreGate.h"
#include "cli/StoreSession.h"
#include "cli/TargetResolution.h"
#include "helperclient/HelperEnvironment.h"
#include "model/ProductStatus.h"
#include "platform/Text.h"
#include "store/journal/BundleTransactions.h"

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
bool actsOn(TransactionKind kind, const PluginBundleRecord& record) {
    return kind == TransactionKind::quarantine ? !record.isQuarantined() : record.isQuarantined();
}

Result<std::vector<PluginBundleSelection>> allFormatsOf(const std::vector<Plugin>& plugins, const ProductTarget& target,
                                                        TransactionKind kind) {
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
                                 kind == TransactionKind::quarantine ? "active" : "quarantined")};
    }
    return selections;
}

// Options that cannot go together, whatever the inventory holds.
std::optional<std::string> optionProblem(const BundleCommandOptions& options) {
    if (options.allFormats && !options.formats.empty()) {
        return "Give the formats or --all-formats, not both.";
    }
    if (options.allFormats && !options.path.empty()) {
        return "--path names one bundle; it cannot be combined with --all-formats.";
    }
    if (!options.allFormats && options.formats.empty()) {
        return "Name the formats to move (AU, VST2, VST3, AAX, CLAP) or use --all-formats.";
    }
    if (!options.path.empty() && options.formats.size() > 1) {
        return "--path names one bundle; give one format with it.";
    }
    return std::nullopt;
}

// The bundles the options name, which optionProblem has passed.
Result<std::vector<PluginBundleSelection>> selectedBundles(const std::vector<Plugin>& plugins,
                                                           const BundleCommandOptions& options, TransactionKind kind) {
    ProductTarget product{options.name, std::nullopt};
    if (!options.manufacturer.empty()) {
        product.manufacturer = options.manufacturer;
    }
    if (options.allFormats) {
        return allFormatsOf(plugins, product, kind);
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

// Record ids and --all-ready that cannot go together.
std::optional<std::string> recordOptionProblem(const std::vector<std::string>& given, bool allReady) {
    if (allReady && !given.empty()) {
        return "Give record ids or --all-ready, not both.";
    }
    if (!allReady && given.empty()) {
        return "Name the recovery records to restore (“kestrova-cli trash-records --json” shows their ids) or "
               "use --all-ready.";
    }
    return std::nullopt;
}

// Trash recovery records by id, or by the start of one as long as it names
// only that record; the options have passed recordOptionProblem.
Result<std::vector<Uuid>> selectedRecords(const PluginInventoryStore& store, const std::vector<std::string>& given,
                                          bool allReady) {
    std::vector<Uuid> ids;
    if (allReady) {
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
std::vector<Request> runCommandTransaction(
    CliContext& context, StoreSession& session, TransactionKind kind,
    const std::function<bool(PluginManagementService&, TransactionDone)>& start) {
    auto& executor = session.executor;
    auto made = makePluginManagementService(executor, session.layout);
    if (!made) {
        context.fail(made.error().message + std::string(nothingMoved), ExitCode::usage);
        return {};
    }
    auto& service = **made;
    executor.runUntil([&] { return service.outstandingCalls() == 0; });
    if (!service.canSendPrivilegedRequest()) {
        refuseForHelper(context, service, kind);
        return {};
    }

    // A selection over both sides runs as one transaction per side; each
    // says what it did, with its moved items, as it ends.
    bool completed = false;
    bool committed = true;
    std::vector<Request> sent;
    const StoreActionWatch watch(*session.store);
    const bool started = start(service, [&](const PrivilegedRequest& sentRequest, bool ok) {
        const auto& request = std::get<Request>(sentRequest);
        committed = committed && ok;
        completed = true;
        reportNotice(context, *session.store, ExitCode::failed);
        if (ok) {
            if (!context.json) {
                printItems(context, request.items);
            }
            sent.push_back(request);
        }
    });
    if (!started) {
        // The store refused before it wrote its journal, or could not write it.
        reportNotice(context, *session.store, watch.warningCode());
        return {};
    }
    executor.runUntil([&] { return completed && service.outstandingCalls() == 0; });
    reportNotice(context, *session.store, ExitCode::failed);
    if (!committed) {
        printHelperNextStep(context, service);
        return {};
    }
    return sent;
}

// Opens the store (start-up says what recovery left for a person to check).
void withStore(CliContext& context, const std::function<void(StoreSession&)>& command) {
    if (auto session = openStoreSession(context)) {
        command(*session);
    }
}

void bundleTransaction(CliContext& context, const BundleCommandOptions& options, TransactionKind kind) {
    if (const auto problem = optionProblem(options)) {
        context.fail(*problem + std::string(nothingMoved), ExitCode::usage);
        return;
    }
    withStore(context, [&](StoreSession& session) {
        auto& store = *session.store;
        if (storeRefusesTransaction(store, kind)) {
            reportNotice(context, store, ExitCode::refused);
            return;
        }
        const auto selections = selectedBundles(store.plugins(), options, kind);
        if (!selections) {
            context.fail(selections.error().message + std::string(nothingMoved), ExitCode::refused);
            return;
        }
        switch (kind) {
            case TransactionKind::quarantine:
                runCommandTransaction<PrivilegedQuarantineRequest>(
                    context, session, kind, [&](auto& service, auto done) {
                        return runQuarantine(store, service, *selections, std::move(done));
                    });
                return;
            case TransactionKind::restore:
                runCommandTransaction<PrivilegedRestoreRequest>(context, session, kind, [&](auto& service, auto done) {
                    return runRestore(store, service, *selections, std::move(done));
                });
                return;
            case TransactionKind::trash:
                runCommandTransaction<PrivilegedTrashRequest>(context, session, kind, [&](auto& service, auto done) {
                    return runTrash(store, service, *selections, std::move(done));
                });
                return;
            case TransactionKind::trashRestore:
                return;
        }
    });
}

void trashRestore(CliContext& context, const std::vector<std::string>& records, bool allReady) {
    if (const auto problem = recordOptionProblem(records, allReady)) {
        context.fail(*problem + std::string(nothingMoved), ExitCode::usage);
        return;
    }
    withStore(context, [&](StoreSession& session) {
        auto& store = *session.store;
        if (storeRefusesTransaction(store, TransactionKind::trashRestore)) {
            reportNotice(context, store, ExitCode::refused);
            return;
        }
        // As the Trash Recovery screen does before it offers anything.
        store.reconcileTrashRecords();
        if (const auto notice = store.notice()) {
            *context.err << notice->title << ": " << notice->message << '\n';
            store.dismissNotice();
        }
        const auto ids = selectedRecords(store, records, allReady);
        if (!ids) {
            context.fail(ids.error().message + std::string(nothingMoved), ExitCode::refused);
            return;
        }
        runCommandTransaction<PrivilegedTrashRestoreRequest>(
            context, session, TransactionKind::trashRestore,
            [&](auto& service, auto done) { return runTrashRestore(store, service, *ids, std::move(done)); });
    });
}

void addBundleCommand(CLI::App& app, CliContext& context, TransactionKind kind, const std::string& name,
                      const std::string& description) {
    auto options = std::make_shared<BundleCommandOptions>();
    auto* command = app.add_subcommand(name, description);
    command->add_option("name", options->name, "Product name")->required();
    command->add_option("formats", options->formats, "Formats of its bundles: AU, VST2, VST3, AAX, CLAP");
    command->add_flag("--all-formats", options->allFormats,
                      kind == TransactionKind::quarantine ? "Every active format bundle of the product"
                                                          : "Every quarantined format bundle of the product");
    command->add_option("-m,--manufacturer", options->manufacturer, "The product's manufacturer");
    command->add_option("--path", options->path, "The bundle's path, when the product has two of that format");
    command->callback([options, kind, &context] { bundleTransaction(context, *options, kind); });
}

}  // namespace

std::vector<PrivilegedQuarantineRequest> quarantineTransaction(CliContext& context, StoreSession& session,
                                                               const std::vector<PluginBundleSelection>& selections) {
    return runCommandTransaction<PrivilegedQuarantineRequest>(
        context, session, TransactionKind::quarantine,
        [&](auto& service, auto done) { return runQuarantine(*session.store, service, selections, std::move(done)); });
}

void addTransactionCommands(CLI::App& app, CliContext& context) {
    addBundleCommand(app, context, TransactionKind::quarantine, "quarantine",
                     "Move format bundles into the system quarantine through the helper");
    addBundleCommand(app, context, TransactionKind::restore, "restore",
                     "Return quarantined format bundles to their original locations");
    addBundleCommand(app, context, TransactionKind::trash, "trash",
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
