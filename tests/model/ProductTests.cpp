// Products: how discovered bundles group into them and what status they show.
#include "model/ProductGrouping.h"
#include "model/ProductStatus.h"
#include "platform/ByteCount.h"

#include "RecordBuilders.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

using testing::discovered;

std::optional<Plugin> grouped(std::vector<DiscoveredBundle> bundles) {
    return makeProduct(bundles, ByteCountFormatter(formatFileByteCount));
}

TEST(ProductGrouping, ArchitectureSummaryAndTheStatusItGives) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"Intel", "Intel"}, "Intel"},
        {{"Apple Silicon", "Unknown"}, "Apple Silicon, Unknown"},
        {{"Unknown", "Intel"}, "Intel, Unknown"},
        {{"Universal", "Unknown"}, "Mixed"},
        {{"Apple Silicon", "Intel", "Unknown"}, "Mixed"},
    };
    for (const auto& [values, expected] : cases) {
        EXPECT_EQ(architectureSummary(values), expected) << values.front();
    }
    // Intel alone is legacy (the recorded `list --json`); beside an unknown build it is not.
    const auto mixedUnknown = grouped({discovered("Old", "AU", "/o.component", "1.0", "Cradle", "Intel"),
                                       discovered("Old", "VST3", "/o.vst3", "1.0", "Cradle", "Unknown")});
    EXPECT_EQ(mixedUnknown->architecture, "Intel, Unknown");
    EXPECT_EQ(mixedUnknown->status, PluginStatus::ok);
}

TEST(ProductGrouping, RepresentativeIsTheFirstBundleInFormatOrder) {
    // Discovery order as the scanner walks: AU, VST3 (system), then VST3 (home).
    const auto products = groupIntoProducts(std::vector<DiscoveredBundle>{
        discovered("Pro-Q 3", "VST3", "/L/VST3/Pro-Q 3.vst3", "3.28", "FabFilter", "Universal", 30'000'000),
        discovered("Pro-Q 3", "AU", "/L/Components/Pro-Q 3.component", "3.27", "FabFilter", "Universal", 9'800'000),
        discovered("pro-q 3", "VST3", "/H/VST3/Pro-Q 3.vst3", "3.29", "fabfilter", "Apple Silicon", 1),
    });
    ASSERT_EQ(products.size(), 1u);  // the key ignores case
    const auto& product = products.front();
    EXPECT_EQ(
        product.name + "|" + product.version + "|" + product.path + "|" + product.architecture + "|" + product.size,
        "Pro-Q 3|3.27|/L/Components/Pro-Q 3.component|Mixed|39.8 MB");
    // Same format: by path, so /H comes before /L here.
    std::vector<std::string> bundles;
    for (const auto& record : product.bundles.value()) {
        bundles.push_back(record.path + " " + record.size + " " + record.architecture);
    }
    EXPECT_EQ(bundles, (std::vector<std::string>{"/L/Components/Pro-Q 3.component 9.8 MB Universal",
                                                 "/H/VST3/Pro-Q 3.vst3 1 byte Apple Silicon",
                                                 "/L/VST3/Pro-Q 3.vst3 30 MB Universal"}));
    // Same-format ties keep discovery order: /Z was found first.
    const auto tie = groupIntoProducts(std::vector<DiscoveredBundle>{discovered("Verb", "VST3", "/Z/Verb.vst3", "2.0"),
                                                                     discovered("Verb", "VST3", "/A/Verb.vst3")});
    EXPECT_EQ(tie.at(0).path + " " + tie.at(0).version, "/Z/Verb.vst3 2.0");

    // Products sort by manufacturer, then name, in plain byte order.
    std::vector<std::string> order;
    for (const auto& each : groupIntoProducts(std::vector<DiscoveredBundle>{
             discovered("b", "AU", "/1", "1", "acme"), discovered("Zed", "AU", "/2"), discovered("Alpha", "AU", "/3"),
             discovered("Any", "AU", "/4", "1", "Zeta")})) {
        order.push_back(each.manufacturer + "/" + each.name);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"Acme/Alpha", "Acme/Zed", "Zeta/Any", "acme/b"}));
}

TEST(ProductGrouping, EmptyGroupAndHugeSizes) {
    EXPECT_FALSE(grouped({}));
    const auto huge =
        makeProduct(std::vector<DiscoveredBundle>{discovered("X", "AU", "/1", "1", "Y", "Intel", INT64_MAX),
                                                  discovered("X", "VST3", "/2", "1", "Y", "Intel", INT64_MAX)},
                    [](std::uint64_t bytes) { return std::to_string(bytes); });
    EXPECT_EQ(huge->size, std::to_string(INT64_MAX));  // saturates, never wraps negative
}

// Bundles as "p" (protected), "q" (quarantined), "pq" or "" (neither); a
// quarantine needs both its path and its operation, and the product's own
// flag, set on each, is not consulted once it has bundles.
TEST(ProductStatus, QuarantineOutranksProtectionAndCoverageCountsBundles) {
    struct Case {
        std::vector<std::string> bundles;
        std::string architecture;
        ProtectionCoverage coverage;
        PluginStatus status;
    };
    const std::vector<Case> cases{
        {{"p", "pq", "p"}, "Universal", ProtectionCoverage::full, PluginStatus::partiallyQuarantined},
        {{"pq", "pq", "pq"}, "Universal", ProtectionCoverage::full, PluginStatus::quarantined},
        {{"p", "p", ""}, "Universal", ProtectionCoverage::partial, PluginStatus::partiallyProtected},
        {{"p", "p", "p"}, "Universal", ProtectionCoverage::full, PluginStatus::protected_},
        {{"", "", ""}, "Universal", ProtectionCoverage::none, PluginStatus::ok},
        {{"", "", ""}, "Intel", ProtectionCoverage::none, PluginStatus::legacy},
    };
    for (const auto& [bundles, architecture, coverage, status] : cases) {
        std::vector<PluginBundleRecord> records;
        for (const auto& flags : bundles) {
            records.push_back(testing::bundleRecord("VST3", "/" + std::to_string(records.size())));
            records.back().isProtected = flags.find('p') != std::string::npos;
            if (flags.find('q') != std::string::npos) {
                testing::quarantine(records.back(), "/Q");
            }
        }
        auto plugin = testing::product("Decapitator", "Soundtoys", records);
        plugin.isProtected = true;
        plugin.architecture = architecture;
        EXPECT_EQ(protectionCoverage(plugin), coverage) << ::testing::PrintToString(bundles);
        EXPECT_EQ(derivedStatus(plugin), status) << ::testing::PrintToString(bundles);
    }
    auto half = testing::product("Decapitator", "Soundtoys", {testing::bundleRecord("AU", "/a")});
    testing::quarantine(half.bundles->at(0), "/Q");
    half.bundles->at(0).quarantineOperationID.reset();
    EXPECT_EQ(derivedStatus(half), PluginStatus::ok);
}

TEST(ProductStatus, ShellsAreMandatoryAndKeepTheirStatus) {
    auto shell = testing::product("WaveShell1-VST3 14.12", "Waves", {testing::bundleRecord("VST3", "/s")});
    EXPECT_EQ(protectionCoverage(shell), ProtectionCoverage::mandatory);
    EXPECT_EQ(derivedStatus(shell), PluginStatus::sharedShell);
    shell.manufacturer = "waves";  // the manufacturer must match exactly
    EXPECT_FALSE(isSharedShell(shell));
    EXPECT_EQ(protectionCoverage(shell), ProtectionCoverage::none);
    shell.status = PluginStatus::sharedShell;
    EXPECT_TRUE(isSharedShell(shell));  // grouped shells, protected, are in the recorded `list --json`

    auto hosted = testing::product("SSL E-Channel", "Waves", {});
    hosted.formats = {"AU"};
    hosted.status = PluginStatus::hostedByShell;
    EXPECT_TRUE(bundleRecords(hosted).empty());
    EXPECT_EQ(protectionCoverage(hosted), ProtectionCoverage::mandatory);
    EXPECT_EQ(derivedStatus(hosted), PluginStatus::hostedByShell);
}

TEST(ProductStatus, BundleRecordsOfOlderProductsAndTheirOrder) {
    Plugin older;
    older.formats = {"VST3"};
    older.architecture = "Intel";
    older.size = "3 MB";
    older.path = "/Q/op/Old.vst3";
    older.originalPath = "/Library/Audio/Plug-Ins/VST3/Old.vst3";
    older.quarantinePath = "/Q/op/Old.vst3";
    older.quarantineOperationID = "OP";
    older.isProtected = true;
    const auto synthesized = bundleRecords(older);
    ASSERT_EQ(synthesized.size(), 1u);
    EXPECT_EQ(synthesized[0].originalPath, older.originalPath);
    EXPECT_TRUE(synthesized[0].isProtected);
    EXPECT_EQ(derivedStatus(older), PluginStatus::quarantined);

    older.formats = {"AU", "VST3"};
    EXPECT_TRUE(bundleRecords(older).empty());
    // No records: the product flag and the base status decide.
    EXPECT_EQ(derivedStatus(older), PluginStatus::protected_);
    older.isProtected = false;
    EXPECT_EQ(derivedStatus(older), PluginStatus::legacy);
    older.bundles = std::vector<PluginBundleRecord>{};  // present but empty counts as absent
    EXPECT_EQ(protectionCoverage(older), ProtectionCoverage::none);

    // Records of newer products sort by format, then path.
    std::vector<std::string> paths;
    for (const auto& record :
         bundleRecords(testing::product("X", "Y",
                                        {testing::bundleRecord("VST3", "/b"), testing::bundleRecord("AU", "/z"),
                                         testing::bundleRecord("VST3", "/a")}))) {
        paths.push_back(record.path);
    }
    EXPECT_EQ(paths, (std::vector<std::string>{"/z", "/a", "/b"}));
}

}  // namespace
}  // namespace kestrova
