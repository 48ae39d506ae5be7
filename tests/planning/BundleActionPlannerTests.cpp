// What a bundle action may move, from where to where, and why it refuses.
#include "planning/ActionableBundles.h"
#include "planning/BundleActionPlanner.h"
#include "planning/DuplicateGroups.h"
#include "planning/FormatCleanupPlan.h"
#include "planning/PathRules.h"

#include "PlanningFixtures.h"
#include "support/NameTables.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

using namespace kestrova::testing;
using Reason = BundleActionBlockingReason;

class BundleActionPlannerTest : public ::testing::Test {
protected:
    SandboxTree sandbox;
    WatchedFileSystem disk;
    InventoryRevisionToken revision = InventoryRevisionToken::random();
    std::string root = quarantineRoot(sandbox.layout);

    BundleActionPlan plan(BundleActionKind kind, const std::vector<PluginBundleSelection>& selections,
                          const std::vector<Plugin>& plugins, bool verifyOnDisk = true,
                          std::optional<std::string> trashFolder = std::nullopt) {
        return planBundleAction(kind, selections, plugins, revision, std::nullopt, std::nullopt, false,
                                PlanDiskContext{disk, sandbox.layout, std::move(trashFolder), verifyOnDisk});
    }

    static PluginBundleSelection select(const Plugin& plugin, std::size_t index = 0) {
        return {plugin.id, plugin.bundles->at(index).id()};
    }
    static std::vector<PluginBundleSelection> selectAll(const Plugin& plugin) {
        std::vector<PluginBundleSelection> selections;
        for (std::size_t i = 0; i < plugin.bundles->size(); ++i) {
            selections.push_back(select(plugin, i));
        }
        return selections;
    }
};

// The stale and pending texts are checked where the store and the command
// line show them; here, that every selection is blocked before the disk is read.
TEST_F(BundleActionPlannerTest, EmptyStaleAndPendingPlansBlockBeforeTheDiskIsRead) {
    const auto proQ = product("Pro-Q 3", "FabFilter", {bundleRecord("VST3", sandbox.vst3("Pro-Q 3"))});
    const auto empty = plan(BundleActionKind::quarantine, {}, {proQ});
    EXPECT_FALSE(empty.isExecutable());
    EXPECT_EQ(planBlockingReason(empty), "No eligible format bundles are selected.");

    disk.reads = 0;
    const auto selection = select(proQ);
    const auto stale =
        planBundleAction(BundleActionKind::trash, {selection, selection}, {proQ}, revision,
                         InventoryRevisionToken::random(), std::nullopt, true, PlanDiskContext{disk, sandbox.layout});
    ASSERT_EQ(stale.blockedSelections.size(), 2u);
    EXPECT_EQ(stale.blockedSelections[1].reason, Reason::staleInventory);
    EXPECT_EQ(stale.inventoryRevision, revision);

    const auto presetRun = Uuid::random();
    const auto pending = planBundleAction(BundleActionKind::restore, {selection}, {proQ}, revision, revision, presetRun,
                                          true, PlanDiskContext{disk, sandbox.layout});
    ASSERT_EQ(pending.blockedSelections.size(), 1u);
    EXPECT_EQ(pending.blockedSelections[0].reason, Reason::pendingTransaction);
    EXPECT_EQ(pending.presetRunID, presetRun);
    EXPECT_EQ(disk.reads, 0);
}

TEST_F(BundleActionPlannerTest, QuarantinePlansResolvedSourcesIntoFreshOperationFolders) {
    auto proQ = product("Pro-Q 3", "FabFilter",
                        {bundleRecord("VST3", sandbox.install(sandbox.vst3("Pro-Q 3")), "39.8 MB"),
                         bundleRecord("AU", sandbox.install(sandbox.component("Pro-Q 3")), "12 bytes")});
    // Reached through a "." component and a linked parent folder inside the
    // system folder: the item names the real location.
    sandbox.makeFolder(sandbox.system("/Library/Audio/Plug-Ins/VST3/Vendor"));
    sandbox.link(sandbox.system("/Library/Audio/Plug-Ins/VST3/Vendor"),
                 sandbox.system("/Library/Audio/Plug-Ins/VST3/Alias"));
    sandbox.install(sandbox.system("/Library/Audio/Plug-Ins/VST3/Vendor/Deep.vst3"));
    auto deep = product("Deep", "Vendor",
                        {bundleRecord("VST3", sandbox.system("/Library/Audio/Plug-Ins/VST3/./Alias/Deep.vst3"))});

    const auto result = plan(BundleActionKind::quarantine, {select(proQ), select(proQ, 1), select(deep)}, {proQ, deep});
    ASSERT_EQ(result.items.size(), 3u);
    EXPECT_TRUE(result.isExecutable());
    EXPECT_FALSE(planBlockingReason(result));
    const auto& first = result.items[0];
    EXPECT_EQ(first.selection, select(proQ));
    EXPECT_EQ(first.sourcePath, sandbox.vst3("Pro-Q 3"));
    ASSERT_TRUE(first.operationID);
    EXPECT_EQ(Uuid::parse(*first.operationID)->string(), *first.operationID);  // upper case
    EXPECT_EQ(first.destinationPath, root + "/" + *first.operationID + "/Pro-Q 3.vst3");
    EXPECT_EQ(first.sizeInBytes, 39800000);
    EXPECT_FALSE(result.items[1].sizeInBytes);
    EXPECT_NE(result.items[1].operationID, first.operationID);
    EXPECT_EQ(result.items[2].sourcePath, sandbox.system("/Library/Audio/Plug-Ins/VST3/Vendor/Deep.vst3"));
    EXPECT_EQ(result.productsLosingAllActiveFormats, (std::set<Uuid>{proQ.id, deep.id}));
    // Only the VST3 of Pro-Q: it keeps its AU.
    EXPECT_TRUE(plan(BundleActionKind::quarantine, {select(proQ)}, {proQ}).productsLosingAllActiveFormats.empty());
}

// Each side's bundles moving to and from their own quarantine is in the
// recorded Linux run; here, that a record claiming the other side's
// quarantine does not verify.
TEST_F(BundleActionPlannerTest, LinuxUserFolderBundlesRestoreOnlyFromTheUserSidesQuarantine) {
    SystemLayout linux{sandbox.tree / "root", sandbox.tree / "home", PlatformProfile::gnuLinux};
    auto misplaced = product("Gate", "Acme", {bundleRecord("LV2", linux.user(".lv2/gate.lv2"))});
    sandbox.install(quarantine(misplaced.bundles->at(0), quarantineRoot(linux)));
    const auto restored = planBundleAction(BundleActionKind::restore, {select(misplaced)}, {misplaced}, revision,
                                           std::nullopt, std::nullopt, false, PlanDiskContext{disk, linux});
    EXPECT_TRUE(restored.items.empty());
    ASSERT_EQ(restored.blockedSelections.size(), 1u);
    EXPECT_EQ(restored.blockedSelections[0].reason, Reason::invalidState);
}

TEST_F(BundleActionPlannerTest, QuarantineRefusalsCarryTheirReasonsAndPrefixedDetails) {
    auto home = bundleRecord("VST3", sandbox.install(sandbox.layout.user("Library/Audio/Plug-Ins/VST3/Home.vst3")));
    auto absent = bundleRecord("VST3", sandbox.vst3("Absent"));
    auto guarded = bundleRecord("VST3", sandbox.install(sandbox.vst3("Guarded")));
    guarded.isProtected = true;
    auto already = bundleRecord("AU", sandbox.component("Already"));
    quarantine(already, root);
    auto occupiedDestination = bundleRecord("AU", sandbox.install(sandbox.component("Occupied")));
    const auto maker = product("Tool", "Maker", {home, absent, guarded, already, occupiedDestination});
    auto shell = product("WaveShell1-VST3 14.12", "Waves", {bundleRecord("VST3", sandbox.install(sandbox.vst3("WS")))});

    auto selections = selectAll(maker);
    selections.resize(4);
    selections.push_back(select(shell));
    selections.push_back({maker.id, "VST3|/nowhere.vst3"});
    selections.push_back({Uuid::random(), select(maker).bundleID});
    const auto result = plan(BundleActionKind::quarantine, selections, {maker, shell});

    const std::string unsafe =
        "Tool — VST3: The scanned path is missing or is not a verified bundle in a standard plugin folder.";
    const std::string changed = "This format record changed. Run a new scan and review the action again.";
    const std::vector<BundleActionBlockedSelection> expected{
        {selections[0], Reason::unsafePath, unsafe},
        {selections[1], Reason::unsafePath, unsafe},
        {selections[2], Reason::protectedBundle,
         "Tool — VST3: Remove format protection before quarantining this bundle."},
        {selections[3], Reason::invalidState, "Tool — AU: This format is already quarantined."},
        {selections[4], Reason::mandatoryProtection,
         "WaveShell1-VST3 14.12 — VST3: Shared shells and WaveShell-hosted products cannot be moved as independent "
         "bundles."},
        {selections[5], Reason::missingBundle, changed},
        {selections[6], Reason::missingBundle, changed},
    };
    EXPECT_EQ(result.blockedSelections, expected);
    EXPECT_TRUE(result.items.empty());
    EXPECT_EQ(planBlockingReason(result), expected[0].detail);

    // Without disk checks a bundle that is not there still plans; a home
    // folder is refused either way.
    const auto offline = plan(BundleActionKind::quarantine, {selections[0], selections[1]}, {maker},
                              /*verifyOnDisk=*/false);
    ASSERT_EQ(offline.items.size(), 1u);
    EXPECT_EQ(offline.items[0].selection, selections[1]);

    // A destination already taken in the quarantine folder. Operation IDs
    // are new for every plan, so everything below the root reads as taken.
    disk.occupiedBelow = root;
    EXPECT_EQ(plan(BundleActionKind::quarantine, {select(maker, 4)}, {maker}).blockedSelections,
              (std::vector<BundleActionBlockedSelection>{
                  {select(maker, 4), Reason::destinationExists,
                   "Tool — AU: The protected quarantine destination already exists."}}));
}

TEST_F(BundleActionPlannerTest, DuplicatesAndTheTransactionLimit) {
    std::vector<Plugin> plugins;
    std::vector<PluginBundleSelection> selections;
    for (int i = 0; i < 257; ++i) {
        plugins.push_back(
            product("P" + std::to_string(i), "M", {bundleRecord("VST3", sandbox.vst3(std::to_string(i)))}));
        selections.push_back(select(plugins.back()));
    }
    const std::vector<PluginBundleSelection> first256(selections.begin(), selections.begin() + 256);
    const auto accepted = plan(BundleActionKind::quarantine, first256, plugins, false);
    EXPECT_EQ(accepted.items.size(), 256u);
    EXPECT_TRUE(accepted.isExecutable());

    const auto tooMany = plan(BundleActionKind::quarantine, selections, plugins, false);
    EXPECT_EQ(tooMany.items.size(), 257u);
    ASSERT_EQ(tooMany.blockedSelections.size(), 1u);
    EXPECT_EQ(tooMany.blockedSelections[0].selection, selections[0]);
    EXPECT_EQ(tooMany.blockedSelections[0].reason, Reason::tooManyItems);
    EXPECT_EQ(planBlockingReason(tooMany), "One verified transaction can contain no more than 256 format bundles.");
    EXPECT_FALSE(tooMany.isExecutable());

    const auto twice =
        plan(BundleActionKind::quarantine, {selections[3], selections[4], selections[3]}, plugins, false);
    EXPECT_EQ(twice.items.size(), 2u);
    EXPECT_EQ(twice.blockedSelections,
              (std::vector<BundleActionBlockedSelection>{
                  {selections[3], Reason::duplicateSelection, "The same format bundle was selected more than once."}}));

    // Protection plans point at where the bundle is now.
    auto away = bundleRecord("AU", sandbox.component("Away"));
    const auto location = quarantine(away, root);
    const auto held = product("Away", "M", {away});
    const auto protect = plan(BundleActionKind::protect, {select(held), selections[0]}, {held, plugins[0]});
    ASSERT_EQ(protect.items.size(), 2u);
    EXPECT_EQ(protect.items[0].sourcePath, location);
    EXPECT_EQ(protect.items[1].sourcePath, plugins[0].bundles->front().path);
    EXPECT_FALSE(protect.items[0].destinationPath || protect.items[0].operationID);
    EXPECT_TRUE(protect.productsLosingAllActiveFormats.empty());
}

TEST_F(BundleActionPlannerTest, RestoreNeedsAVerifiedQuarantineLocationAndAFreeOriginal) {
    auto good = bundleRecord("VST3", sandbox.vst3("Good"));
    sandbox.install(quarantine(good, root));
    auto occupied = bundleRecord("VST3", sandbox.install(sandbox.vst3("Occupied")));
    sandbox.install(quarantine(occupied, root));
    // Where a quarantine location may lie is PathRules'; here, that the disk is asked.
    auto gone = bundleRecord("VST3", sandbox.vst3("Gone"));
    quarantine(gone, root);
    auto active = bundleRecord("AU", sandbox.install(sandbox.component("Active")));
    const auto maker = product("Tool", "Maker", {good, occupied, gone, active});

    const auto selections = selectAll(maker);
    const auto result = plan(BundleActionKind::restore, selections, {maker});
    ASSERT_EQ(result.items.size(), 1u);
    EXPECT_EQ(result.items[0].sourcePath, *good.quarantinePath);
    EXPECT_EQ(result.items[0].destinationPath, good.path);
    EXPECT_EQ(result.items[0].operationID, good.quarantineOperationID);

    const std::string invalid = ": The verified quarantine record is missing or no longer matches disk.";
    const std::vector<BundleActionBlockedSelection> expected{
        {selections[1], Reason::destinationExists,
         "Tool — VST3: A bundle already exists at the recorded original location."},
        {selections[2], Reason::invalidState, "Tool — VST3" + invalid},
        {selections[3], Reason::invalidState, "Tool — AU" + invalid}};
    EXPECT_EQ(result.blockedSelections, expected);
    // Off disk, only the path rules apply: the missing one plans.
    EXPECT_EQ(plan(BundleActionKind::restore, {selections[1], selections[2]}, {maker}, false).items.size(), 2u);
}

TEST_F(BundleActionPlannerTest, TrashTakesVerifiedQuarantinedBundlesIntoARealTrashFolder) {
    const auto trash = sandbox.layout.trashFolder();
    sandbox.makeFolder(trash);
    auto existing = bundleRecord("AU", sandbox.component("Echo"));
    sandbox.install(quarantine(existing, root));
    sandbox.writeFile(trash + "/Echo.component");
    auto guarded = bundleRecord("AU", sandbox.component("Guarded"));
    sandbox.install(quarantine(guarded, root));
    guarded.isProtected = true;
    auto active = bundleRecord("AU", sandbox.install(sandbox.component("Active")));
    const auto maker = product("Tool", "Maker", {existing, guarded, active});

    const auto selections = selectAll(maker);
    const auto result = plan(BundleActionKind::trash, selections, {maker});
    ASSERT_EQ(result.items.size(), 1u);
    EXPECT_EQ(result.items[0].destinationPath, trash + "/Echo 2.component");
    EXPECT_EQ(result.items[0].sourcePath, *existing.quarantinePath);
    EXPECT_EQ(result.items[0].operationID, existing.quarantineOperationID);
    EXPECT_EQ(result.blockedSelections,
              (std::vector<BundleActionBlockedSelection>{
                  {selections[1], Reason::protectedBundle,
                   "Tool — AU: Remove format protection before moving this bundle to Trash."},
                  {selections[2], Reason::invalidState,
                   "Tool — AU: The verified quarantine record or a safe Trash destination is unavailable."}}));

    // A Trash that is a link to a folder is refused, unless disk checks are off.
    const auto realTrash = sandbox.tree / "elsewhere";
    sandbox.makeFolder(realTrash);
    const auto linkedTrash = sandbox.tree / "home/LinkedTrash";
    sandbox.link(realTrash, linkedTrash);
    EXPECT_EQ(plan(BundleActionKind::trash, {selections[0]}, {maker}, true, linkedTrash).blockedSelections,
              (std::vector<BundleActionBlockedSelection>{
                  {selections[0], Reason::unsafePath, "The current user’s Finder Trash is unavailable or unsafe."}}));
    EXPECT_EQ(plan(BundleActionKind::trash, {selections[0]}, {maker}, false, linkedTrash).items.size(), 1u);
}

// Whole-product selections split what is active from what is away; a product
// hosted by a shell has nothing of its own. (Older records' single bundle is
// the model's bundleRecords.)
TEST_F(BundleActionPlannerTest, WholeProductSelections) {
    auto mixed = product("Mixed", "Maker",
                         {bundleRecord("AU", sandbox.component("Mixed")), bundleRecord("VST3", sandbox.vst3("Mixed"))});
    quarantine(mixed.bundles->at(1), sandbox.system("/Q"));
    Plugin hosted = product("Hosted", "Waves", {});
    hosted.bundles.reset();
    hosted.formats = {"AU"};
    hosted.status = PluginStatus::hostedByShell;
    EXPECT_EQ(activeBundleSelections({mixed, hosted}), std::vector<PluginBundleSelection>{select(mixed)});
    EXPECT_EQ(quarantinedBundleSelections({mixed, hosted}), std::vector<PluginBundleSelection>{select(mixed, 1)});
}

TEST(PlanNames, EveryKindAndReasonMapsBothWays) {
    const auto raw = [](auto value) { return rawValue(value); };
    expectNamesBothWays<BundleActionKind>({"protect", "removeProtection", "quarantine", "restore", "trash"}, raw,
                                          bundleActionKindFromRawValue);
    expectNamesBothWays<Reason>(
        {"staleInventory", "missingBundle", "protectedBundle", "mandatoryProtection", "unsafePath",
         "pendingTransaction", "invalidState", "destinationExists", "duplicateSelection", "tooManyItems"},
        raw, blockingReasonFromRawValue);
    expectNamesBothWays<FormatCleanupExclusionReason>(
        {"protectedBundle", "mandatoryShell", "unsafePath", "missingBundle", "staleInventory", "alreadyQuarantined",
         "pendingTransaction"},
        raw, exclusionReasonFromRawValue);
    expectNamesBothWays<FormatCleanupWarningKind>({"noActiveFormatRemaining", "largeRunRequiresMultipleTransactions"},
                                                  raw, warningKindFromRawValue);
    const std::vector<std::string_view> duplicates{"copies", "versions", "keep", "retire", "protected", "notMovable"};
    EXPECT_EQ((std::vector<std::string_view>{
                  rawValue(DuplicateKind::copies), rawValue(DuplicateKind::versions),
                  rawValue(DuplicateDisposition::keep), rawValue(DuplicateDisposition::retire),
                  rawValue(DuplicateDisposition::protectedCopy), rawValue(DuplicateDisposition::notMovable)}),
              duplicates);
}

}  // namespace
}  // namespace kestrova
