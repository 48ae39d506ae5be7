#include "store/state/LoadedInventoryState.h"

#include "store/state/InventoryStateMigration.h"

namespace kestrova {

bool repairLegacyQuarantinedRecord(Plugin& plugin) {
    if (plugin.bundles || plugin.status != PluginStatus::quarantined || plugin.formats.size() != 1 ||
        !plugin.originalPath || !plugin.quarantinePath || !plugin.quarantineOperationID) {
        return false;
    }
    plugin.bundles =
        std::vector<PluginBundleRecord>{InventoryStateMigration::bundleFromProductFields(plugin, plugin.isProtected)};
    return true;
}

LoadedInventoryState applyLoadedState(PersistedInventory state) {
    LoadedInventoryState loaded;
    loaded.plugins = std::move(state.plugins);
    for (auto& plugin : loaded.plugins) {
        repairLegacyQuarantinedRecord(plugin);
    }
    loaded.lastScanDate = state.lastScanDate;
    loaded.history = std::move(state.history);
    loaded.lastReconciliation = state.lastReconciliation;
    loaded.protectedKeys = std::set<std::string>(state.protectedKeys.begin(), state.protectedKeys.end());
    loaded.inaccessibleLocations = std::move(state.inaccessibleLocations).value_or(std::vector<std::string>{});
    loaded.trashedBundles = std::move(state.trashedBundles).value_or(std::vector<TrashedBundleRecord>{});
    loaded.formatCleanupRuns = std::move(state.formatCleanupRuns).value_or(std::vector<FormatCleanupRunRecord>{});
    loaded.permanentQuarantineRules =
        std::move(state.permanentQuarantineRules).value_or(std::vector<PermanentQuarantineRule>{});
    loaded.pendingPrivilegedQuarantine = std::move(state.pendingPrivilegedQuarantine);
    loaded.pendingPrivilegedRestore = std::move(state.pendingPrivilegedRestore);
    loaded.pendingPrivilegedTrash = std::move(state.pendingPrivilegedTrash);
    loaded.pendingPrivilegedTrashRestore = std::move(state.pendingPrivilegedTrashRestore);
    return loaded;
}

}  // namespace kestrova
