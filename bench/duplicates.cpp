// How long duplicate detection takes over 10,000 products, against 1,000 in
// the same run: every tenth product has a second VST3 copy (an older one in
// a vendor folder, or one in the home), each checked on disk by the safe
// location check, as the window and the CLI run it.
#include "planning/DuplicateGroups.h"

#include "TimingSamples.h"

#include <fmt/core.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace kestrova;
namespace fs = std::filesystem;

PluginBundleRecord bundleAt(std::string format, std::string path, bool onDisk) {
    if (onDisk) {
        fs::create_directories(path);
    }
    PluginBundleRecord record;
    record.format = std::move(format);
    record.architecture = "Universal";
    record.size = "12.3 MB";
    record.path = std::move(path);
    return record;
}

std::vector<Plugin> inventory(const SystemLayout& layout, int count) {
    const auto components = layout.system("/Library/Audio/Plug-Ins/Components");
    const auto vst3 = layout.system("/Library/Audio/Plug-Ins/VST3");
    const auto userVst3 = layout.user("Library/Audio/Plug-Ins/VST3");
    std::vector<Plugin> plugins;
    plugins.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        Plugin plugin;
        plugin.id = Uuid::random();
        plugin.name = fmt::format("Product {}", i);
        plugin.manufacturer = fmt::format("Maker {}", i % 97);
        plugin.version = "2.10.1";
        plugin.formats = {"AU", "VST3"};
        const bool duplicated = i % 10 == 0;
        std::vector<PluginBundleRecord> bundles{
            bundleAt("AU", fmt::format("{}/{}.component", components, plugin.name), false),
            bundleAt("VST3", fmt::format("{}/{}.vst3", vst3, plugin.name), duplicated)};
        if (duplicated) {
            auto copy = i % 20 == 0 ? bundleAt("VST3", fmt::format("{}/Vendor/{}.vst3", vst3, plugin.name), true)
                                    : bundleAt("VST3", fmt::format("{}/{}.vst3", userVst3, plugin.name), true);
            copy.version = "2.9";
            bundles.push_back(std::move(copy));
        }
        plugin.path = bundles.front().path;
        plugin.bundles = std::move(bundles);
        plugins.push_back(std::move(plugin));
    }
    return plugins;
}

// One timed detection, checked so a broken inventory cannot look fast.
void timeDetection(bench::Samples& samples, const std::vector<Plugin>& plugins, const SystemLayout& layout) {
    std::size_t found = 0;
    samples.time([&] { found = findDuplicateGroups(plugins, layout, realFileSystem()).size(); });
    if (found != plugins.size() / 10) {
        throw std::runtime_error("benchmark inventory did not group");
    }
}

}  // namespace

int main() {
    std::string pattern = (fs::temp_directory_path() / "kestrova-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        return 1;
    }
    const auto root = fs::canonical(pattern);
    const SystemLayout layout{(root / "root").string(), (root / "home").string()};
    const auto small = inventory(layout, 1000);
    const auto large = inventory(layout, 10000);
    bench::Samples warm;
    timeDetection(warm, large, layout);  // the disk caches

    // Interleaved, so a burst of load elsewhere hits both sizes alike.
    bench::Samples small1k;
    bench::Samples large10k;
    for (int run = 0; run < 31; ++run) {
        timeDetection(small1k, small, layout);
        timeDetection(large10k, large, layout);
    }
    auto row = [](std::string_view what, const bench::Samples& samples) {
        fmt::print("{:<52} wall median {:8.3f} ms, min {:8.3f} ms; CPU median {:8.3f} ms\n", what, samples.wallMedian(),
                   samples.wallMinimum(), samples.cpuMedian());
    };
    row("findDuplicateGroups,  1,000 products (100 groups):", small1k);
    row("findDuplicateGroups, 10,000 products (1,000 groups):", large10k);
    fmt::print("10,000 products under 20 ms: {} (CPU median), {} (wall min)\n",
               large10k.cpuMedian() < 20 ? "yes" : "NO", large10k.wallMinimum() < 20 ? "yes" : "NO");
    fmt::print("ratio 10,000/1,000 (goal under 12): CPU median {:.2f}, wall min {:.2f}, wall median {:.2f}\n",
               large10k.cpuMedian() / small1k.cpuMedian(), large10k.wallMinimum() / small1k.wallMinimum(),
               large10k.wallMedian() / small1k.wallMedian());
    std::error_code ignored;
    fs::remove_all(root, ignored);
    return 0;
}
