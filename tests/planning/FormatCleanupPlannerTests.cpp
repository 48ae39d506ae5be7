#include "planning/FormatCleanupPlanner.h"
#include "planning/PathRules.h"

#include "PlanningFixtures.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

using namespace kestrova::testing;
using Reason = FormatCleanupExclusionReason;

class FormatCleanupPlannerTest : public ::testing::Test {
protected:
    SandboxTree sandbox;
    InventoryRevisionToken revision = InventoryRevisionToken::random();

    FormatCleanupPlan preview(FormatCleanupPresetKind preset, const std::vector<Plugin>& plugins, bool verify = true,
                              const std::set<std::string>& custom = {}, bool pending = false) const {
        return buildFormatCleanupPlan(preset, custom, plugins, revision, std::nullopt, pending, realFileSystem(),
                                      sandbox.layout, verify);
    }

    std::string vst2(std::string_view name) const {
        return sandbox.system("/Library/Audio/Plug-Ins/VST/" + std::string(name) + ".vst");
    }
};

std::vector<std::string> formatsOf(const FormatCleanupPlan& plan) {
    std::vector<std::string> result;
    for (const auto& candidate : plan.candidates) {
        result.push_back(candidate.pluginName + ":" + candidate.format);
    }
    return result;
}

// Each preset's candidates, their fields and rank order are in the command
// line's recorded previews; here, format names as records may spell them.
TEST_F(FormatCleanupPlannerTest, FormatNamesAreNormalizedAndAnEmptyCustomSetProposesNothing) {
    const auto tool = product("Tool", "Maker",
                              {bundleRecord("VST3", sandbox.install(sandbox.vst3("Tool"))),
                               bundleRecord(" vst2 ", sandbox.install(vst2("Tool"))),
                               bundleRecord("AU", sandbox.install(sandbox.component("Tool")))});
    const auto plan = preview(FormatCleanupPresetKind::auOnly, {tool});
    EXPECT_EQ(formatsOf(plan), (std::vector<std::string>{"Tool:VST2", "Tool:VST3"}));
    EXPECT_EQ(plan.candidates[0].selection, (PluginBundleSelection{tool.id, bundleKey("VST2", vst2("Tool"))}));
    EXPECT_TRUE(plan.exclusions.empty() && plan.warnings.empty());

    const auto custom = preview(FormatCleanupPresetKind::custom, {tool}, true, {" vst3", "AU\n"});
    EXPECT_EQ(custom.customFormatsToQuarantine, (std::set<std::string>{"AU", "VST3"}));
    EXPECT_EQ(formatsOf(custom), (std::vector<std::string>{"Tool:AU", "Tool:VST3"}));
    const auto nothing = preview(FormatCleanupPresetKind::custom, {tool});
    EXPECT_TRUE(nothing.candidates.empty() && nothing.exclusions.empty() && nothing.warnings.empty());
}

TEST_F(FormatCleanupPlannerTest, ProductsAndPathsSortNaturallyByManufacturerThenName) {
    std::vector<Plugin> plugins{
        product("Unit 10", "beta", {bundleRecord("VST3", sandbox.vst3("U10"))}),
        product("Unit 9", "Beta", {bundleRecord("VST3", sandbox.vst3("U9"))}),
        product("Zed", "Alpha 2", {bundleRecord("VST3", sandbox.vst3("Z2"))}),
        product("Zed", "Alpha 10", {bundleRecord("VST3", sandbox.vst3("Z10"))}),
        product("Two", "Gamma",
                {bundleRecord("VST3", sandbox.vst3("Take 10")),
                 bundleRecord("CLAP", sandbox.system("/Library/Audio/Plug-Ins/CLAP/Two.clap")),
                 bundleRecord("VST3", sandbox.vst3("Take 9"))}),
    };
    const auto plan = preview(FormatCleanupPresetKind::auOnly, plugins, false);
    std::vector<std::string> order;
    for (const auto& candidate : plan.candidates) {
        order.push_back(candidate.manufacturer + "/" + candidate.pluginName + "/" +
                        candidate.path.substr(candidate.path.rfind('/') + 1));
    }
    EXPECT_EQ(order, (std::vector<std::string>{"Alpha 2/Zed/Z2.vst3", "Alpha 10/Zed/Z10.vst3", "Beta/Unit 9/U9.vst3",
                                               "beta/Unit 10/U10.vst3", "Gamma/Two/Take 9.vst3",
                                               "Gamma/Two/Take 10.vst3", "Gamma/Two/Two.clap"}));
}

TEST_F(FormatCleanupPlannerTest, ExclusionsFollowTheirOrderAndTexts) {
    auto guarded = bundleRecord("VST3", sandbox.install(sandbox.vst3("Guarded")));
    guarded.isProtected = true;
    auto held = bundleRecord("VST2", vst2("Held"));
    quarantine(held, quarantineRoot(sandbox.layout));
    held.isProtected = true;  // protection is reported before quarantine
    auto away = bundleRecord("AAX", sandbox.system("/Library/Application Support/Avid/Audio/Plug-Ins/Away.aaxplugin"));
    quarantine(away, quarantineRoot(sandbox.layout));
    const auto mislabelled = bundleRecord("VST3", sandbox.install(vst2("Mislabelled")));
    const auto unknown = bundleRecord("VST4", sandbox.install(sandbox.system("/Library/Audio/Plug-Ins/VST3/U.vst4")));
    const auto home =
        bundleRecord("VST3", sandbox.install(sandbox.layout.user("Library/Audio/Plug-Ins/VST3/Home.vst3")));
    auto linked = bundleRecord("VST3", sandbox.vst3("Linked"));
    sandbox.link(home.path, linked.path);
    const auto gone = bundleRecord("CLAP", sandbox.system("/Library/Audio/Plug-Ins/CLAP/Gone.clap"));
    const auto kept = bundleRecord("AU", sandbox.install(sandbox.component("Kept")));
    const auto tool = product("Tool", "Maker", {guarded, held, away, mislabelled, unknown, home, linked, gone, kept});

    // Shells and products hosted without a bundle of their own are in the
    // recorded previews; one hosted with a bundle is not.
    auto hosted = product("CLA-76", "Waves", {bundleRecord("VST3", sandbox.install(sandbox.vst3("CLA")))});
    hosted.status = PluginStatus::hostedByShell;

    const auto plan = preview(FormatCleanupPresetKind::auOnly, {tool, hosted});
    std::vector<std::pair<Reason, std::string>> found;
    for (const auto& exclusion : plan.exclusions) {
        found.emplace_back(exclusion.reason, exclusion.detail);
    }
    const std::string unsafe = ": The recorded bundle path or extension is not safe for a preset action.";
    // By rank (VST2 before VST3 before AAX, CLAP, others), then by path:
    // the home tree sorts before the system root, "VST/" before "VST3/".
    const std::vector<std::pair<Reason, std::string>> expected{
        {Reason::protectedBundle, "Tool — VST2: This format is protected."},
        {Reason::unsafePath, "Tool — VST3" + unsafe},  // Home
        {Reason::unsafePath, "Tool — VST3" + unsafe},  // Mislabelled
        {Reason::protectedBundle, "Tool — VST3: This format is protected."},
        {Reason::unsafePath, "Tool — VST3" + unsafe},  // Linked
        {Reason::alreadyQuarantined, "Tool — AAX: This format is already in reversible quarantine."},
        {Reason::missingBundle, "Tool — CLAP: The scanned bundle is no longer present."},
        {Reason::unsafePath, "Tool — VST4" + unsafe},
        {Reason::mandatoryShell, "CLA-76 — VST3: Shared shells and shell-hosted products are permanently excluded."},
    };
    EXPECT_EQ(found, expected);
    EXPECT_EQ(plan.exclusions[1].selection, (PluginBundleSelection{tool.id, home.id()}));
    EXPECT_EQ(plan.exclusions[4].selection, (PluginBundleSelection{tool.id, linked.id()}));
    EXPECT_TRUE(plan.candidates.empty());

    // Skipping the existence test lets the missing CLAP through.
    EXPECT_EQ(formatsOf(preview(FormatCleanupPresetKind::custom, {tool}, false, {"CLAP"})),
              std::vector<std::string>{"Tool:CLAP"});
}

TEST_F(FormatCleanupPlannerTest, PendingJournalsAndStalePreviewsProposeNothing) {
    const auto tool = product("Tool", "Maker",
                              {bundleRecord("VST3", sandbox.install(sandbox.vst3("Tool"))),
                               bundleRecord("AU", sandbox.install(sandbox.component("Tool")))});
    auto shell = product("WaveShell", "Waves", {bundleRecord("VST3", sandbox.vst3("WS"))});
    const auto pending = preview(FormatCleanupPresetKind::auOnly, {tool, shell}, true, {}, true);
    EXPECT_TRUE(pending.candidates.empty());
    ASSERT_EQ(pending.exclusions.size(), 2u);
    EXPECT_EQ(pending.exclusions[0].reason, Reason::pendingTransaction);
    EXPECT_EQ(pending.exclusions[0].detail,
              "Tool — VST3: A previous privileged transaction still needs reconciliation.");
    EXPECT_EQ(pending.exclusions[1].reason, Reason::pendingTransaction);

    const auto stale =
        buildFormatCleanupPlan(FormatCleanupPresetKind::retireVST2, {"clap"}, {tool}, revision,
                               InventoryRevisionToken::random(), false, realFileSystem(), sandbox.layout, true);
    EXPECT_EQ(stale.customFormatsToQuarantine, std::set<std::string>{"CLAP"});
    EXPECT_EQ(stale.inventoryRevision, revision);
    EXPECT_TRUE(stale.candidates.empty() && stale.warnings.empty());
    ASSERT_EQ(stale.exclusions.size(), 1u);
    EXPECT_EQ(stale.exclusions[0],
              (FormatCleanupExclusion{std::nullopt, "Inventory", std::nullopt, Reason::staleInventory,
                                      "The inventory changed after this preset was previewed. Build a new preview "
                                      "before moving any files."}));
}

TEST_F(FormatCleanupPlannerTest, ProductsLosingTheirLastActiveFormatNeedAnOptIn) {
    auto au = bundleRecord("AU", sandbox.component("Bass"));
    quarantine(au, quarantineRoot(sandbox.layout));
    const auto bass =
        product("Bass", "Maker", {au, bundleRecord("VST2", vst2("Bass")), bundleRecord("VST3", sandbox.vst3("Bass"))});
    const auto alpha = product("Alpha", "Maker", {bundleRecord("VST3", sandbox.vst3("Alpha"))});
    auto gone = bundleRecord("VST3", sandbox.vst3("Gone"));
    quarantine(gone, quarantineRoot(sandbox.layout));
    const auto allAway = product("Gone", "Maker", {gone});
    const auto keeps = product(
        "Keeps", "Maker", {bundleRecord("AU", sandbox.component("Keeps")), bundleRecord("VST3", sandbox.vst3("K"))});

    const auto plan = preview(FormatCleanupPresetKind::auOnly, {bass, alpha, allAway, keeps}, false);
    ASSERT_EQ(plan.candidates.size(), 4u);
    for (const auto& candidate : plan.candidates) {
        const bool losing = candidate.pluginName == "Bass" || candidate.pluginName == "Alpha";
        EXPECT_EQ(candidate.removesLastActiveFormat, losing) << candidate.pluginName;
        EXPECT_EQ(candidate.selectedByDefault, !losing) << candidate.pluginName;
    }
    // One warning per product, in product order; its text and --json kind are in the recorded previews.
    ASSERT_EQ(plan.warnings.size(), 2u);
    EXPECT_EQ(plan.warnings[0].kind, FormatCleanupWarningKind::noActiveFormatRemaining);
    EXPECT_EQ(plan.warnings[0].pluginID, alpha.id);
    EXPECT_EQ(plan.warnings[1].pluginID, bass.id);
}

TEST_F(FormatCleanupPlannerTest, LargeRunsWarnAboutSequentialTransactions) {
    auto previewOf = [&](int count) {
        std::vector<Plugin> plugins;
        for (int i = 0; i < count; ++i) {
            plugins.push_back(product("P" + std::to_string(i), "M",
                                      {bundleRecord("AU", sandbox.component(std::to_string(i))),
                                       bundleRecord("VST3", sandbox.vst3(std::to_string(i)))}));
        }
        return preview(FormatCleanupPresetKind::auOnly, plugins, false);
    };
    const auto exact = previewOf(256);
    EXPECT_EQ(exact.candidates.size(), 256u);
    EXPECT_TRUE(exact.warnings.empty());

    const auto over = previewOf(257);
    ASSERT_EQ(over.warnings.size(), 1u);
    EXPECT_EQ(over.warnings[0],
              (FormatCleanupWarning{FormatCleanupWarningKind::largeRunRequiresMultipleTransactions, std::nullopt,
                                    "257 eligible bundles require 2 sequential helper transactions. Each child stays "
                                    "atomic; the full run is not globally atomic."}));
    EXPECT_EQ(previewOf(513).warnings.at(0).detail.substr(0, 41), "513 eligible bundles require 3 sequential");
}

}  // namespace
}  // namespace kestrova
