#include "store/state/InventoryStateMigration.h"

#include "model/ProductStatus.h"

#include <fmt/format.h>

namespace kestrova::InventoryStateMigration {
namespace {

bool hasMandatoryProtection(const Plugin& plugin) {
    return protectionCoverage(plugin) == ProtectionCoverage::mandatory;
}

}  // namespace

PluginBundleRecord bundleFromProductFields(const Plugin& plugin, bool isProtected) {
    PluginBundleRecord bundle;
    bundle.format = plugin.formats.front();
    bundle.architecture = plugin.architecture;
    bundle.size = plugin.size;
    bundle.path = plugin.path;
    bundle.originalPath = plugin.originalPath;
    bundle.quarantinePath = plugin.quarantinePath;
    bundle.quarantineOperationID = plugin.quarantineOperationID;
    bundle.isProtected = isProtected;
    return bundle;
}

std::string MigrationError::description() const {
    return fmt::format("Inventory schema {} is newer than this Kestrova build supports.", unsupportedSchemaVersion);
}

Plugin upgradedPlugin(Plugin plugin, const std::set<std::string>& protectedKeys) {
    const bool mandatory = hasMandatoryProtection(plugin);
    const bool keep = mandatory || plugin.isProtected || protectedKeys.contains(productKey(plugin));
    if (plugin.bundles) {
        // Per-bundle flags written by older builds are not trusted: the
        // product's protection decides for all of its bundles.
        for (auto& bundle : *plugin.bundles) {
            bundle.isProtected = keep;
        }
    } else if (plugin.formats.size() == 1) {
        plugin.bundles = std::vector<PluginBundleRecord>{bundleFromProductFields(plugin, keep)};
    }
    plugin.isProtected = keep;
    if (keep && !mandatory && plugin.status != PluginStatus::quarantined &&
        plugin.status != PluginStatus::partiallyQuarantined) {
        plugin.status = PluginStatus::protected_;
    }
    return plugin;
}

kestrova::Result<Result, MigrationError> migrate(PersistedInventory state) {
    const auto version = state.effectiveSchemaVersion();
    if (version > currentInventorySchemaVersion) {
        return MigrationError::unsupportedSchema(version);
    }
    if (version == currentInventorySchemaVersion) {
        return Result{std::move(state), false};
    }
    const std::set<std::string> protectedKeys(state.protectedKeys.begin(), state.protectedKeys.end());
    for (auto& plugin : state.plugins) {
        plugin = upgradedPlugin(std::move(plugin), protectedKeys);
    }
    state.schemaVersion = currentInventorySchemaVersion;
    return Result{std::move(state), true};
}

}  // namespace kestrova::InventoryStateMigration
