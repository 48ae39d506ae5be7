// Records for state-file tests: a product of the shape each case needs and a
// document that uses every record type with every optional field set.
#pragma once

#include "store/state/PersistedInventory.h"

#include <string>
#include <vector>

namespace kestrova::testing {

inline PluginBundleRecord sampleBundle(std::string format, std::string path, bool isProtected = false) {
    PluginBundleRecord bundle;
    bundle.format = std::move(format);
    bundle.architecture = "Universal";
    bundle.size = "12.5 MB";
    bundle.path = std::move(path);
    bundle.isProtected = isProtected;
    return bundle;
}

inline Plugin sampleProduct(std::string manufacturer, std::string name, std::vector<std::string> formats,
                            PluginStatus status = PluginStatus::ok) {
    Plugin plugin;
    plugin.id = Uuid::random();
    plugin.name = std::move(name);
    plugin.manufacturer = std::move(manufacturer);
    plugin.version = "1.0";
    plugin.formats = std::move(formats);
    plugin.architecture = "Universal";
    plugin.size = "25 MB";
    plugin.path = "/Library/Audio/Plug-Ins/VST3/" + plugin.name + ".vst3";
    plugin.status = status;
    return plugin;
}

// The bundle at `original` recorded as moved into the quarantine folder of
// `operationID` under `root`; its path is still the original one.
inline PluginBundleRecord quarantinedBundle(
    std::string format, const std::string& original, const std::string& operationID,
    const std::string& root = "/Library/Application Support/Kestrova/Quarantine") {
    auto bundle = sampleBundle(std::move(format), original);
    bundle.originalPath = original;
    bundle.quarantinePath = root + "/" + operationID + "/" + original.substr(original.rfind('/') + 1);
    bundle.quarantineOperationID = operationID;
    return bundle;
}

// A record of an earlier build: one format quarantined by `operationID`,
// kept on the product itself without bundle records.
inline Plugin legacyQuarantinedProduct(std::string manufacturer, std::string name, std::string format,
                                       const std::string& original, const std::string& operationID = "OP") {
    auto product =
        sampleProduct(std::move(manufacturer), std::move(name), {std::move(format)}, PluginStatus::quarantined);
    product.originalPath = original;
    product.path = "/Library/Application Support/Kestrova/Quarantine/" + operationID + "/" +
                   original.substr(original.rfind('/') + 1);
    product.quarantinePath = product.path;
    product.quarantineOperationID = operationID;
    return product;
}

// Every key of the document present and every optional field of every
// embedded record set, so a round trip that drops anything shows.
inline PersistedInventory fullState() {
    PersistedInventory state;
    state.schemaVersion = currentInventorySchemaVersion;

    auto product =
        sampleProduct("Acme", "Reverb/Plate \"A\" ünïcode", {"AU", "VST3"}, PluginStatus::partiallyQuarantined);
    product.isProtected = true;
    product.originalPath = "/Library/Audio/Plug-Ins/VST3/Old.vst3";
    product.quarantinePath = "/Library/Application Support/Kestrova/Quarantine/OP/Old.vst3";
    product.quarantineOperationID = "5B1D7A7E-32C6-4B1B-9E0C-8C8C2D1F0A11";
    auto quarantined = sampleBundle("AU", "/Library/Application Support/Kestrova/Quarantine/OP/Reverb.component", true);
    quarantined.originalPath = "/Library/Audio/Plug-Ins/Components/Reverb.component";
    quarantined.quarantinePath = quarantined.path;
    quarantined.quarantineOperationID = "5B1D7A7E-32C6-4B1B-9E0C-8C8C2D1F0A11";
    quarantined.presetRunID = Uuid::random();
    quarantined.pluginNames = std::vector<std::string>{"Reverb Plate", "Reverb Hall"};
    quarantined.version = "2.0.1";
    product.bundles = {quarantined, sampleBundle("VST3", "/Library/Audio/Plug-Ins/VST3/Reverb.vst3")};
    state.plugins = {product, sampleProduct("Other", "Delay", {"AAX"})};

    state.lastScanDate = Date{786543210.123456789};
    state.protectedKeys = {"zeta|z", "acme|reverb"};
    state.history = {HistoryItem{Uuid::random(), "Reverb", HistoryKind::quarantine, "Moved “AU” to quarantine.",
                                 "10:42 AM", "TX-1", "AU", Uuid::random()},
                     HistoryItem{Uuid::random(), "Inventory", HistoryKind::scan, "Found 2 products.", "9:00 AM",
                                 std::nullopt, std::nullopt, std::nullopt}};
    state.inaccessibleLocations = std::vector<std::string>{"/Library/Audio/Plug-Ins/VST"};
    state.lastReconciliation = ScanReconciliationSummary{3, 1, 2, true};
    state.trashedBundles = std::vector<TrashedBundleRecord>{TrashedBundleRecord{
        Uuid::random(), "Delay", "Other", "AAX", "/Library/Application Support/Avid/Audio/Plug-Ins/Delay.aaxplugin",
        "/Users/me/.Trash/Delay.aaxplugin", Date{786000000.5}, "TX-2", Uuid::random(), Date{786000100.25}, "TX-3",
        Date{786000200.75}}};
    state.formatCleanupRuns = std::vector<FormatCleanupRunRecord>{
        FormatCleanupRunRecord{Uuid::random(),
                               Uuid::random(),
                               FormatCleanupPresetKind::retireVST2,
                               Date{786000300.0},
                               FormatCleanupRunStatus::partiallyCompleted,
                               {PluginBundleSelection{product.id, quarantined.id()}},
                               {Uuid::random(), Uuid::random()}}};
    state.permanentQuarantineRules =
        std::vector<PermanentQuarantineRule>{PermanentQuarantineRule{"Universal Audio", Date{786000400.125}}};
    state.pendingPrivilegedQuarantine =
        PrivilegedQuarantineRequest{"TX-4",
                                    {{"/Library/Audio/Plug-Ins/VST3/Reverb.vst3",
                                      "/Library/Application Support/Kestrova/Quarantine/OP2/Reverb.vst3", "OP2"}}};
    state.pendingPrivilegedRestore = PrivilegedRestoreRequest{
        "TX-5", {{"/q/OP/Reverb.component", "/Library/Audio/Plug-Ins/Components/Reverb.component", "OP"}}};
    state.pendingPrivilegedTrash =
        PrivilegedTrashRequest{"TX-6",
                               {{"/q/OP/A.vst", "/Users/me/.Trash/A.vst", "OP", "/Library/Audio/Plug-Ins/VST/A.vst"}},
                               BundleSide::user};
    state.pendingPrivilegedTrashRestore = PrivilegedTrashRestoreRequest{
        "TX-7",
        {{"/Users/me/.Trash/Delay.aaxplugin", "/Library/Application Support/Avid/Audio/Plug-Ins/Delay.aaxplugin",
          state.trashedBundles->front().id.string(), "Delay.aaxplugin", "AAX"}}};
    return state;
}

// The smallest document a build writes: the three required keys.
inline PersistedInventory minimalState() {
    PersistedInventory state;
    state.schemaVersion = currentInventorySchemaVersion;
    return state;
}

}  // namespace kestrova::testing
