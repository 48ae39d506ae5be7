// Products: how discovered bundles group into them and what status they show.
#include "model/ProductGrouping.h"
#include "model/ProductStatus.h"
#include "model/SampleInventory.h"
#include "platform/ByteCount.h"

#include <gtest/gtest.h>

#include <set>

namespace kestrova {
namespace {

DiscoveredBundle bundle(std::string name, std::string manufacturer, std::string format, std::string architecture,
                        std::int64_t size, std::string path, std::string version = "1.0") {
    return DiscoveredBundle{std::move(name),
                            std::move(manufacturer),
                            std::move(version),
                            std::move(format),
                            std::move(architecture),
                            size,
                            std::move(path),
                            {},
                            false};
}

TEST(ProductGrouping, ArchitectureSummary) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"Intel", "Intel"}, "Intel"},
        {{"Apple Silicon", "Unknown"}, "Apple Silicon, Unknown"},
        {{"Unknown", "Intel"}, "Intel, Unknown"},
        {{"Universal", "Unknown"}, "Mixed"},
        {{"Universal", "Apple Silicon"}, "Mixed"},
        {{"Apple Silicon", "Intel", "Unknown"}, "Mixed"},
    };
    for (const auto& [values, expected] : cases) {
        EXPECT_EQ(architectureSummary(values), expected) << values.front();
    }
}

TEST(ProductGrouping, RepresentativeIsTheFirstBundleInFormatOrder) {
    // Discovery order as the scanner walks: AU, VST3 (system), then VST3 (home).
    const std::vector<DiscoveredBundle> found{
        bundle("Pro-Q 3", "FabFilter", "VST3", "Universal", 30'000'000, "/L/VST3/Pro-Q 3.vst3", "3.28"),
        bundle("Pro-Q 3", "FabFilter", "AU", "Universal", 9'800'000, "/L/Components/Pro-Q 3.component", "3.27"),
        bundle("pro-q 3", "fabfilter", "VST3", "Apple Silicon", 1, "/H/VST3/Pro-Q 3.vst3", "3.29"),
    };
    const auto products = groupIntoProducts(found);
    ASSERT_EQ(products.size(), 1u);  // the key ignores case
    const auto& product = products.front();
    EXPECT_EQ(
        product.name + "|" + product.version + "|" + product.path + "|" + product.architecture + "|" + product.size,
        "Pro-Q 3|3.27|/L/Components/Pro-Q 3.component|Mixed|39.8 MB");
    EXPECT_EQ(product.formats, (std::vector<std::string>{"AU", "VST3"}));
    EXPECT_EQ(product.status, PluginStatus::ok);
    EXPECT_FALSE(product.isProtected || product.originalPath || product.quarantinePath);
    // Same format: by path, so /H comes before /L here.
    std::vector<std::string> bundles;
    for (const auto& record : product.bundles.value()) {
        bundles.push_back(record.path + " " + record.size + " " + record.architecture);
    }
    EXPECT_EQ(bundles, (std::vector<std::string>{"/L/Components/Pro-Q 3.component 9.8 MB Universal",
                                                 "/H/VST3/Pro-Q 3.vst3 1 byte Apple Silicon",
                                                 "/L/VST3/Pro-Q 3.vst3 30 MB Universal"}));
    // Same-format ties keep discovery order: /Z was found first.
    const auto tie = groupIntoProducts(
        std::vector<DiscoveredBundle>{bundle("Verb", "Acme", "VST3", "Apple Silicon", 1, "/Z/system/Verb.vst3", "2.0"),
                                      bundle("Verb", "Acme", "VST3", "Apple Silicon", 1, "/A/home/Verb.vst3", "1.0")});
    EXPECT_EQ(tie.at(0).path + " " + tie.at(0).version, "/Z/system/Verb.vst3 2.0");
}

TEST(ProductGrouping, StatusFromShellAndArchitectures) {
    const auto one = [](DiscoveredBundle b) {
        return *makeProduct(std::vector<DiscoveredBundle>{std::move(b)}, ByteCountFormatter(formatFileByteCount));
    };
    // The shell rule itself is ProductStatus's; a grouped product takes it on.
    const auto shell = one(bundle("WaveShell1-VST3 14.12", "Waves", "VST3", "Universal", 5, "/s.vst3"));
    EXPECT_EQ(shell.status, PluginStatus::sharedShell);
    EXPECT_TRUE(shell.isProtected);
    EXPECT_EQ(one(bundle("Old", "Cradle", "AU", "Intel", 5, "/o.component")).status, PluginStatus::legacy);

    const auto mixedUnknown =
        makeProduct(std::vector<DiscoveredBundle>{bundle("Old", "Cradle", "AU", "Intel", 5, "/o.component"),
                                                  bundle("Old", "Cradle", "VST3", "Unknown", 5, "/o.vst3")},
                    ByteCountFormatter(formatFileByteCount));
    EXPECT_EQ(mixedUnknown->architecture, "Intel, Unknown");
    EXPECT_EQ(mixedUnknown->status, PluginStatus::ok);
}

TEST(ProductGrouping, ProductsSortByManufacturerThenNameInPlainOrder) {
    const std::vector<DiscoveredBundle> found{
        bundle("b", "acme", "AU", "Intel", 1, "/1"),
        bundle("Zed", "Acme", "AU", "Intel", 1, "/2"),
        bundle("Alpha", "Acme", "AU", "Intel", 1, "/3"),
        bundle("Any", "Zeta", "AU", "Intel", 1, "/4"),
    };
    std::vector<std::string> order;
    for (const auto& product : groupIntoProducts(found)) {
        order.push_back(product.manufacturer + "/" + product.name);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"Acme/Alpha", "Acme/Zed", "Zeta/Any", "acme/b"}));
}

TEST(ProductGrouping, EmptyGroupAndHugeSizes) {
    EXPECT_FALSE(makeProduct({}, ByteCountFormatter(formatFileByteCount)));
    const auto huge = makeProduct(std::vector<DiscoveredBundle>{bundle("X", "Y", "AU", "Intel", INT64_MAX, "/1"),
                                                                bundle("X", "Y", "VST3", "Intel", INT64_MAX, "/2")},
                                  [](std::uint64_t bytes) { return std::to_string(bytes); });
    EXPECT_EQ(huge->size, std::to_string(INT64_MAX));  // saturates, never wraps negative
}

TEST(SampleInventory, EightProductsWithFreshIdentifiersAndNoBundles) {
    const auto first = sampleInventory();
    const auto second = sampleInventory();
    ASSERT_EQ(first.size(), 8u);
    std::set<Uuid> ids;
    for (std::size_t i = 0; i < first.size(); ++i) {
        ids.insert(first[i].id);
        EXPECT_NE(first[i].id, second[i].id);
        EXPECT_FALSE(first[i].bundles);
    }
    EXPECT_EQ(ids.size(), 8u);
}

PluginBundleRecord record(std::string format, std::string path, bool isProtected = false, bool quarantined = false) {
    PluginBundleRecord bundle;
    bundle.format = std::move(format);
    bundle.architecture = "Universal";
    bundle.size = "1 MB";
    bundle.path = std::move(path);
    bundle.isProtected = isProtected;
    if (quarantined) {
        bundle.quarantinePath = "/Q/op/x";
        bundle.quarantineOperationID = "OP";
    }
    return bundle;
}

Plugin product(std::vector<PluginBundleRecord> bundles) {
    Plugin plugin;
    plugin.name = "Decapitator";
    plugin.manufacturer = "Soundtoys";
    plugin.architecture = "Universal";
    plugin.formats = {"AU", "VST3"};
    plugin.bundles = std::move(bundles);
    return plugin;
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
            records.push_back(record("VST3", "/" + std::to_string(records.size()), flags.find('p') != std::string::npos,
                                     flags.find('q') != std::string::npos));
        }
        auto plugin = product(records);
        plugin.isProtected = true;
        plugin.architecture = architecture;
        EXPECT_EQ(protectionCoverage(plugin), coverage) << ::testing::PrintToString(bundles);
        EXPECT_EQ(derivedStatus(plugin), status) << ::testing::PrintToString(bundles);
    }
    auto half = product({record("AU", "/a", false, true)});
    (*half.bundles)[0].quarantineOperationID.reset();
    EXPECT_EQ(derivedStatus(half), PluginStatus::ok);
}

TEST(ProductStatus, ShellsAreMandatoryAndKeepTheirStatus) {
    auto shell = product({record("VST3", "/s")});
    shell.manufacturer = "Waves";
    shell.name = "WaveShell1-VST3 14.12";
    EXPECT_TRUE(isSharedShell(shell));
    EXPECT_EQ(protectionCoverage(shell), ProtectionCoverage::mandatory);
    EXPECT_EQ(baseStatus(shell), PluginStatus::sharedShell);
    EXPECT_EQ(derivedStatus(shell), PluginStatus::sharedShell);

    shell.manufacturer = "waves";  // the manufacturer must match exactly
    EXPECT_FALSE(isSharedShell(shell));
    EXPECT_EQ(protectionCoverage(shell), ProtectionCoverage::none);
    shell.status = PluginStatus::sharedShell;
    EXPECT_TRUE(isSharedShell(shell));

    Plugin hosted;
    hosted.name = "SSL E-Channel";
    hosted.manufacturer = "Waves";
    hosted.formats = {"AU"};
    hosted.status = PluginStatus::hostedByShell;
    hosted.bundles = std::vector<PluginBundleRecord>{};
    EXPECT_TRUE(bundleRecords(hosted).empty());
    EXPECT_EQ(protectionCoverage(hosted), ProtectionCoverage::mandatory);
    EXPECT_EQ(baseStatus(hosted), PluginStatus::hostedByShell);
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
         bundleRecords(product({record("VST3", "/b"), record("AU", "/z"), record("VST3", "/a")}))) {
        paths.push_back(record.path);
    }
    EXPECT_EQ(paths, (std::vector<std::string>{"/z", "/a", "/b"}));
}

}  // namespace
}  // namespace kestrova
