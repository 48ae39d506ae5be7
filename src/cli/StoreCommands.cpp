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
    auto opened = openStoreSession(context);
    if (!opened) {
        reportError(context, opened.error().message);
        return;
    }
    reportNotice(context, *(*opened)->store);
    command(**opened);
}

// ---- authorize, folders ----

void authorizeFolders(CliContext& context, const std::vector<std::string>& given) {
    withStore(context, [&](StoreSession& session) {
        auto folders = resolvedFolders(given, realFileSystem());
        if (!folders) {
            reportError(context, folders.error().message);
            return;
        }
        auto& access = *session.folderAccess;
        access.authorize(*folders);
        if (access.lastError()) {
            reportError(context, *access.lastError());
        }
        for (const auto& folder : access.authorizedFolders()) {
            *context.out << folder << '\n';
        }
    });
}

void listFolders(CliContext& context) {
    withStore(context, [&](StoreSession& session) {
        const auto& access = *session.folderAccess;
        if (access.lastError()) {
            reportError(context, *access.lastError());
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

void listInventory(CliContext& context, bool json, const std::string& search) {
    withStore(context, [&](StoreSession& session) {
        const auto& store = *session.store;
        if (json) {
            Json products = Json::array();
            for (const auto& product : store.plugins()) {
                if (productMatchesSearch(product, search)) {
                    products.push_back(JsonCoder<Plugin>::encode(product));
                }
            }
            *context.out << products.dump(2) << '\n';
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
                reportError(context, product.error().message + " Nothing was changed.");
                return;
            }
            products.push_back(**product);
        }
        if (products.size() == 1) {
            store.setProtection(products.front(), isProtected);
        } else {
            store.setProtectionForBatch(products, isProtected);
        }
        if (!reportNotice(context, store)) {
            // Shared shells and the products they host stay protected.
            reportError(context, products.size() == 1
                                     ? products.front().name + " has mandatory protection; nothing was changed."
                                     : "Every selected product has mandatory protection; nothing was changed.");
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
            reportNotice(context, store);
            return;
        }
        auto bundle = resolveBundle(store.plugins(), target);
        if (!bundle) {
            reportError(context, bundle.error().message + " Nothing was changed.");
            return;
        }
        store.setBundleProtection(bundle->selection, isProtected);
        reportNotice(context, store);
    });
}

// ---- history ----

void showHistory(CliContext& context, bool json) {
    withStore(context, [&](StoreSession& session) {
        const auto operations = groupedHistoryOperations(session.store->history());
        if (json) {
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
            *context.out << list.dump(2) << '\n';
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

void showTrashRecords(CliContext& context, bool json) {
    withStore(context, [&](StoreSession& session) {
        auto& store = *session.store;
        // As the Trash Recovery screen does each time it is shown.
        store.reconcileTrashRecords();
        reportNotice(context, store);
        const auto entries = store.trashRecoveryEntries();
        if (json) {
            Json list = Json::array();
            for (const auto& entry : entries) {
                Json object = Json::object();
                putField(object, "record", entry.record);
                putField(object, "state", entry.state);
                list.push_back(std::move(object));
            }
            *context.out << list.dump(2) << '\n';
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
        for (const auto& manufacturer : manufacturers) {
            const auto key = manufacturerKey(manufacturer);
            const auto& rules = store.permanentQuarantineRules();
            const auto rule =
                std::find_if(rules.begin(), rules.end(), [&](const auto& candidate) { return candidate.id() == key; });
            rows.push_back({rule == rules.end() ? "off" : "on", manufacturer,
                            rule == rules.end() ? "" : "since " + shortDateTimeText(rule->enabledAt)});
        }
        if (rows.empty()) {
            *context.out << "No manufacturers in the inventory and no rules.\n";
            return;
        }
        printTable(*context.out, {"Rule", "Manufacturer", "Enabled"}, rows);
    });
}

void changeRule(CliContext& context, const std::string& setting, const std::string& manufacturer) {
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
        store.setPermanentQuarantine(chosen, setting == "on");
        reportNotice(context, store);
    });
}

}  // namespace

void addStoreCommands(CLI::App& app, CliContext& context) {
    auto folders = std::make_shared<std::vector<std::string>>();
    app.add_subcommand("authorize", "Grant Kestrova access to plug-in folders")
        ->callback([folders, &context] { authorizeFolders(context, *folders); })
        ->add_option("folders", *folders, "Folders to authorize")
        ->required();
    app.add_subcommand("folders", "List the authorized plug-in folders")->callback([&context] {
        listFolders(context);
    });

    auto listJson = std::make_shared<bool>(false);
    auto listSearch = std::make_shared<std::string>();
    auto* list = app.add_subcommand("list", "Show the inventory of plug-in products");
    list->add_flag("--json", *listJson, "Print the products as JSON");
    list->add_option("--search", *listSearch,
                     "Only the products whose name, manufacturer or plug-ins contain TEXT (any letter case)");
    list->callback([listJson, listSearch, &context] { listInventory(context, *listJson, *listSearch); });

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

    auto historyJson = std::make_shared<bool>(false);
    auto* history = app.add_subcommand("history", "Show the operation history, newest first");
    history->add_flag("--json", *historyJson, "Print the grouped operations as JSON");
    history->callback([historyJson, &context] { showHistory(context, *historyJson); });

    auto trashJson = std::make_shared<bool>(false);
    auto* trash = app.add_subcommand("trash-records", "Show the bundles sent to the Finder Trash and their state");
    trash->add_flag("--json", *trashJson, "Print the records and their states as JSON");
    trash->callback([trashJson, &context] { showTrashRecords(context, *trashJson); });

    app.add_subcommand("rules", "Show the permanent-quarantine rule of each manufacturer")->callback([&context] {
        showRules(context);
    });
    auto setting = std::make_shared<std::string>();
    auto manufacturer = std::make_shared<std::string>();
    auto* rule = app.add_subcommand("rule", "Switch a manufacturer's permanent-quarantine rule on or off");
    rule->add_option("setting", *setting, "on or off")->required()->check(CLI::IsMember({"on", "off"}));
    rule->add_option("manufacturer", *manufacturer, "The manufacturer")->required();
    rule->callback([setting, manufacturer, &context] { changeRule(context, *setting, *manufacturer); });
}

}  // namespace kestrova::cli
