// The inventory commands of kestrova-cli: authorize and list folders, show
// the inventory, history and Trash recovery records, change protection and
// permanent-quarantine rules. Each opens the store over the state under the
// home, does one thing through it and prints its notice.
#include "cli/Commands.h"
#include "cli/ScanCommands.h"
#include "cli/StoreSession.h"
#include "cli/TargetResolution.h"
#include "cli/TextTable.h"
#include "model/HistoryOperation.h"
#include "model/JsonCoding.h"
#include "model/ProductSearch.h"
#include "model/ProductStatus.h"
#include "platform/LocaleText.h"
#include "store/FolderGrants.h"

#include <fmt/format.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <ostream>

namespace kestrova::cli {
namespace {

std::string joined(const std::vector<std::string>& values, std::string_view separator) {
    std::string text;
    for (const auto& value : values) {
        text += text.empty() ? value : std::string(separator) + value;
    }
    return text;
}

// Opens the session, reports what start-up had to say, and runs the command.
void withStore(CliContext& context, const std::function<void(StoreSession&)>& command) {
    if (auto session = openStoreSession(context)) {
        command(*session);
    }
}

// ---- authorize, folders ----

struct AuthorizeOptions {
    std::vector<std::string> folders;
    bool standard = false;
    bool dryRun = false;
};

// Grants only what no existing grant covers, so that asking again changes
// nothing and says so.
void authorizeFolders(CliContext& context, const AuthorizeOptions& options) {
    if (options.folders.empty() && !options.standard) {
        context.fail("Name the folders to authorize, or --standard for the standard plug-in folders.", ExitCode::usage);
        return;
    }
    withStore(context, [&](StoreSession& session) {
        auto requested = resolvedFolders(options.folders, realFileSystem());
        if (!requested) {
            context.fail(requested.error().message, ExitCode::usage);
            return;
        }
        if (options.standard) {
            const auto standard = existingStandardFolders(session.layout, realFileSystem());
            requested->insert(requested->begin(), standard.begin(), standard.end());
        }
        auto& access = *session.folderAccess;
        const auto plan = planFolderGrants(*requested, access.authorizedFolders());
        std::optional<std::string> failure;
        if (!options.dryRun && !plan.toGrant.empty()) {
            access.authorize(plan.toGrant);
            failure = access.lastError();
        }
        if (context.json) {
            Json json = Json::object();
            json["granted"] = plan.toGrant;
            json["alreadyAuthorized"] = plan.alreadyAuthorized;
            json["authorizedFolders"] = access.authorizedFolders();
            json["dryRun"] = options.dryRun;
            if (failure) {
                json["error"] = *failure;
                context.fail(*failure, ExitCode::failed);
            }
            context.printJson(json);
            return;
        }
        if (failure) {
            context.fail(*failure, ExitCode::failed);
        }
        const auto verb = options.dryRun ? "Would grant" : "Granted";
        for (const auto& folder : plan.toGrant) {
            *context.out << verb << ": " << folder << '\n';
        }
        for (const auto& folder : plan.alreadyAuthorized) {
            *context.out << "Already authorized: " << folder << '\n';
        }
        if (plan.toGrant.empty() && plan.alreadyAuthorized.empty()) {
            *context.out << "No standard plug-in folder exists here; nothing was granted.\n";
        }
    });
}

void listFolders(CliContext& context) {
    withStore(context, [&](StoreSession& session) {
        const auto& access = *session.folderAccess;
        // A grant that could not be restored is no longer one; the list
        // below is what the store scans.
        if (access.lastError()) {
            *context.err << *access.lastError() << '\n';
        }
        if (context.json) {
            context.printJson(access.authorizedFolders());
            return;
        }
        if (access.authorizedFolders().empty()) {
            *context.out << "No plug-in folders are authorized. Grant them with “kestrova-cli authorize DIR...”.\n";
        }
        for (const auto& folder : access.authorizedFolders()) {
            *context.out << folder << '\n';
        }
    });
}

// ---- list ----

void listInventory(CliContext& context, const std::string& search) {
    withStore(context, [&](StoreSession& session) {
        const auto& store = *session.store;
        if (context.json) {
            Json products = Json::array();
            for (const auto& product : store.plugins()) {
                if (productMatchesSearch(product, search)) {
                    products.push_back(JsonCoder<Plugin>::encode(product));
                }
            }
            context.printJson(products);
            return;
        }
        std::vector<std::vector<std::string>> rows;
        for (const auto& product : store.plugins()) {
            if (!productMatchesSearch(product, search)) {
                continue;
            }
            rows.push_back({product.name, product.manufacturer, product.version, joined(product.formats, ", "),
                            product.architecture, product.size, std::string(rawValue(product.status)),
                            product.isProtected ? "yes" : ""});
        }
        printTable(*context.out,
                   {"Name", "Manufacturer", "Version", "Formats", "Architecture", "Size", "Status", "Protected"}, rows);
        *context.out << fmt::format("\n{} products, {} in service, {} protected; {} format bundles in quarantine.\n",
                                    store.plugins().size(), store.activePlugins().size(), store.protectedPluginCount(),
                                    store.quarantinedBundleCount());
        if (!store.lastScanDate() && !store.fileActionsBlockedByStorage()) {
            *context.out << "No scan has run yet: these are sample products until “kestrova-cli scan”.\n";
        }
    });
}

// ---- protect, unprotect ----

struct ProductOptions {
    std::vector<std::string> names;
    std::string manufacturer;
};

void changeProductProtection(CliContext& context, const ProductOptions& options, bool isProtected) {
    withStore(context, [&](StoreSession& session) {
        auto& store = *session.store;
        std::vector<Plugin> products;
        for (const auto& name : options.names) {
            ProductTarget target{name, std::nullopt};
            if (!options.manufacturer.empty()) {
                target.manufacturer = options.manufacturer;
            }
            auto product = resolveProduct(store.plugins(), target);
            if (!product) {
                context.fail(product.error().message + " Nothing was changed.", ExitCode::refused);
                return;
            }
            products.push_back(**product);
        }
        const StoreActionWatch watch(store);
        if (products.size() == 1) {
            store.setProtection(products.front(), isProtected);
        } else {
            store.setProtectionForBatch(products, isProtected);
        }
        if (!reportNotice(context, store, watch.warningCode())) {
            // Shared shells and the products they host stay protected.
            context.fail(products.size() == 1
                             ? products.front().name + " has mandatory protection; nothing was changed."
                             : "Every selected product has mandatory protection; nothing was changed.",
                         ExitCode::refused);
        }
    });
}

// ---- protect-format, unprotect-format ----

struct BundleOptions {
    std::string name;
    std::string format;
    std::string manufacturer;
    std::string path;
};

void changeBundleProtection(CliContext& context, const BundleOptions& options, bool isProtected) {
    withStore(context, [&](StoreSession& session) {
        auto& store = *session.store;
        BundleTarget target{{options.name, std::nullopt}, options.format, std::nullopt};
        if (!options.manufacturer.empty()) {
            target.product.manufacturer = options.manufacturer;
        }
        if (!options.path.empty()) {
            target.path = options.path;
        }
        if (store.fileActionsBlockedByStorage()) {
            // Refused by the store before it looks at the bundle.
            store.setBundleProtection(PluginBundleSelection{}, isProtected);
            reportNotice(context, store, ExitCode::refused);
            return;
        }
        auto bundle = resolveBundle(store.plugins(), target);
        if (!bundle) {
            context.fail(bundle.error().message + " Nothing was changed.", ExitCode::refused);
            return;
        }
        const StoreActionWatch watch(store);
        store.setBundleProtection(bundle->selection, isProtected);
        reportNotice(context, store, watch.warningCode());
    });
}

// ---- history ----

void showHistory(CliContext& context) {
    withStore(context, [&](StoreSession& session) {
        const auto operations = groupedHistoryOperations(session.store->history());
        if (context.json) {
            Json list = Json::array();
            for (const auto& operation : operations) {
                Json object = Json::object();
                putField(object, "id", operation.id);
                putField(object, "plugin", operation.plugin);
                putField(object, "kind", operation.kind);
                putField(object, "time", operation.time);
                putField(object, "summary", operationSummary(operation));
                putField(object, "formats", operationFormats(operation));
                putField(object, "items", operation.items);
                list.push_back(std::move(object));
            }
            context.printJson(list);
            return;
        }
        if (operations.empty()) {
            *context.out << "No operations yet.\n";
            return;
        }
        std::vector<std::vector<std::string>> rows;
        for (const auto& operation : operations) {
            rows.push_back(
                {operation.time, std::string(title(operation.kind)), operation.plugin, operationSummary(operation)});
        }
        printTable(*context.out, {"Time", "Operation", "Plugin", "Detail"}, rows);
    });
}

// ---- trash-records ----

void showTrashRecords(CliContext& context) {
    withStore(context, [&](StoreSession& session) {
        auto& store = *session.store;
        // As the Trash Recovery screen does each time it is shown. What it
        // says is a notice beside the listing, which it does not stop.
        store.reconcileTrashRecords();
        if (const auto notice = store.notice()) {
            *context.err << notice->title << ": " << notice->message << '\n';
            store.dismissNotice();
        }
        const auto entries = store.trashRecoveryEntries();
        if (context.json) {
            Json list = Json::array();
            for (const auto& entry : entries) {
                Json object = Json::object();
                putField(object, "record", entry.record);
                putField(object, "state", entry.state);
                list.push_back(std::move(object));
            }
            context.printJson(list);
            return;
        }
        if (entries.empty()) {
            *context.out << "No bundles were sent to the Finder Trash.\n";
            return;
        }
        std::vector<std::vector<std::string>> rows;
        for (const auto& entry : entries) {
            const auto& record = entry.record;
            rows.push_back({shortDateTimeText(record.operationDate), std::string(title(entry.state)),
                            record.pluginName + " — " + record.format, record.manufacturer, record.originalPath,
                            record.trashPath});
        }
        printTable(*context.out, {"Moved", "State", "Bundle", "Manufacturer", "Original Location", "In Trash"}, rows);
        *context.out << fmt::format("\n{} ready to restore.\n", store.readyTrashRecoveryCount());
    });
}

// ---- rules, rule on|off ----

void showRules(CliContext& context) {
    withStore(context, [&](StoreSession& session) {
        const auto& store = *session.store;
        auto manufacturers = store.permanentQuarantineManufacturers();
        // Rules outlive the products that made them; show those too.
        for (const auto& rule : store.permanentQuarantineRules()) {
            const bool listed = std::any_of(manufacturers.begin(), manufacturers.end(),
                                            [&](const auto& name) { return manufacturerKey(name) == rule.id(); });
            if (!listed) {
                manufacturers.push_back(rule.manufacturer);
            }
        }
        std::sort(manufacturers.begin(), manufacturers.end());
        std::vector<std::vector<std::string>> rows;
        Json list = Json::array();
        for (const auto& manufacturer : manufacturers) {
            const auto key = manufacturerKey(manufacturer);
            const auto& rules = store.permanentQuarantineRules();
            const auto rule =
                std::find_if(rules.begin(), rules.end(), [&](const auto& candidate) { return candidate.id() == key; });
            rows.push_back({rule == rules.end() ? "off" : "on", manufacturer,
                            rule == rules.end() ? "" : "since " + shortDateTimeText(rule->enabledAt)});
            Json object = Json::object();
            putField(object, "manufacturer", manufacturer);
            putField(object, "enabled", rule != rules.end());
            if (rule != rules.end()) {
                putField(object, "enabledAt", rule->enabledAt);
            }
            list.push_back(std::move(object));
        }
        if (context.json) {
            context.printJson(list);
            return;
        }
        if (rows.empty()) {
            *context.out << "No manufacturers in the inventory and no rules.\n";
            return;
        }
        printTable(*context.out, {"Rule", "Manufacturer", "Enabled"}, rows);
    });
}

struct RuleOptions {
    std::string setting;
    std::string manufacturer;
    bool dryRun = false;
};

void changeRule(CliContext& context, const RuleOptions& options) {
    const auto& manufacturer = options.manufacturer;
    withStore(context, [&](StoreSession& session) {
        auto& store = *session.store;
        // The inventory's own spelling, when the typed one names the same
        // manufacturer, is what the rule remembers.
        auto chosen = manufacturer;
        for (const auto& name : store.permanentQuarantineManufacturers()) {
            if (manufacturerKey(name) == manufacturerKey(manufacturer)) {
                chosen = name;
                break;
            }
        }
        const bool enable = options.setting == "on";
        if (!context.json) {
            const StoreActionWatch watch(store);
            store.setPermanentQuarantine(chosen, enable);
            reportNotice(context, store, watch.warningCode());
            return;
        }
        // Switching a rule to the state it is in would only restart its date.
        const auto& rules = store.permanentQuarantineRules();
        const bool wasEnabled = std::any_of(rules.begin(), rules.end(),
                                            [&](const auto& rule) { return rule.id() == manufacturerKey(chosen); });
        Json result{{"manufacturer", chosen}, {"enabled", wasEnabled}, {"changed", false}};
        if (wasEnabled != enable && options.dryRun) {
            result["enabled"] = enable;
            result["changed"] = true;
        } else if (wasEnabled != enable) {
            const StoreActionWatch watch(store);
            store.setPermanentQuarantine(chosen, enable);
            if (const auto notice = store.notice(); notice && notice->style == NoticeStyle::warning) {
                reportNotice(context, store, watch.warningCode());
                return;
            }
            store.dismissNotice();
            result["enabled"] = enable;
            result["changed"] = true;
        }
        context.printJson(result);
    });
}

}  // namespace

void addStoreCommands(CLI::App& app, CliContext& context) {
    auto authorize = std::make_shared<AuthorizeOptions>();
    auto* authorizeCommand = app.add_subcommand("authorize", "Grant Kestrova access to plug-in folders");
    authorizeCommand->add_option("folders", authorize->folders, "Folders to authorize");
    authorizeCommand->add_flag("--standard", authorize->standard,
                               "Every standard plug-in folder of the profile that exists (on Linux also those "
                               "CLAP_PATH, VST_PATH and LV2_PATH name)");
    authorizeCommand->add_flag("--dry-run", authorize->dryRun, "Only say what would be granted");
    addJsonFlag(*authorizeCommand, context, "Print the granted and the already authorized folders as JSON");
    authorizeCommand->callback([authorize, &context] { authorizeFolders(context, *authorize); });
    auto* foldersCommand = app.add_subcommand("folders", "List the authorized plug-in folders");
    addJsonFlag(*foldersCommand, context, "Print the folders as a JSON array");
    foldersCommand->callback([&context] { listFolders(context); });

    auto listSearch = std::make_shared<std::string>();
    auto* list = app.add_subcommand("list", "Show the inventory of plug-in products");
    addJsonFlag(*list, context, "Print the products as JSON");
    list->add_option("--search", *listSearch,
                     "Only the products whose name, manufacturer or plug-ins contain TEXT (any letter case)");
    list->callback([listSearch, &context] { listInventory(context, *listSearch); });

    for (const bool isProtected : {true, false}) {
        auto options = std::make_shared<ProductOptions>();
        auto* command = app.add_subcommand(
            isProtected ? "protect" : "unprotect",
            isProtected ? "Lock products against every file action" : "Remove the protection of products");
        command->add_option("names", options->names, "Product names")->required();
        command->add_option("-m,--manufacturer", options->manufacturer, "The products' manufacturer");
        command->callback(
            [options, isProtected, &context] { changeProductProtection(context, *options, isProtected); });

        auto bundle = std::make_shared<BundleOptions>();
        auto* format = app.add_subcommand(
            isProtected ? "protect-format" : "unprotect-format",
            isProtected ? "Lock one format bundle of a product" : "Remove the protection of one format bundle");
        format->add_option("name", bundle->name, "Product name")->required();
        format->add_option("format", bundle->format, "Format: AU, VST2, VST3, AAX, CLAP or LV2")->required();
        format->add_option("-m,--manufacturer", bundle->manufacturer, "The product's manufacturer");
        format->add_option("--path", bundle->path, "The bundle's path, when the product has two of that format");
        format->callback([bundle, isProtected, &context] { changeBundleProtection(context, *bundle, isProtected); });
    }

    auto* history = app.add_subcommand("history", "Show the operation history, newest first");
    addJsonFlag(*history, context, "Print the grouped operations as JSON");
    history->callback([&context] { showHistory(context); });

    auto* trash = app.add_subcommand("trash-records", "Show the bundles sent to the Finder Trash and their state");
    addJsonFlag(*trash, context, "Print the records and their states as JSON");
    trash->callback([&context] { showTrashRecords(context); });

    auto* rules = app.add_subcommand("rules", "Show the permanent-quarantine rule of each manufacturer");
    addJsonFlag(*rules, context, "Print the manufacturers and their rules as JSON");
    rules->callback([&context] { showRules(context); });
    auto ruleOptions = std::make_shared<RuleOptions>();
    auto* rule = app.add_subcommand("rule", "Switch a manufacturer's permanent-quarantine rule on or off");
    rule->add_option("setting", ruleOptions->setting, "on or off")->required()->check(CLI::IsMember({"on", "off"}));
    rule->add_option("manufacturer", ruleOptions->manufacturer, "The manufacturer")->required();
    addJsonFlag(*rule, context,
                "Print the rule as JSON; a rule already in the asked state is left as it is (changed: false)");
    rule->add_flag("--dry-run", ruleOptions->dryRun, "With --json: only say whether the rule would change");
    rule->callback([ruleOptions, &context] { changeRule(context, *ruleOptions); });
}

}  // namespace kestrova::cli
