// A rescan merge and the save that follows it, at 5,000 and 10,000 products.
// The previous inventory has three format bundles per product, 500 of them in
// quarantine and one product in ten protected; the scan finds every product
// again (half of the quarantined bundles reinstalled at their original
// location), so every quarantined bundle is carried over into a freshly
// scanned product. The merge is the
// pure step the store runs on completion (baseline, carry-over, protection,
// counts); the save is the store's own, after loading that state.
//
// Both inventories are in the order the store keeps them and the scanner
// returns them: by manufacturer, then name. A merge follows a scan that has
// walked the disk for seconds, so its inputs are no longer in the processor's
// caches; every round starts that way. The two sizes take turns, so that a
// change in the machine's speed during the run weighs on both alike.
//
//     bench_store [rounds=15]
//
// Goal: the merge of 5,000 products under 100 ms, and 10,000 products costing
// at most 2.3 times as much.
#include "platform/Executor.h"
#include "platform/Paths.h"
#include "store/PluginInventoryStore.h"
#include "store/rules/ScanMerge.h"
#include "store/state/PersistedInventoryFile.h"

#include <fmt/format.h>
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace kestrova;
using Clock = std::chrono::steady_clock;

constexpr int quarantinedCount = 500;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The merge is pure computation: its figures are this thread's CPU time, so
// that other work on a shared machine does not count against it.
double cpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double best(const std::vector<double>& values) { return *std::min_element(values.begin(), values.end()); }

struct Figures {
    double best = 0;
    double median = 0;
};

Plugin product(int index) {
    static const std::array<std::pair<std::string_view, std::string_view>, 3> formats{
        {{"AU", "/Library/Audio/Plug-Ins/Components/Product {}.component"},
         {"VST3", "/Library/Audio/Plug-Ins/VST3/Product {}.vst3"},
         {"CLAP", "/Library/Audio/Plug-Ins/CLAP/Product {}.clap"}}};
    Plugin plugin;
    plugin.id = Uuid::random();
    plugin.manufacturer = fmt::format("Manufacturer {}", index % 400);
    plugin.name = fmt::format("Product {}", index);
    plugin.version = "1.0";
    plugin.architecture = "Universal";
    plugin.size = "120 MB";
    std::vector<PluginBundleRecord> bundles;
    for (const auto& [format, pattern] : formats) {
        PluginBundleRecord bundle;
        bundle.format = std::string(format);
        bundle.architecture = "Universal";
        bundle.size = "40 MB";
        bundle.path = fmt::format(fmt::runtime(pattern), index);
        bundles.push_back(std::move(bundle));
        plugin.formats.push_back(std::string(format));
    }
    std::sort(plugin.formats.begin(), plugin.formats.end());
    plugin.path = bundles.front().path;
    plugin.bundles = std::move(bundles);
    return plugin;
}

struct Inventories {
    std::vector<Plugin> previous;
    std::vector<Plugin> scanned;
    std::set<std::string> protectedKeys;
};

Inventories inventories(int products) {
    Inventories result;
    const int stride = products / quarantinedCount;
    for (int i = 0; i < products; ++i) {
        auto old = product(i);
        auto scanned = product(i);
        if (i % stride == 0) {
            auto& vst3 = (*old.bundles)[1];
            vst3.originalPath = vst3.path;
            vst3.quarantineOperationID = Uuid::random().string();
            vst3.path = fmt::format("/Library/Application Support/Kestrova/Quarantine/{}/Product {}.vst3",
                                    *vst3.quarantineOperationID, i);
            vst3.quarantinePath = vst3.path;
            old.status = PluginStatus::partiallyQuarantined;
            if ((i / stride) % 2 == 0) {
                scanned.bundles->erase(scanned.bundles->begin() + 1);  // not reinstalled
            }
        }
        if (i % 10 == 0) {
            // As the previous merge left a protected product: every bundle protected.
            result.protectedKeys.insert(productKey(old));
            old.isProtected = true;
            for (auto& bundle : *old.bundles) {
                bundle.isProtected = true;
            }
        }
        result.previous.push_back(std::move(old));
        result.scanned.push_back(std::move(scanned));
    }
    const auto byManufacturerThenName = [](const Plugin& a, const Plugin& b) {
        return std::tie(a.manufacturer, a.name) < std::tie(b.manufacturer, b.name);
    };
    std::sort(result.previous.begin(), result.previous.end(), byManufacturerThenName);
    std::sort(result.scanned.begin(), result.scanned.end(), byManufacturerThenName);
    return result;
}

// Writes and reads back a buffer larger than the processor's last-level cache.
class CacheEvictor {
public:
    void evict() {
        for (std::size_t i = 0; i < buffer_.size(); i += 64) {
            buffer_[i] = static_cast<char>(buffer_[i] + 1);
        }
        sink_ = std::accumulate(buffer_.begin(), buffer_.end(), 0L);
    }

private:
    std::vector<char> buffer_ = std::vector<char>(256u << 20);
    volatile long sink_ = 0;  // keeps the reads from being optimized away
};

double mergeMilliseconds(const Inventories& data, CacheEvictor& caches, std::size_t& productsAfter) {
    auto scanned = data.scanned;  // the copy stands for the scanner's result, not part of the merge
    caches.evict();
    const auto start = cpuMilliseconds();
    const auto baseline = scanBaseline(data.previous, true);
    auto merged = mergeScan(data.previous, std::move(scanned), false, baseline, data.protectedKeys, {});
    const auto elapsed = cpuMilliseconds() - start;
    productsAfter = merged.plugins.size();
    return elapsed;
}

// Where a merge's time goes, for the record: the three steps on their own.
void printMergeSteps(const Inventories& data, CacheEvictor& caches, std::string_view label) {
    caches.evict();
    auto start = cpuMilliseconds();
    const auto baseline = scanBaseline(data.previous, true);
    const auto baselineTime = cpuMilliseconds() - start;
    auto scanned = data.scanned;
    caches.evict();
    start = cpuMilliseconds();
    auto merged = carryOverQuarantinedBundles(data.previous, std::move(scanned));
    const auto carryOverTime = cpuMilliseconds() - start;
    auto keys = data.protectedKeys;
    caches.evict();
    start = cpuMilliseconds();
    applyScanProtection(merged, keys, baseline);
    const auto protectionTime = cpuMilliseconds() - start;
    fmt::print("  {}: baseline {:.2f} ms, carry-over {:.2f} ms, protection {:.2f} ms\n", label, baselineTime,
               carryOverTime, protectionTime);
}

double saveMilliseconds(const Inventories& data, int rounds) {
    std::string pattern = (std::filesystem::temp_directory_path() / "kestrova-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        return -1;
    }
    const SystemLayout layout{pattern, pattern};
    PersistedInventory state;
    state.schemaVersion = currentInventorySchemaVersion;
    state.lastScanDate = Date::now();
    state.plugins = data.previous;
    state.protectedKeys.assign(data.protectedKeys.begin(), data.protectedKeys.end());
    double result = -1;
    if (writePersistedInventory(state, layout).ok()) {
        RunLoopExecutor executor;
        PluginInventoryStore store(layout, realFileSystem(), executor);
        std::vector<double> times;
        for (int round = 0; round < rounds; ++round) {
            const auto start = Clock::now();
            store.save();
            times.push_back(millisecondsSince(start));
        }
        result = store.lastStorageError() ? -1 : median(times);
    }
    std::error_code ignored;
    std::filesystem::remove_all(pattern, ignored);
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    const auto small = inventories(5000);
    const auto large = inventories(10000);

    CacheEvictor caches;
    std::size_t smallProducts = 0;
    std::size_t largeProducts = 0;
    std::vector<double> smallTimes;
    std::vector<double> largeTimes;
    for (int round = 0; round < rounds; ++round) {
        smallTimes.push_back(mergeMilliseconds(small, caches, smallProducts));
        largeTimes.push_back(mergeMilliseconds(large, caches, largeProducts));
    }
    const Figures smallMerge{best(smallTimes), median(smallTimes)};
    const Figures largeMerge{best(largeTimes), median(largeTimes)};
    const auto smallSave = saveMilliseconds(small, rounds);
    const auto largeSave = saveMilliseconds(large, rounds);

    fmt::print("rescan merge, {} quarantined bundles carried over (CPU time, best and median of {} rounds)\n",
               quarantinedCount, rounds);
    fmt::print("   5,000 products: {:8.2f} ms best, {:8.2f} ms median  ({} products after the merge)\n",
               smallMerge.best, smallMerge.median, smallProducts);
    fmt::print("  10,000 products: {:8.2f} ms best, {:8.2f} ms median  ({} products after the merge)\n",
               largeMerge.best, largeMerge.median, largeProducts);
    printMergeSteps(small, caches, " 5,000 steps");
    printMergeSteps(large, caches, "10,000 steps");
    // Each 10,000-product round is compared with the 5,000-product round just
    // before it, which ran under the same conditions; the median of those
    // ratios is the growth figure.
    std::vector<double> pairRatios;
    for (std::size_t i = 0; i < smallTimes.size(); ++i) {
        pairRatios.push_back(largeTimes[i] / smallTimes[i]);
    }
    const auto ratio = median(pairRatios);
    fmt::print(
        "  ratio 10,000 / 5,000: {:.2f} median of paired rounds, {:.2f} of the best rounds (goal at most 2.30)\n",
        ratio, largeMerge.best / smallMerge.best);
    fmt::print("save of the state (median wall time, including the synced write)\n");
    fmt::print("   5,000 products: {:8.2f} ms\n", smallSave);
    fmt::print("  10,000 products: {:8.2f} ms  (ratio {:.2f})\n", largeSave, largeSave / smallSave);
    const bool met = smallMerge.best < 100.0 && ratio <= 2.3;
    fmt::print("goal {}: 5,000-product merge under 100 ms and near-linear growth\n", met ? "met" : "NOT met");
    return met ? 0 : 1;
}
