// How long plans take on an inventory of 10,000 products whose bundles are
// real folders on disk: a quarantine plan of 64 and of 256 selections (the
// screens rebuild these whenever they draw their buttons, so the cost must
// stay linear in the selection) and a format cleanup preview of the whole
// inventory.
#include "planning/BundleActionPlanner.h"
#include "planning/FormatCleanupPlanner.h"
#include "platform/Paths.h"

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

struct Timing {
    double wallMs;
    double cpuMs;  // user and system time of this process, steadier on a busy machine
};

double cpuMilliseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Medians of `runs` calls.
Timing measure(int runs, const std::function<void()>& body) {
    std::vector<double> wall;
    std::vector<double> cpu;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const auto cpuStart = cpuMilliseconds();
        body();
        cpu.push_back(cpuMilliseconds() - cpuStart);
        wall.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    return {wall[wall.size() / 2], cpu[cpu.size() / 2]};
}

}  // namespace

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

    const auto small64 = measure(41, [&] { quarantinePlan(small); });
    const auto large256 = measure(41, [&] { quarantinePlan(large); });
    const auto cleanup = measure(5, [&] {
        const auto plan = buildFormatCleanupPlan(FormatCleanupPresetKind::auOnly, {}, sandbox.plugins, revision,
                                                 std::nullopt, false, realFileSystem(), sandbox.layout, true);
        if (plan.candidates.size() != productCount) {
            throw std::runtime_error("benchmark inventory did not preview");
        }
    });

    fmt::print("inventory: {} products, {} bundles on disk\n", productCount, 2 * productCount);
    fmt::print(
        "planBundleAction quarantine,  64 selections, disk checks: {:8.3f} ms wall, {:8.3f} ms CPU (median of 41)\n",
        small64.wallMs, small64.cpuMs);
    fmt::print(
        "planBundleAction quarantine, 256 selections, disk checks: {:8.3f} ms wall, {:8.3f} ms CPU (median of 41)\n",
        large256.wallMs, large256.cpuMs);
    const double wallRatio = large256.wallMs / small64.wallMs;
    const double cpuRatio = large256.cpuMs / small64.cpuMs;
    fmt::print("ratio 256/64: {:.2f} wall, {:.2f} CPU (goal: at most 4.5)\n", wallRatio, cpuRatio);
    fmt::print("256-item plan: goal under 20 ms: {}\n", large256.wallMs < 20 ? "met" : "NOT MET");
    fmt::print(
        "buildFormatCleanupPlan auOnly, {} candidates, existence checks: {:8.3f} ms wall, {:8.3f} ms CPU (median of "
        "5)\n",
        productCount, cleanup.wallMs, cleanup.cpuMs);
    return 0;
}
