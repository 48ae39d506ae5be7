// How kestrova-cli names what it acts on: a product by its name (exact, else
// in any letter case) and manufacturer, records of one product counted once;
// a bundle by its format and current or original path, among the bundles a
// command may act on; a Trash record or a cleanup run by the start of its
// id. Each way a name can fail says what would tell the records apart.
#include "CliProcess.h"
#include "cli/TargetResolution.h"
#include "model/ProductStatus.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kestrova::cli {
namespace {

using kestrova::testing::cliExecutable;
using kestrova::testing::runProcess;
using kestrova::testing::TemporaryDirectory;
using ::testing::HasSubstr;

PluginBundleRecord bundle(std::string format, std::string path, std::optional<std::string> original = {}) {
    PluginBundleRecord record;
    record.format = std::move(format);
    record.path = std::move(path);
    if (original) {
        record.quarantinePath = record.path;
        record.originalPath = std::move(original);
        record.quarantineOperationID = "OP";
    }
    return record;
}

Plugin product(std::string name, std::string manufacturer, std::vector<PluginBundleRecord> bundles,
               std::vector<std::string> formats = {}) {
    Plugin plugin;
    plugin.id = Uuid::random();
    plugin.name = std::move(name);
    plugin.manufacturer = std::move(manufacturer);
    plugin.formats = std::move(formats);
    for (const auto& record : bundles) {
        plugin.formats.push_back(record.format);
    }
    if (!bundles.empty()) {
        plugin.bundles = std::move(bundles);
    }
    plugin.status = derivedStatus(plugin);
    return plugin;
}

const std::string systemDelay = "/Library/Audio/Plug-Ins/VST3/Delay.vst3";
const std::string userDelay = "/Users/me/Library/Audio/Plug-Ins/VST3/Delay.vst3";
const std::string delayAU = "/Library/Audio/Plug-Ins/Components/Delay.component";

// Delay: two VST3 copies and a quarantined AU, and a second record of the
// same product (another folder) with one VST2 bundle; Reverb from two makers
// and REVERB from a third; a product inside the Waves shell; five Pads.
std::vector<Plugin> inventory() {
    std::vector<Plugin> plugins{
        product(
            "Delay", "Acme",
            {bundle("VST3", systemDelay), bundle("VST3", userDelay), bundle("AU", "/q/OP/Delay.component", delayAU)}),
        product("Delay", "Acme", {}, {"VST2"}),
        product("Reverb", "Acme", {bundle("VST3", "/Library/Audio/Plug-Ins/VST3/Reverb.vst3")}),
        product("Reverb", "Zeta", {bundle("VST3", "/Library/Audio/Plug-Ins/VST3/Zeta Reverb.vst3")}),
        product("REVERB", "Loud", {bundle("VST3", "/Library/Audio/Plug-Ins/VST3/LOUD.vst3")}),
        product("CLA-2A", "Waves", {}, {"AU"}),
    };
    plugins[1].path = "/Library/Audio/Plug-Ins/VST/Delay.vst";
    plugins[5].status = PluginStatus::hostedByShell;
    for (int pad = 1; pad <= 5; ++pad) {
        plugins.push_back(product("Pad " + std::to_string(pad), "Acme", {}));
    }
    return plugins;
}

// "=N": the product at index N, otherwise the error's whole text.
TEST(TargetResolution, EachWayANameResolvesToOneProductOrSaysWhy) {
    const auto plugins = inventory();
    const std::string listHint = " is in the inventory. “kestrova-cli list” shows the names.";
    const std::vector<std::pair<ProductTarget, std::string>> cases{
        {{"Delay", std::nullopt}, "=0"},
        {{"delay", std::nullopt}, "=0"},
        {{"DELAY", "acme"}, "=0"},
        {{"REVERB", std::nullopt}, "=4"},
        {{"Reverb", "ZETA"}, "=3"},
        {{"Reverb", std::nullopt},
         "“Reverb” names 2 products: Acme — Reverb, Zeta — Reverb. Add --manufacturer to choose one."},
        {{"reverb", std::nullopt},
         "“reverb” names 3 products: Acme — Reverb, Zeta — Reverb, Loud — REVERB. Add --manufacturer to choose one."},
        {{"Delay", "Zeta"}, "No product named “Delay” by “Zeta” is in the inventory. Did you mean “Delay”?"},
        {{"Del", std::nullopt}, "No product named “Del” is in the inventory. Did you mean “Delay”?"},
        {{"pad", std::nullopt},
         "No product named “pad” is in the inventory. Did you mean “Pad 1” or “Pad 2” or “Pad 3” or “Pad 4” or "
         "“Pad 5”?"},
        {{"a", std::nullopt}, "No product named “a”" + listHint},
        {{"Nothing", std::nullopt}, "No product named “Nothing”" + listHint},
    };
    for (const auto& [target, expected] : cases) {
        SCOPED_TRACE(target.name + " " + target.manufacturer.value_or("-"));
        const auto resolved = resolveProduct(plugins, target);
        if (expected.starts_with('=')) {
            ASSERT_TRUE(resolved.ok()) << resolved.error().message;
            EXPECT_EQ(*resolved, &plugins[std::stoul(expected.substr(1))]);
        } else {
            ASSERT_FALSE(resolved.ok());
            EXPECT_EQ(resolved.error().message, expected);
        }
    }
    // Five names are offered; a sixth makes it a list.
    auto more = plugins;
    more.push_back(product("Pad 6", "Acme", {}));
    EXPECT_EQ(resolveProduct(more, {"pad", std::nullopt}).error().message, "No product named “pad”" + listHint);
}

// "=path": the bundle found there, otherwise the error's whole text.
TEST(TargetResolution, EachWayAFormatAndPathResolveToOneBundleOrSayWhy) {
    const auto plugins = inventory();
    const BundleFilter active = [](const PluginBundleRecord& record) { return !record.isQuarantined(); };
    const BundleFilter systemOnly = [](const PluginBundleRecord& record) {
        return record.path.starts_with("/Library");
    };
    const BundleFilter nothing = [](const PluginBundleRecord&) { return false; };
    const struct {
        BundleTarget target;
        BundleFilter filter;
        std::string expected;
    } cases[] = {
        {{{"Delay", std::nullopt}, "VST3", std::nullopt},
         {},
         "“Delay” has 2 VST3 bundles: " + systemDelay + ", " + userDelay + ". Add --path to choose one."},
        {{{"delay", "ACME"}, " vst3 ", userDelay + "/"}, {}, "=" + userDelay},
        {{{"Delay", std::nullopt}, "VST3", std::nullopt}, systemOnly, "=" + systemDelay},
        {{{"Delay", std::nullopt}, "au", delayAU}, {}, "=/q/OP/Delay.component"},
        {{{"Delay", std::nullopt}, "VST2", std::nullopt}, {}, "=/Library/Audio/Plug-Ins/VST/Delay.vst"},
        {{{"Reverb", "zeta"}, "VST3", std::nullopt}, {}, "=/Library/Audio/Plug-Ins/VST3/Zeta Reverb.vst3"},
        {{{"Delay", std::nullopt}, "VST3", "/elsewhere/Delay.vst3"},
         {},
         "“Delay” has no VST3 bundle at “/elsewhere/Delay.vst3”."},
        {{{"Delay", std::nullopt}, "CLAP", std::nullopt},
         {},
         "“Delay” has no CLAP bundle this command can act on; it has AU, VST2, VST3."},
        {{{"Delay", std::nullopt}, "AU", std::nullopt},
         active,
         "“Delay” has no AU bundle this command can act on; it has VST2, VST3."},
        {{{"Delay", std::nullopt}, "VST3", std::nullopt},
         nothing,
         "“Delay” has no format bundle this command can act on."},
        {{{"CLA-2A", std::nullopt}, "AU", std::nullopt},
         {},
         "“CLA-2A” lives inside the Waves shell and has no format bundle of its own."},
        {{{"Nothing", std::nullopt}, "VST3", std::nullopt},
         {},
         "No product named “Nothing” is in the inventory. “kestrova-cli list” shows the names."},
    };
    for (const auto& [target, filter, expected] : cases) {
        SCOPED_TRACE(target.product.name + " " + target.format + " " + target.path.value_or("-"));
        const auto resolved = resolveBundle(plugins, target, filter);
        if (expected.starts_with('=')) {
            ASSERT_TRUE(resolved.ok()) << resolved.error().message;
            EXPECT_EQ(resolved->bundle.path, expected.substr(1));
            EXPECT_EQ(resolved->selection, (PluginBundleSelection{resolved->product->id, resolved->bundle.id()}));
        } else {
            ASSERT_FALSE(resolved.ok());
            EXPECT_EQ(resolved.error().message, expected);
        }
    }
}

// The same inventory in a state file, with two Trash records and two runs
// whose ids begin alike; no helper is enabled, so a command whose target
// resolves goes on to be refused for want of one.
TEST(TargetResolution, TheCommandLinePassesItsOptionsToTheLookupsAndRecordsResolveByTheirIds) {
    TemporaryDirectory sandbox;
    const SystemLayout layout{sandbox.makeDirectory("root"), sandbox.makeDirectory("home")};
    PersistedInventory state;
    state.plugins = inventory();
    state.trashedBundles.emplace();
    state.formatCleanupRuns.emplace();
    for (const auto* last : {"1", "2"}) {
        TrashedBundleRecord record;
        record.id = *Uuid::parse(std::string("AAAAAAAA-0000-4000-8000-00000000000") + last);
        record.pluginName = "Reverb";
        record.manufacturer = "Acme";
        record.format = "VST3";
        record.originalPath = layout.system("/Library/Audio/Plug-Ins/VST3/Reverb") + last + ".vst3";
        record.trashPath = layout.trashFolder() + "/Reverb" + last + ".vst3";
        state.trashedBundles->push_back(record);
        FormatCleanupRunRecord run;
        run.id = *Uuid::parse(std::string("BBBBBBBB-0000-4000-8000-00000000000") + last);
        run.planID = Uuid::random();
        run.status = FormatCleanupRunStatus::completed;
        state.formatCleanupRuns->push_back(run);
    }
    ASSERT_TRUE(writePersistedInventory(state, layout).ok());
    const auto run = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {cliExecutable(), "--root", layout.systemRoot, "--home", layout.home});
        return runProcess(arguments,
                          {"KESTROVA_HELPER_MODE=session", "KESTROVA_HELPER_SESSION_DIR=" + (sandbox / "session")},
                          sandbox.path());
    };
    const std::string needsHelper = "Enable Plugin Management";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"protect", "pad 1"}, ""},
        {{"protect", "Reverb", "-m", "zeta"}, ""},
        {{"protect", "Reverb"}, "names 2 products"},
        {{"protect", "Del"}, "Did you mean “Delay”? Nothing was changed."},
        {{"protect-format", "Delay", "VST3"}, "Add --path to choose one."},
        {{"protect-format", "Delay", "vst3", "--path", userDelay + "/"}, ""},
        {{"quarantine", "Delay", "CLAP", "-m", "ACME"},
         "has no CLAP bundle this command can act on; it has VST2, VST3. No plugin files were moved."},
        // A bundle in the wrong state is still named, so the move can say why.
        {{"quarantine", "Delay", "AU"}, needsHelper},
        {{"restore", "Delay", "--all-formats"}, needsHelper},
        {{"restore", "Reverb", "--all-formats", "--manufacturer", "Acme"}, "Reverb has no quarantined format bundles."},
        {{"restore", "Delay", "--all-formats", "-m", "zeta"}, "No product named “Delay” by “zeta”"},
        {{"trash-restore", "aaaa"}, "“aaaa” is the start of 2 record ids; give more of it."},
        {{"trash-restore", "ffff"}, "No Finder Trash recovery record has the id “ffff”."},
        {{"trash-restore", "aaaaaaaa-0000-4000-8000-000000000002"}, needsHelper},
        {{"cleanup", "restore-run", "bbbb"}, "“bbbb” begins the ids of 2 cleanup runs; give more of it."},
        {{"cleanup", "restore-run", "cccc"}, "No cleanup run has the id “cccc”."},
        {{"cleanup", "restore-run", " bbbbbbbb-0000-4000-8000-000000000001 "}, "Only a finished run"},
    };
    for (const auto& [arguments, refusal] : cases) {
        const auto outcome = run(arguments);
        SCOPED_TRACE(arguments.front() + " " + arguments[1] + ": " + outcome.err);
        EXPECT_EQ(outcome.exitCode, refusal.empty() ? 0 : 3);
        EXPECT_THAT(outcome.err, HasSubstr(refusal));
    }
    const auto saved = readPersistedInventory(inventoryStateURL(layout), realFileSystem());
    ASSERT_TRUE(saved.ok());
    const auto& delay = saved->state.plugins[0].bundles.value();
    EXPECT_TRUE(
        std::any_of(delay.begin(), delay.end(), [&](const auto& b) { return b.path == userDelay && b.isProtected; }));
    EXPECT_FALSE(
        std::any_of(delay.begin(), delay.end(), [&](const auto& b) { return b.path == systemDelay && b.isProtected; }));
}

}  // namespace
}  // namespace kestrova::cli
