// A bundle an earlier build quarantined on the product itself stands at its
// quarantine location: the recording's bundles keep their original path, so
// only here is `--path` by the original location alone what finds it.
#include "cli/TargetResolution.h"

#include <gtest/gtest.h>

namespace kestrova::cli {
namespace {

TEST(TargetResolution, AQuarantinedBundleIsFoundByItsOriginalOrItsCurrentPath) {
    Plugin product;
    product.name = "Delay";
    product.manufacturer = "Acme";
    product.formats = {"VST3"};
    product.status = PluginStatus::quarantined;
    product.originalPath = "/Library/Audio/Plug-Ins/VST3/Delay.vst3";
    product.path = "/Library/Application Support/Kestrova/Quarantine/OP/Delay.vst3";
    product.quarantinePath = product.path;
    product.quarantineOperationID = "OP";
    const std::vector<Plugin> plugins{product};
    for (const auto& path : {*product.originalPath, product.path}) {
        const auto found = resolveBundle(plugins, {{"delay", std::nullopt}, "vst3", path + "/"});
        ASSERT_TRUE(found) << path;
        EXPECT_EQ(found->bundle.path, product.path);
    }
    EXPECT_FALSE(resolveBundle(plugins, {{"Delay", std::nullopt}, "VST3", "/Library/Audio/Plug-Ins/VST3/Other.vst3"}));
}

}  // namespace
}  // namespace kestrova::cli
