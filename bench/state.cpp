// Loading and saving a large state file against Python's JSON reader: a state
// of 10,000 products with three format bundles each and 100,000 history
// items is written once, then loaded and saved again in a fresh child
// process per round (so the peak memory is that of load and save alone), and
// `python3 -c 'import json; json.load(open(F))'` reads the same file.
//
//     bench_state [products=10000] [history=100000] [rounds=5]
//     bench_state --generate HOME [products] [history]   (then --load-save HOME)
//
// Goal: load plus save under 1 s, peak memory under 300 MB.
#include "store/PersistedInventoryFile.h"

#include <fmt/format.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

using namespace kestrova;
using Clock = std::chrono::steady_clock;

double cpuMilliseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

Uuid numberedUuid(std::uint64_t kind, std::uint64_t index) {
    std::array<std::uint8_t, 16> bytes{};
    for (int i = 0; i < 8; ++i) {
        bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(kind >> (8 * i));
        bytes[static_cast<std::size_t>(8 + i)] = static_cast<std::uint8_t>(index >> (8 * i));
    }
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);
    return Uuid(bytes);
}

PersistedInventory largeState(int products, int historyItems) {
    const std::array<std::pair<std::string, std::string>, 3> formats{
        {{"AU", "/Library/Audio/Plug-Ins/Components/{} {}.component"},
         {"VST3", "/Library/Audio/Plug-Ins/VST3/{} {}.vst3"},
         {"AAX", "/Library/Application Support/Avid/Audio/Plug-Ins/{} {}.aaxplugin"}}};
    PersistedInventory state;
    state.schemaVersion = currentInventorySchemaVersion;
    state.lastScanDate = Date{786543210.123456};
    state.plugins.reserve(static_cast<std::size_t>(products));
    for (int i = 0; i < products; ++i) {
        Plugin plugin;
        plugin.id = numberedUuid(1, static_cast<std::uint64_t>(i));
        plugin.manufacturer = fmt::format("Manufacturer {}", i % 400);
        plugin.name = fmt::format("Product Name {}", i);
        plugin.version = fmt::format("{}.{}.{}", i % 9, i % 17, i % 5);
        plugin.formats = {"AAX", "AU", "VST3"};
        plugin.architecture = i % 10 == 0 ? "Mixed" : "Universal";
        plugin.size = "123.4 MB";
        plugin.status = i % 20 == 0 ? PluginStatus::partiallyQuarantined : PluginStatus::ok;
        plugin.bundles.emplace();
        for (const auto& [format, pattern] : formats) {
            PluginBundleRecord bundle;
            bundle.format = format;
            bundle.architecture = "Universal";
            bundle.size = "41.1 MB";
            bundle.path = fmt::format(fmt::runtime(pattern), plugin.manufacturer, plugin.name);
            if (i % 20 == 0 && format == "AAX") {
                bundle.originalPath = bundle.path;
                bundle.quarantineOperationID = numberedUuid(2, static_cast<std::uint64_t>(i)).string();
                bundle.quarantinePath =
                    fmt::format("/Library/Application Support/Kestrova/Quarantine/{}/{} {}.aaxplugin",
                                *bundle.quarantineOperationID, plugin.manufacturer, plugin.name);
                bundle.path = *bundle.quarantinePath;
            }
            plugin.bundles->push_back(std::move(bundle));
        }
        plugin.path = plugin.bundles->front().path;
        state.plugins.push_back(std::move(plugin));
    }
    for (int i = 0; i < products; i += 25) {
        state.protectedKeys.push_back(productKey(state.plugins[static_cast<std::size_t>(i)]));
    }
    state.history.reserve(static_cast<std::size_t>(historyItems));
    for (int i = 0; i < historyItems; ++i) {
        HistoryItem item;
        item.id = numberedUuid(3, static_cast<std::uint64_t>(i));
        item.plugin = fmt::format("Product Name {}", i % products);
        item.kind = i % 3 == 0 ? HistoryKind::quarantine : HistoryKind::scan;
        item.detail =
            fmt::format("Moved AAX from /Library/Application Support/Avid/Audio/Plug-Ins to quarantine ({}).", i);
        item.time = "10:42 AM";
        if (i % 3 == 0) {
            item.transactionID = numberedUuid(4, static_cast<std::uint64_t>(i)).string();
            item.format = "AAX";
        }
        state.history.push_back(std::move(item));
    }
    state.inaccessibleLocations = std::vector<std::string>{};
    state.trashedBundles = std::vector<TrashedBundleRecord>{};
    state.formatCleanupRuns = std::vector<FormatCleanupRunRecord>{};
    state.permanentQuarantineRules = std::vector<PermanentQuarantineRule>{};
    return state;
}

struct ChildRun {
    double milliseconds = 0;
    double cpuMilliseconds = 0;  // user + system: less disturbed by other load on the machine
    double peakMegabytes = 0;
    int exitStatus = -1;
};

// Wall time and peak resident memory of one child process.
ChildRun runChild(std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (auto& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    const auto start = Clock::now();
    pid_t child = 0;
    if (::posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        return {};
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(child, &status, 0, &usage);
    const auto cpu = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    return ChildRun{millisecondsSince(start), cpu(usage.ru_utime) + cpu(usage.ru_stime),
                    static_cast<double>(usage.ru_maxrss) / 1024.0, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The measured work: load (and upgrade if needed), then save the loaded state.
int loadAndSave(const std::string& home) {
    const SystemLayout layout{"/", home};
    const auto start = Clock::now();
    const auto startCpu = cpuMilliseconds();
    auto loaded = loadPersistedInventory(layout);
    if (!loaded || !loaded->has_value()) {
        std::fprintf(stderr, "load failed: %s\n", loaded ? "no state" : loaded.error().description.c_str());
        return 1;
    }
    const auto loadTime = millisecondsSince(start);
    const auto loadCpu = cpuMilliseconds() - startCpu;
    const auto saveStart = Clock::now();
    const auto saveStartCpu = cpuMilliseconds();
    if (auto written = writePersistedInventory((*loaded)->state, layout); !written) {
        std::fprintf(stderr, "save failed: %s\n", written.error().message.c_str());
        return 1;
    }
    std::fprintf(stderr, "  one round: load %.1f ms wall %.1f ms CPU, save %.1f ms wall %.1f ms CPU\n", loadTime,
                 loadCpu, millisecondsSince(saveStart), cpuMilliseconds() - saveStartCpu);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string_view(argv[1]) == "--load-save") {
        return loadAndSave(argv[2]);
    }
    // Leaves a state in HOME, for profiling load and save by hand.
    if (argc >= 3 && std::string_view(argv[1]) == "--generate") {
        const auto state = largeState(argc > 3 ? std::atoi(argv[3]) : 10000, argc > 4 ? std::atoi(argv[4]) : 100000);
        return writePersistedInventory(state, SystemLayout{"/", argv[2]}) ? 0 : 1;
    }
    const int products = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int historyItems = argc > 2 ? std::atoi(argv[2]) : 100000;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 5;

    std::string home = (std::filesystem::temp_directory_path() / "kestrova-bench-state-XXXXXX").string();
    if (!::mkdtemp(home.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const SystemLayout layout{"/", home};
    {
        const auto state = largeState(products, historyItems);
        if (auto written = writePersistedInventory(state, layout); !written) {
            std::fprintf(stderr, "%s\n", written.error().message.c_str());
            return 1;
        }
    }
    const auto file = inventoryStateURL(layout);
    const auto bytes = std::filesystem::file_size(file);
    fmt::print("State: {} products ({} bundles), {} history items, {:.1f} MB of JSON\n", products, products * 3,
               historyItems, static_cast<double>(bytes) / 1e6);

    const auto self = std::filesystem::read_symlink("/proc/self/exe").string();
    std::vector<double> ours;
    std::vector<double> oursCpu;
    std::vector<double> peaks;
    std::vector<double> python;
    std::vector<double> pythonCpu;
    std::vector<double> pythonStartup;
    for (int round = 0; round < rounds; ++round) {
        const auto run = runChild({self, "--load-save", home});
        if (run.exitStatus != 0) {
            std::fprintf(stderr, "load and save failed\n");
            return 1;
        }
        ours.push_back(run.milliseconds);
        oursCpu.push_back(run.cpuMilliseconds);
        peaks.push_back(run.peakMegabytes);
        const auto reference = runChild({"python3", "-c", fmt::format("import json; json.load(open('{}'))", file)});
        python.push_back(reference.milliseconds);
        pythonCpu.push_back(reference.cpuMilliseconds);
        pythonStartup.push_back(runChild({"python3", "-c", "import json"}).milliseconds);
    }
    const auto oursMedian = median(ours);
    const auto pythonMedian = median(python);
    fmt::print("Medians of {} rounds, each in a fresh process:\n", rounds);
    fmt::print("  load + save:         {:8.1f} ms wall {:8.1f} ms CPU   goal < 1000 ms\n", oursMedian, median(oursCpu));
    fmt::print("  peak memory:         {:8.1f} MB                       goal < 300 MB\n",
               *std::max_element(peaks.begin(), peaks.end()));
    fmt::print("  python3 json.load:   {:8.1f} ms wall {:8.1f} ms CPU   (interpreter start alone {:.1f} ms wall)\n",
               pythonMedian, median(pythonCpu), median(pythonStartup));
    fmt::print("  ratio ours / python: {:8.2f} wall {:8.2f} CPU\n", oursMedian / pythonMedian,
               median(oursCpu) / median(pythonCpu));

    std::filesystem::remove_all(home);
    return 0;
}
