// Every key of the state file and every stored name, held against a document
// an earlier build wrote (fixed text, not produced by today's writer): a key
// or a name renamed in the reader and writer together would still round-trip
// and pass every other test, but would lose that field in every user's file.
#include "../StateSamples.h"
#include "store/state/PersistedInventory.h"

#include <gtest/gtest.h>

#include <set>

namespace kestrova {
namespace {

// fullState() as a build of schema 3 wrote it (every key present; records
// one to a line).
constexpr std::string_view writtenByEarlierBuild = R"(
{
  "formatCleanupRuns": [
    {"childTransactionIDs":["F7503C90-0B1E-4B7D-9D99-E6BC4E754D37","DDC2B070-7FB9-46E1-A03C-1843967FE560"],"createdAt":786000300.0,"id":"DB5F7601-F9EF-4DBD-8780-B42E507EE67A","planID":"688964F5-51F5-4489-88A5-77A23557ABCB","preset":"retireVST2","selections":[{"bundleID":"AU|/library/audio/plug-ins/components/reverb.component","pluginID":"10DF1028-3B88-4800-A6D0-00CE27F2E2BE"}],"status":"partiallyCompleted"}],
  "history": [
    {"detail":"Moved “AU” to quarantine.","format":"AU","id":"509EDEF5-E2CD-4681-BF5E-0FE056B926E5","kind":"Moved to Quarantine","plugin":"Reverb","presetRunID":"56760BBE-3DE1-4EF9-BE96-5553D1EE56BF","time":"10:42 AM","transactionID":"TX-1"},
    {"detail":"Found 2 products.","id":"7178AFAD-9E93-4DC1-B314-F1265031548B","kind":"Scan Completed","plugin":"Inventory","time":"9:00 AM"}],
  "inaccessibleLocations": ["/Library/Audio/Plug-Ins/VST"],
  "lastReconciliation": {"addedBundles":3,"manuallyRestoredBundles":2,"missingBundles":1,"missingCheckWasLimited":true},
  "lastScanDate": 786543210.1234568,
  "pendingPrivilegedQuarantine": {"items":[{"destinationPath":"/Library/Application Support/Kestrova/Quarantine/OP2/Reverb.vst3","operationID":"OP2","sourcePath":"/Library/Audio/Plug-Ins/VST3/Reverb.vst3"}],"transactionID":"TX-4"},
  "pendingPrivilegedRestore": {"items":[{"destinationPath":"/Library/Audio/Plug-Ins/Components/Reverb.component","operationID":"OP","sourcePath":"/q/OP/Reverb.component"}],"transactionID":"TX-5"},
  "pendingPrivilegedTrash": {"items":[{"destinationPath":"/Users/me/.Trash/A.vst","operationID":"OP","sourcePath":"/q/OP/A.vst","originalPath":"/Library/Audio/Plug-Ins/VST/A.vst"}],"transactionID":"TX-6","side":"user"},
  "pendingPrivilegedTrashRestore": {"items":[{"destinationPath":"/Library/Application Support/Avid/Audio/Plug-Ins/Delay.aaxplugin","format":"AAX","originalBundleFilename":"Delay.aaxplugin","recoveryRecordID":"EFFB7834-E0E0-43A9-BBE3-B767812F5A8F","sourcePath":"/Users/me/.Trash/Delay.aaxplugin"}],"transactionID":"TX-7"},
  "permanentQuarantineRules": [
    {"enabledAt":786000400.125,"manufacturer":"Universal Audio"}],
  "plugins": [
    {"architecture":"Universal","bundles":[{"architecture":"Universal","format":"AU","isProtected":true,"originalPath":"/Library/Audio/Plug-Ins/Components/Reverb.component","path":"/Library/Application Support/Kestrova/Quarantine/OP/Reverb.component","pluginNames":["Reverb Plate","Reverb Hall"],"presetRunID":"5012E2CF-76C3-4C73-8F4B-16DA7D3F7781","quarantineOperationID":"5B1D7A7E-32C6-4B1B-9E0C-8C8C2D1F0A11","quarantinePath":"/Library/Application Support/Kestrova/Quarantine/OP/Reverb.component","size":"12.5 MB","version":"2.0.1"},{"architecture":"Universal","format":"VST3","isProtected":false,"path":"/Library/Audio/Plug-Ins/VST3/Reverb.vst3","size":"12.5 MB"}],"formats":["AU","VST3"],"id":"10DF1028-3B88-4800-A6D0-00CE27F2E2BE","isProtected":true,"manufacturer":"Acme","name":"Reverb/Plate \"A\" ünïcode","originalPath":"/Library/Audio/Plug-Ins/VST3/Old.vst3","path":"/Library/Audio/Plug-Ins/VST3/Reverb/Plate \"A\" ünïcode.vst3","quarantineOperationID":"5B1D7A7E-32C6-4B1B-9E0C-8C8C2D1F0A11","quarantinePath":"/Library/Application Support/Kestrova/Quarantine/OP/Old.vst3","size":"25 MB","status":"Partially Quarantined","version":"1.0"},
    {"architecture":"Universal","formats":["AAX"],"id":"101D9E71-60A9-40A9-9BF7-46E866D24030","isProtected":false,"manufacturer":"Other","name":"Delay","path":"/Library/Audio/Plug-Ins/VST3/Delay.vst3","size":"25 MB","status":"OK","version":"1.0"}],
  "protectedKeys": ["zeta|z","acme|reverb"],
  "schemaVersion": 3,
  "trashedBundles": [
    {"format":"AAX","id":"EFFB7834-E0E0-43A9-BBE3-B767812F5A8F","manufacturer":"Other","missingDetectedDate":786000200.75,"operationDate":786000000.5,"originalPath":"/Library/Application Support/Avid/Audio/Plug-Ins/Delay.aaxplugin","pluginName":"Delay","presetRunID":"D5051AD2-6194-4258-AEF1-198AAB33B27F","reconciledDate":786000100.25,"restoreTransactionID":"TX-3","trashPath":"/Users/me/.Trash/Delay.aaxplugin","trashTransactionID":"TX-2"}]
})";

// The key paths of a document, arrays' elements merged ("plugins[].bundles[].path").
void collectKeys(const Json& value, const std::string& at, std::set<std::string>& keys) {
    if (value.is_object()) {
        for (const auto& [key, child] : value.items()) {
            keys.insert(at + "." + key);
            collectKeys(child, at + "." + key, keys);
        }
    } else if (value.is_array()) {
        for (const auto& child : value) {
            collectKeys(child, at + "[]", keys);
        }
    }
}
std::set<std::string> keysOf(const Json& document) {
    std::set<std::string> keys;
    collectKeys(document, "", keys);
    return keys;
}

TEST(StateFileKeys, AFileOfAnEarlierBuildIsReadFieldByField) {
    const auto earlier = Json::parse(writtenByEarlierBuild);
    // Today's writer writes exactly the keys the earlier build wrote...
    EXPECT_EQ(keysOf(Json::parse(encodePersistedInventory(testing::fullState()))), keysOf(earlier));
    // ...and each is read into its field: written back, every value is there.
    const auto decoded = decodePersistedInventory(writtenByEarlierBuild);
    ASSERT_TRUE(decoded) << decoded.error().message;
    EXPECT_EQ(Json::parse(encodePersistedInventory(*decoded)), earlier);
    EXPECT_EQ(decoded->pendingPrivilegedTrash->side, BundleSide::user);
}

// Each stored name of an enumeration, as earlier builds wrote it, in the
// order of its cases; every case is read from it and written back as it.
TEST(StateFileKeys, EveryStoredNameOfEveryCaseIsReadBack) {
    const std::vector<std::string_view> historyKinds{"Scan Completed",
                                                     "Scan Canceled",
                                                     "Restored",
                                                     "Moved to Quarantine",
                                                     "Moved to macOS Trash",
                                                     "Restored from Finder Trash",
                                                     "Protection Enabled",
                                                     "Protection Removed",
                                                     "Format Protection Enabled",
                                                     "Format Protection Removed",
                                                     "Move to Trash Canceled",
                                                     "Inventory Reconciled",
                                                     "Manual Restore Detected",
                                                     "Missing Trash Item Detected",
                                                     "Cleanup Preset Started",
                                                     "Cleanup Preset Completed",
                                                     "Cleanup Preset Partially Completed",
                                                     "Cleanup Preset Canceled"};
    const std::vector<std::string_view> statuses{"OK",
                                                 "Legacy",
                                                 "Protected",
                                                 "Partially Protected",
                                                 "Ready to Restore",
                                                 "Partially Quarantined",
                                                 "Shared Shell",
                                                 "Hosted by WaveShell"};
    const std::vector<std::string_view> presets{"auOnly", "auAndVST3", "retireVST2", "noAAX", "custom"};
    const std::vector<std::string_view> runStatuses{"pending", "completed", "partiallyCompleted", "canceled"};
    ASSERT_EQ(historyKinds.size(), static_cast<std::size_t>(historyKindCount));
    ASSERT_EQ(presets.size(), allFormatCleanupPresets.size());

    auto earlier = Json::parse(writtenByEarlierBuild);
    const auto readBack = [&](const std::string& pointer, std::string_view name) {
        auto document = earlier;
        document[Json::json_pointer(pointer)] = name;
        const auto decoded = decodePersistedInventory(document.dump());
        EXPECT_TRUE(decoded) << name;
        return decoded ? decoded.value() : PersistedInventory{};
    };
    for (std::size_t index = 0; index < historyKinds.size(); ++index) {
        const auto state = readBack("/history/0/kind", historyKinds[index]);
        EXPECT_EQ(state.history.at(0).kind, static_cast<HistoryKind>(index)) << historyKinds[index];
        EXPECT_EQ(rawValue(static_cast<HistoryKind>(index)), historyKinds[index]);
    }
    for (std::size_t index = 0; index < statuses.size(); ++index) {
        const auto state = readBack("/plugins/0/status", statuses[index]);
        EXPECT_EQ(state.plugins.at(0).status, static_cast<PluginStatus>(index)) << statuses[index];
        EXPECT_EQ(rawValue(static_cast<PluginStatus>(index)), statuses[index]);
    }
    for (std::size_t index = 0; index < presets.size(); ++index) {
        const auto state = readBack("/formatCleanupRuns/0/preset", presets[index]);
        EXPECT_EQ(state.formatCleanupRuns->at(0).preset, allFormatCleanupPresets[index]) << presets[index];
        EXPECT_EQ(rawValue(allFormatCleanupPresets[index]), presets[index]);
    }
    for (std::size_t index = 0; index < runStatuses.size(); ++index) {
        const auto state = readBack("/formatCleanupRuns/0/status", runStatuses[index]);
        EXPECT_EQ(state.formatCleanupRuns->at(0).status, static_cast<FormatCleanupRunStatus>(index))
            << runStatuses[index];
        EXPECT_EQ(rawValue(static_cast<FormatCleanupRunStatus>(index)), runStatuses[index]);
    }
}

}  // namespace
}  // namespace kestrova
