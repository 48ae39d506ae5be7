// How long plans take on an inventory of 10,000 products whose bundles are
// real folders on disk: a quarantine plan of 64 and of 256 selections (the
// screens rebuild these whenever they draw their buttons, so the cost must
// stay linear in the selection) and a format cleanup preview of the whole
// inventory.
#include "planning/BundleActionPlanner.h"
#include "planning/FormatCleanupPlanner.h"
#include "platform/Paths.h"

#include "TimingSamples.h"

#include <fmt/core.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace kestrova;
namespace fs = std::filesystem;

constexpr int productCount = 10000;

struct Sandbox {
    fs::path root;
    SystemLayout layout;
    std::vector<Plugin> plugins;

    Sandbox() {
        std::string pattern = (fs::temp_directory_path() / "kestrova-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) {
            throw std::runtime_error("mkdtemp failed");
        }
        root = fs::canonical(pattern);
        layout = SystemLayout{(root / "root").string(), (root / "home").string()};
        const auto components = layout.system("/Library/Audio/Plug-Ins/Components");
        const auto vst3 = layout.system("/Library/Audio/Plug-Ins/VST3");
        plugins.reserve(productCount);
        for (int i = 0; i < productCount; ++i) {
            const auto name = fmt::format("Product {}", i);
            Plugin plugin;
            plugin.id = Uuid::random();
            plugin.name = name;
            plugin.manufacturer = fmt::format("Maker {}", i % 97);
            plugin.version = "1.0";
            plugin.formats = {"AU", "VST3"};
            plugin.architecture = "Universal";
            plugin.size = "24.6 MB";
            std::vector<PluginBundleRecord> bundles;
            for (const auto& [format, folder, extension] :
                 {std::tuple{"AU", components, "component"}, std::tuple{"VST3", vst3, "vst3"}}) {
                PluginBundleRecord record;
                record.format = format;
                record.architecture = "Universal";
                record.size = "12.3 MB";
                record.path = fmt::format("{}/{}.{}", folder, name, extension);
                fs::create_directories(record.path);
                bundles.push_back(std::move(record));
            }
            plugin.path = bundles.front().path;
            plugin.bundles = std::move(bundles);
            plugins.push_back(std::move(plugin));
        }
    }
    ~Sandbox() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    // The VST3 bundles of `count` products spread over the whole inventory.
    std::vector<PluginBundleSelection> selections(int count) const {
        std::vector<PluginBundleSelection> result;
        const int step = productCount / count;
        for (int i = 0; i < count; ++i) {
            const auto& plugin = plugins[static_cast<std::size_t>(i * step)];
            result.push_back({plugin.id, plugin.bundles->back().id()});
        }
        return result;
    }
};

}  // namespace

using bench::Samples;

int main() {
    const Sandbox sandbox;
    const auto revision = InventoryRevisionToken::random();
    const PlanDiskContext disk(realFileSystem(), sandbox.layout);

    auto quarantinePlan = [&](const std::vector<PluginBundleSelection>& selections) {
        const auto plan = planBundleAction(BundleActionKind::quarantine, selections, sandbox.plugins, revision,
                                           std::nullopt, std::nullopt, false, disk);
        if (plan.items.size() != selections.size()) {
            throw std::runtime_error("benchmark inventory did not plan");
        }
    };
    const auto small = sandbox.selections(64);
    const auto large = sandbox.selections(256);
    quarantinePlan(large);  // warm the caches and ICU

    // Interleaved, so a burst of load elsewhere hits both sizes alike.
    Samples small64;
    Samples large256;
    for (int run = 0; run < 61; ++run) {
        small64.time([&] { quarantinePlan(small); });
        large256.time([&] { quarantinePlan(large); });
    }
    Samples cleanup;
    for (int run = 0; run < 5; ++run) {
        cleanup.time([&] {
            const auto plan = buildFormatCleanupPlan(FormatCleanupPresetKind::auOnly, {}, sandbox.plugins, revision,
                                                     std::nullopt, false, realFileSystem(), sandbox.layout, true);
            if (plan.candidates.size() != productCount) {
                throw std::runtime_error("benchmark inventory did not preview");
            }
        });
    }

    auto row = [](std::string_view what, const Samples& samples) {
        fmt::print("{:<62} wall median {:8.3f} ms, min {:8.3f} ms; CPU median {:8.3f} ms\n", what, samples.wallMedian(),
                   samples.wallMinimum(), samples.cpuMedian());
    };
    fmt::print("inventory: {} products, {} bundles on disk; 61 interleaved runs per plan size\n", productCount,
               2 * productCount);
    row("planBundleAction quarantine,  64 selections, disk checks:", small64);
    row("planBundleAction quarantine, 256 selections, disk checks:", large256);
    fmt::print("ratio 256/64 (goal at most 4.5): CPU median {:.2f}, wall min {:.2f}, wall median {:.2f}\n",
               large256.cpuMedian() / small64.cpuMedian(), large256.wallMinimum() / small64.wallMinimum(),
               large256.wallMedian() / small64.wallMedian());
    fmt::print("256-item plan under 20 ms: {}\n", large256.wallMedian() < 20 ? "yes" : "NO");
    row(fmt::format("buildFormatCleanupPlan auOnly, {} candidates, existence checks:", productCount), cleanup);
    return 0;
}
