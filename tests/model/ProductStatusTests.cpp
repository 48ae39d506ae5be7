#include "model/ProductStatus.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

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

TEST(ProductStatus, QuarantineOutranksProtection) {
    auto plugin = product({record("AU", "/a", true), record("VST3", "/v", true, true), record("AAX", "/x", true)});
    plugin.isProtected = true;
    EXPECT_EQ(derivedStatus(plugin), PluginStatus::partiallyQuarantined);
    for (auto& bundle : *plugin.bundles) {
        bundle.quarantinePath = "/Q";
        bundle.quarantineOperationID = "OP";
    }
    EXPECT_EQ(derivedStatus(plugin), PluginStatus::quarantined);
    // Only both fields together make a bundle quarantined.
    (*plugin.bundles)[0].quarantineOperationID.reset();
    EXPECT_EQ(derivedStatus(plugin), PluginStatus::partiallyQuarantined);
}

TEST(ProductStatus, CoverageCountsBundlesNotTheProductFlag) {
    auto plugin = product({record("AU", "/a", true), record("VST3", "/v", true), record("AAX", "/x")});
    plugin.isProtected = false;
    EXPECT_EQ(protectionCoverage(plugin), ProtectionCoverage::partial);
    EXPECT_EQ(derivedStatus(plugin), PluginStatus::partiallyProtected);
    (*plugin.bundles)[2].isProtected = true;
    EXPECT_EQ(protectionCoverage(plugin), ProtectionCoverage::full);
    EXPECT_EQ(derivedStatus(plugin), PluginStatus::protected_);
    for (auto& bundle : *plugin.bundles) {
        bundle.isProtected = false;
    }
    plugin.isProtected = true;  // not consulted once bundles exist
    EXPECT_EQ(protectionCoverage(plugin), ProtectionCoverage::none);
    EXPECT_EQ(derivedStatus(plugin), PluginStatus::ok);
    plugin.architecture = "Intel";
    EXPECT_EQ(derivedStatus(plugin), PluginStatus::legacy);
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
