// state check: what the application would find in the state file of a home,
// without writing anything, so a damaged or newer file can be looked at
// before the application blocks on it.
#include "cli/Commands.h"

#include "model/JsonCoding.h"
#include "model/ProductStatus.h"
#include "store/state/LoadedInventoryState.h"
#include "store/state/PersistedInventoryFile.h"

#include <fmt/format.h>

#include <ctime>
#include <limits>
#include <ostream>

namespace kestrova::cli {
namespace {

struct StateCounts {
    std::size_t products = 0;
    std::size_t bundles = 0;
    std::size_t quarantinedBundles = 0;
    std::size_t protectedProducts = 0;
    std::size_t protectedKeys = 0;
    std::size_t historyItems = 0;
    std::size_t trashRecords = 0;
    std::size_t cleanupRuns = 0;
    std::size_t permanentQuarantineRules = 0;
    std::size_t inaccessibleLocations = 0;
};

struct StateCheck {
    std::string file;                   // the state file of the home
    std::optional<std::string> source;  // the file that would be read; absent on a first launch
    std::optional<InventoryStateError> error;
    std::int64_t schemaVersion = 0;  // as found in the file
    bool wouldMigrate = false;
    bool wouldCopyLegacy = false;
    StateCounts counts;
    std::vector<std::string> pendingTransactions;
    std::optional<Date> lastScanDate;
};

// The schema version as written, read past the records so that it shows
// even for a file that no longer decodes.
std::int64_t writtenSchemaVersion(const std::string& file, const FileSystem& fileSystem) {
    const auto contents = fileSystem.readFile(file);
    if (!contents) {
        return 0;
    }
    const auto document = Json::parse(*contents, nullptr, false);
    if (!document.is_object()) {
        return 0;
    }
    const auto found = document.find("schemaVersion");
    if (found == document.end()) {
        return 1;
    }
    if (found->is_number_unsigned() && found->get<std::uint64_t>() > std::numeric_limits<std::int64_t>::max()) {
        return 0;
    }
    return found->is_number_integer() ? found->get<std::int64_t>() : 0;
}

StateCheck checkState(const SystemLayout& layout, const FileSystem& fileSystem) {
    StateCheck check;
    check.file = inventoryStateURL(layout);
    const auto legacy = legacyInventoryStateURL(layout);
    if (fileSystem.existsWithoutFollowing(check.file)) {
        check.source = check.file;
    } else if (fileSystem.existsWithoutFollowing(legacy)) {
        check.source = legacy;
        check.wouldCopyLegacy = true;
    } else {
        return check;
    }
    check.schemaVersion = writtenSchemaVersion(*check.source, fileSystem);
    auto loaded = readPersistedInventory(*check.source, fileSystem);
    if (!loaded) {
        check.error = loaded.error();
        check.wouldCopyLegacy = false;
        return check;
    }
    check.wouldMigrate = loaded->didMigrate;
    const auto& persisted = loaded->state;
    if (persisted.pendingPrivilegedQuarantine) {
        check.pendingTransactions.push_back("quarantine " + persisted.pendingPrivilegedQuarantine->transactionID);
    }
    if (persisted.pendingPrivilegedRestore) {
        check.pendingTransactions.push_back("restore " + persisted.pendingPrivilegedRestore->transactionID);
    }
    if (persisted.pendingPrivilegedTrash) {
        check.pendingTransactions.push_back("trash " + persisted.pendingPrivilegedTrash->transactionID);
    }
    if (persisted.pendingPrivilegedTrashRestore) {
        check.pendingTransactions.push_back("trash-restore " + persisted.pendingPrivilegedTrashRestore->transactionID);
    }
    // Counted as the application would hold them, after the load-time repair.
    const auto state = applyLoadedState(std::move(loaded->state));
    auto& counts = check.counts;
    counts.products = state.plugins.size();
    for (const auto& plugin : state.plugins) {
        for (const auto& bundle : bundleRecords(plugin)) {
            ++counts.bundles;
            counts.quarantinedBundles += bundle.isQuarantined() ? 1 : 0;
        }
        counts.protectedProducts += plugin.isProtected ? 1 : 0;
    }
    counts.protectedKeys = state.protectedKeys.size();
    counts.historyItems = state.history.size();
    counts.trashRecords = state.trashedBundles.size();
    counts.cleanupRuns = state.formatCleanupRuns.size();
    counts.permanentQuarantineRules = state.permanentQuarantineRules.size();
    counts.inaccessibleLocations = state.inaccessibleLocations.size();
    check.lastScanDate = state.lastScanDate;
    return check;
}

std::string_view kindName(InventoryStateError::Kind kind) {
    switch (kind) {
        case InventoryStateError::Kind::unreadable:
            return "unreadable";
        case InventoryStateError::Kind::damaged:
            return "damaged";
        case InventoryStateError::Kind::unsupportedSchema:
            return "unsupportedSchema";
        case InventoryStateError::Kind::notWritten:
            return "notWritten";
    }
    return {};
}

std::string utcText(Date date) {
    const auto seconds = static_cast<std::time_t>(date.unixSeconds());
    std::tm parts{};
    ::gmtime_r(&seconds, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

Json checkJson(const StateCheck& check) {
    Json json = Json::object();
    json["file"] = check.file;
    json["status"] = !check.source ? "absent" : check.error ? "error" : "ok";
    if (check.source) {
        json["source"] = *check.source;
        json["schemaVersion"] = check.schemaVersion;
    }
    if (check.error) {
        json["error"] = {{"kind", kindName(check.error->kind)}, {"description", check.error->description}};
        return json;
    }
    if (!check.source) {
        return json;
    }
    json["wouldMigrate"] = check.wouldMigrate;
    json["wouldCopyLegacy"] = check.wouldCopyLegacy;
    const auto& c = check.counts;
    json["counts"] = {{"products", c.products},
                      {"bundles", c.bundles},
                      {"quarantinedBundles", c.quarantinedBundles},
                      {"protectedProducts", c.protectedProducts},
                      {"protectedKeys", c.protectedKeys},
                      {"historyItems", c.historyItems},
                      {"trashRecords", c.trashRecords},
                      {"cleanupRuns", c.cleanupRuns},
                      {"permanentQuarantineRules", c.permanentQuarantineRules},
                      {"inaccessibleLocations", c.inaccessibleLocations}};
    json["pendingTransactions"] = check.pendingTransactions;
    if (check.lastScanDate) {
        json["lastScanDate"] = check.lastScanDate->secondsSinceReferenceDate;
    }
    return json;
}

void printCheck(std::ostream& out, std::ostream& err, const StateCheck& check) {
    if (!check.source) {
        out << fmt::format("No inventory state at {} (first launch: nothing to load).\n", check.file);
        return;
    }
    out << fmt::format("State file: {}\n", *check.source);
    if (check.error) {
        err << fmt::format("The state cannot be loaded ({}): {}\n", kindName(check.error->kind),
                           check.error->description);
        return;
    }
    if (check.wouldCopyLegacy) {
        out << fmt::format("Only the legacy file exists; it would be copied to {} and left in place.\n", check.file);
    }
    out << fmt::format("Schema version: {}{}\n", check.schemaVersion,
                       check.wouldMigrate ? fmt::format(" (would be upgraded to {})", currentInventorySchemaVersion)
                                          : std::string(" (current)"));
    const auto& c = check.counts;
    out << fmt::format("Products: {} ({} protected)\n", c.products, c.protectedProducts);
    out << fmt::format("Format bundles: {} ({} quarantined)\n", c.bundles, c.quarantinedBundles);
    out << fmt::format("Protected keys: {}\n", c.protectedKeys);
    out << fmt::format("History items: {}\n", c.historyItems);
    out << fmt::format("Trash recovery records: {}\n", c.trashRecords);
    out << fmt::format("Cleanup runs: {}\n", c.cleanupRuns);
    out << fmt::format("Permanent quarantine rules: {}\n", c.permanentQuarantineRules);
    out << fmt::format("Unreadable plug-in folders at the last scan: {}\n", c.inaccessibleLocations);
    out << fmt::format("Last scan: {}\n", check.lastScanDate ? utcText(*check.lastScanDate) : "never");
    if (check.pendingTransactions.empty()) {
        out << "Pending transactions: none\n";
    } else {
        for (const auto& pending : check.pendingTransactions) {
            out << fmt::format("Pending transaction: {}\n", pending);
        }
    }
}

}  // namespace

void addStateCommands(CLI::App& app, CliContext& context) {
    auto* state = app.add_subcommand("state", "Look at the inventory state file");
    state->require_subcommand(1);
    auto* check = state->add_subcommand("check", "Load the state file read-only and report what it holds");
    addJsonFlag(*check, context, "Print the report as JSON");
    check->callback([&context] {
        const auto result = checkState(context.layout(), realFileSystem());
        if (context.json) {
            context.printJson(checkJson(result));
        } else {
            printCheck(*context.out, *context.err, result);
        }
        // A file the application could not load is what the check exists to find.
        context.setExitCode(result.error ? ExitCode::failed : ExitCode::done);
    });
}

}  // namespace kestrova::cli
