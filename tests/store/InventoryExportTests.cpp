#include "store/InventoryExports.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>
#include <vector>

namespace kestrova {
namespace {

constexpr std::string_view inventoryHeader =
    "Plugin,Manufacturer,Version,Formats,Architecture,Size,Status,Protected,Bundle Locations\n";
constexpr std::string_view historyHeader = "Time,Operation,Product,Formats,Format Bundles,Detail,Result\n";

PluginBundleRecord bundle(std::string format, std::string path, bool isProtected = false) {
    PluginBundleRecord record;
    record.format = std::move(format);
    record.architecture = "Universal";
    record.size = "1 MB";
    record.path = std::move(path);
    record.isProtected = isProtected;
    return record;
}

Plugin product(std::string name, std::string manufacturer, std::string version, std::vector<std::string> formats,
               std::string architecture, std::string size, PluginStatus status) {
    Plugin plugin;
    plugin.id = Uuid::random();
    plugin.name = std::move(name);
    plugin.manufacturer = std::move(manufacturer);
    plugin.version = std::move(version);
    plugin.formats = std::move(formats);
    plugin.architecture = std::move(architecture);
    plugin.size = std::move(size);
    plugin.status = status;
    return plugin;
}

HistoryItem item(std::string plugin, HistoryKind kind, std::string detail, std::string time,
                 std::optional<std::string> transactionID = std::nullopt,
                 std::optional<std::string> format = std::nullopt) {
    return HistoryItem{Uuid::random(), std::move(plugin), kind,        std::move(detail), std::move(time),
                       transactionID,  std::move(format), std::nullopt};
}

// Commas, quotes and line feeds together are quoted in the product names of
// the inventory below; each on its own, and what stays bare, here.
TEST(InventoryExports, CsvFieldQuotesOnlyCommasQuotesAndLineFeeds) {
    EXPECT_EQ(csvField(""), "");
    EXPECT_EQ(csvField("a,b"), "\"a,b\"");
    EXPECT_EQ(csvField("\""), "\"\"\"\"");
    EXPECT_EQ(csvField("line one\nline two"), "\"line one\nline two\"");
    EXPECT_EQ(csvField("carriage\rreturn"), "carriage\rreturn");
    EXPECT_EQ(csvField("Über | Ñ"), "Über | Ñ");
}

TEST(InventoryExports, InventoryCsvByteForByte) {
    auto proQ = product("Pro-Q 3, \"Studio\"", "FabFilter", "3.21", {"AU", "VST3"}, "Universal", "39.8 MB",
                        PluginStatus::partiallyProtected);
    proQ.isProtected = true;
    // Recorded out of order: locations follow the format order.
    proQ.bundles = {bundle("VST3", "/Library/Audio/Plug-Ins/VST3/Pro-Q 3.vst3", true),
                    bundle("AU", "/Library/Audio/Plug-Ins/Components/Pro-Q 3.component")};

    auto padded = product(" Padded Synth ", "Acme; Audio", "1.0\nbeta", {"VST2", "CLAP"}, "Apple Silicon", "8 MB",
                          PluginStatus::partiallyQuarantined);
    auto quarantined = bundle("VST2", "/Library/Audio/Plug-Ins/VST/Padded Synth.vst");
    quarantined.originalPath = quarantined.path;
    quarantined.quarantinePath =
        "/Library/Application Support/Kestrova/Quarantine/0C9E6B8A-1D2F-4A3B-8C7D-6E5F4A3B2C1D/Padded Synth.vst";
    quarantined.quarantineOperationID = "0C9E6B8A-1D2F-4A3B-8C7D-6E5F4A3B2C1D";
    padded.bundles = {quarantined, bundle("CLAP", "/Library/Audio/Plug-Ins/CLAP/Padded Synth.clap")};

    // An older record without bundles stands for its one format.
    auto vintage = product("Vintage Comp", "OldCo", "", {"VST2"}, "Intel", "2.1 MB", PluginStatus::protected_);
    vintage.isProtected = true;
    vintage.path = "/Library/Audio/Plug-Ins/VST/Vintage Comp.vst";

    auto shell =
        product("WaveShell1-VST3 14.0", "Waves", "14.0", {"VST3"}, "Universal", "120 MB", PluginStatus::sharedShell);
    shell.isProtected = true;
    shell.bundles = {bundle("VST3", "/Library/Audio/Plug-Ins/VST3/WaveShell1-VST3 14.0.vst3", true)};

    auto hosted = product("Waves Tune", "Waves", "14.0", {"AU", "VST3"}, "Universal", "", PluginStatus::hostedByShell);
    hosted.isProtected = true;

    const std::vector<Plugin> products{proQ, padded, vintage, shell, hosted};
    const std::string expected =
        "Plugin,Manufacturer,Version,Formats,Architecture,Size,Status,Protected,Bundle Locations\n"
        "\"Pro-Q 3, \"\"Studio\"\"\",FabFilter,3.21,AU | VST3,Universal,39.8 MB,Partially Protected,"
        "Partially Protected,AU [Not Protected]: /Library/Audio/Plug-Ins/Components/Pro-Q 3.component | "
        "VST3 [Protected]: /Library/Audio/Plug-Ins/VST3/Pro-Q 3.vst3\n"
        " Padded Synth ,Acme; Audio,\"1.0\nbeta\",VST2 | CLAP,Apple Silicon,8 MB,Partially Quarantined,"
        "Not Protected,CLAP [Not Protected]: /Library/Audio/Plug-Ins/CLAP/Padded Synth.clap | "
        "VST2 [Not Protected]: /Library/Application Support/Kestrova/Quarantine/"
        "0C9E6B8A-1D2F-4A3B-8C7D-6E5F4A3B2C1D/Padded Synth.vst\n"
        "Vintage Comp,OldCo,,VST2,Intel,2.1 MB,Protected,All Formats Protected,"
        "VST2 [Protected]: /Library/Audio/Plug-Ins/VST/Vintage Comp.vst\n"
        "WaveShell1-VST3 14.0,Waves,14.0,VST3,Universal,120 MB,Shared Shell,Mandatory Protection,"
        "VST3 [Protected]: /Library/Audio/Plug-Ins/VST3/WaveShell1-VST3 14.0.vst3\n"
        "Waves Tune,Waves,14.0,AU | VST3,Universal,,Hosted by WaveShell,Mandatory Protection,\n";
    EXPECT_EQ(inventoryCSV(products), expected);
    EXPECT_EQ(inventoryCSV({}), inventoryHeader);
}

TEST(InventoryExports, StatusAndProtectionColumnsFollowTheStatusAndTheBundles) {
    // Statuses not shown above; shells have mandatory protection by status alone.
    const std::vector<std::tuple<PluginStatus, std::string, std::string>> cases{
        {PluginStatus::ok, "OK", "Not Protected"},
        {PluginStatus::legacy, "Legacy", "Not Protected"},
        {PluginStatus::quarantined, "Ready to Restore", "Not Protected"},
        {PluginStatus::sharedShell, "Shared Shell", "Mandatory Protection"},
        {PluginStatus::hostedByShell, "Hosted by WaveShell", "Mandatory Protection"},
    };
    for (const auto& [status, title, protection] : cases) {
        EXPECT_EQ(inventoryCSV(std::vector<Plugin>{product("P", "M", "1", {}, "A", "S", status)}),
                  std::string(inventoryHeader) + "P,M,1,,A,S," + title + "," + protection + ",\n");
    }

    // Product-level protection counts only while there are no bundle records.
    auto withBundles = product("P", "M", "1", {"AU"}, "A", "S", PluginStatus::ok);
    withBundles.isProtected = true;
    withBundles.bundles = {bundle("AU", "/a.component")};
    EXPECT_EQ(inventoryCSV(std::vector<Plugin>{withBundles}),
              std::string(inventoryHeader) + "P,M,1,AU,A,S,OK,Not Protected,AU [Not Protected]: /a.component\n");
}

TEST(InventoryExports, HistoryCsvByteForByte) {
    const std::vector<HistoryItem> history{
        item("Pro-Q 3", HistoryKind::quarantine, "Moved the VST3 bundle to quarantine.", "3:07 PM", "TX-1", "VST3"),
        item("Pro-Q 3", HistoryKind::quarantine, "Moved the AU bundle to quarantine.", "3:07 PM", "TX-1", "AU"),
        item("Inventory scan", HistoryKind::scanCanceled, "The scan was canceled, so the inventory was kept.",
             "3:05 PM"),
        item("Keep AU and VST3", HistoryKind::cleanupPresetPartiallyCompleted, "2 of 3 transactions completed.",
             "2:59 PM"),
        item("Saturn 2", HistoryKind::protection, "Protected \"Saturn 2\" against file actions.", "2:50 PM"),
        item("Old Synth", HistoryKind::restore, "Restored with an atomic move.", "2:40 PM"),
        item("Pro-L 2", HistoryKind::canceled, "Trash move canceled.", "2:30 PM", std::nullopt, "VST2"),
        item("Keep AU only", HistoryKind::cleanupPresetCanceled, "Nothing was moved.", "2:20 PM"),
    };
    const std::string expected =
        "Time,Operation,Product,Formats,Format Bundles,Detail,Result\n"
        "3:07 PM,Moved to Quarantine,Pro-Q 3,AU + VST3,2,"
        "AU + VST3 moved to reversible quarantine as one product transaction.,Successful\n"
        "3:05 PM,Scan Canceled,Inventory scan,,,\"The scan was canceled, so the inventory was kept.\","
        "No changes made\n"
        "2:59 PM,Cleanup Preset Partially Completed,Keep AU and VST3,,,2 of 3 transactions completed.,"
        "Partially Completed\n"
        "2:50 PM,Protection Enabled,Saturn 2,,,\"Protected \"\"Saturn 2\"\" against file actions.\",Successful\n"
        "2:40 PM,Restored,Old Synth,,1,"
        "1 format bundle restored to the recorded original location as one product transaction.,Successful\n"
        "2:30 PM,Move to Trash Canceled,Pro-L 2,VST2,,Trash move canceled.,No changes made\n"
        "2:20 PM,Cleanup Preset Canceled,Keep AU only,,,Nothing was moved.,No changes made\n";
    EXPECT_EQ(historyCSV(history), expected);
    EXPECT_EQ(historyCSV({}), historyHeader);
}

}  // namespace
}  // namespace kestrova
