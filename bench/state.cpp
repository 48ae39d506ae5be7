// Loading and saving a large state file against Python's JSON reader: a state
// of 10,000 products with three format bundles each and 100,000 history
// items is written once, then loaded and saved again in a fresh child
// process per round (so the peak memory is that of load and save alone).
// In the same rounds `python3 -c` times json.load of the same file inside
// the script (the interpreter's start is not counted), and a child loads
// with the record-by-record decoder the direct reader replaced, for its time
// and peak memory.
//
//     bench_state [products=10000] [history=100000] [rounds=5]
//     bench_state --generate HOME [products] [history]   (then --load-save HOME)
//
// Goals: load plus save under 250 ms; load at most half of json.load's time;
// peak memory not above the record-by-record decoder's.
#include "store/state/PersistedInventoryFile.h"

#include <fcntl.h>

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
    std::string out;  // what it printed
};

// Wall time, peak resident memory and output of one child process.
ChildRun runChild(std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (auto& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0) {
        return {};
    }
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
    const auto start = Clock::now();
    pid_t child = 0;
    const int spawned = ::posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(pipe[1]);
    ChildRun run;
    char buffer[4096];
    for (ssize_t got = 0; spawned == 0 && (got = ::read(pipe[0], buffer, sizeof buffer)) > 0;) {
        run.out.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(pipe[0]);
    if (spawned != 0) {
        return {};
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(child, &status, 0, &usage);
    const auto cpu = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    run.milliseconds = millisecondsSince(start);
    run.cpuMilliseconds = cpu(usage.ru_utime) + cpu(usage.ru_stime);
    run.peakMegabytes = static_cast<double>(usage.ru_maxrss) / 1024.0;
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The decoder the direct reader replaced, over the mapped file, as the
// store read the file before: the baseline for load time and peak memory.
Result<InventoryStateMigration::Result, InventoryStateError> loadRecordByRecord(const SystemLayout& layout) {
    const auto contents = realFileSystem().mapFile(inventoryStateURL(layout));
    if (!contents) {
        return InventoryStateError{InventoryStateError::Kind::unreadable, contents.error().message, std::nullopt};
    }
    auto decoded = decodePersistedInventoryRecordByRecord(contents->view());
    if (!decoded) {
        return InventoryStateError{InventoryStateError::Kind::damaged, decoded.error().message, std::nullopt};
    }
    auto migrated = InventoryStateMigration::migrate(std::move(*decoded));
    if (!migrated) {
        return InventoryStateError{InventoryStateError::Kind::unsupportedSchema, "newer", std::nullopt};
    }
    return std::move(*migrated);
}

// The measured work: load (and upgrade if needed), then save the loaded
// state. Prints "load save" wall milliseconds, then the same in CPU time.
int loadAndSave(const std::string& home, bool recordByRecord) {
    const SystemLayout layout{"/", home};
    const auto start = Clock::now();
    const auto startCpu = cpuMilliseconds();
    std::optional<InventoryStateMigration::Result> loaded;
    if (recordByRecord) {
        auto read = loadRecordByRecord(layout);
        if (!read) {
            std::fprintf(stderr, "load failed: %s\n", read.error().description.c_str());
            return 1;
        }
        loaded = std::move(*read);
    } else {
        auto read = loadPersistedInventory(layout);
        if (!read || !read->has_value()) {
            std::fprintf(stderr, "load failed: %s\n", read ? "no state" : read.error().description.c_str());
            return 1;
        }
        loaded = std::move(**read);
    }
    const auto loadTime = millisecondsSince(start);
    const auto loadCpu = cpuMilliseconds() - startCpu;
    const auto saveStart = Clock::now();
    const auto saveStartCpu = cpuMilliseconds();
    if (auto written = writePersistedInventory(loaded->state, layout); !written) {
        std::fprintf(stderr, "save failed: %s\n", written.error().message.c_str());
        return 1;
    }
    fmt::print("{} {} {} {}\n", loadTime, millisecondsSince(saveStart), loadCpu, cpuMilliseconds() - saveStartCpu);
    return 0;
}

struct Timings {
    double load = 0;
    double save = 0;
    double loadCpu = 0;
    double saveCpu = 0;
};

std::optional<Timings> timingsOf(const ChildRun& run) {
    Timings timings;
    if (run.exitStatus != 0 || std::sscanf(run.out.c_str(), "%lf %lf %lf %lf", &timings.load, &timings.save,
                                           &timings.loadCpu, &timings.saveCpu) != 4) {
        return std::nullopt;
    }
    return timings;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string_view(argv[1]) == "--load-save") {
        return loadAndSave(argv[2], false);
    }
    if (argc == 3 && std::string_view(argv[1]) == "--load-save-by-record") {
        return loadAndSave(argv[2], true);
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
    // Only json.load is timed, inside the interpreter.
    const auto pythonScript = fmt::format(
        "import json, time\nstart = time.perf_counter()\njson.load(open('{}'))\n"
        "elapsed = (time.perf_counter() - start) * 1e3\nprint(elapsed)",
        file);
    std::vector<double> load, save, loadSave, loadCpu, loadSaveCpu, peaks;
    std::vector<double> oldLoad, oldLoadSave, oldPeaks;
    std::vector<double> python;
    for (int round = 0; round < rounds; ++round) {
        const auto run = runChild({self, "--load-save", home});
        const auto timings = timingsOf(run);
        const auto oldRun = runChild({self, "--load-save-by-record", home});
        const auto oldTimings = timingsOf(oldRun);
        const auto reference = runChild({"python3", "-c", pythonScript});
        double pythonLoad = 0;
        if (!timings || !oldTimings || reference.exitStatus != 0 ||
            std::sscanf(reference.out.c_str(), "%lf", &pythonLoad) != 1) {
            std::fprintf(stderr, "a round failed\n");
            return 1;
        }
        load.push_back(timings->load);
        save.push_back(timings->save);
        loadSave.push_back(timings->load + timings->save);
        loadCpu.push_back(timings->loadCpu);
        loadSaveCpu.push_back(timings->loadCpu + timings->saveCpu);
        peaks.push_back(run.peakMegabytes);
        oldLoad.push_back(oldTimings->load);
        oldLoadSave.push_back(oldTimings->load + oldTimings->save);
        oldPeaks.push_back(oldRun.peakMegabytes);
        python.push_back(pythonLoad);
    }
    const auto peak = *std::max_element(peaks.begin(), peaks.end());
    const auto oldPeak = *std::min_element(oldPeaks.begin(), oldPeaks.end());
    fmt::print("Medians of {} rounds, each in a fresh process:\n", rounds);
    fmt::print("  load:                {:8.1f} ms wall {:8.1f} ms CPU\n", median(load), median(loadCpu));
    fmt::print("  save:                {:8.1f} ms wall (synced replace included)\n", median(save));
    fmt::print("  load + save:         {:8.1f} ms wall {:8.1f} ms CPU   goal < 250 ms\n", median(loadSave),
               median(loadSaveCpu));
    fmt::print("  python3 json.load:   {:8.1f} ms wall (interpreter start excluded)\n", median(python));
    fmt::print("  ratio load / python: {:8.2f}                          goal <= 0.50\n", median(load) / median(python));
    fmt::print("  record-by-record:    {:8.1f} ms load, {:.1f} ms load + save (the decoder replaced)\n",
               median(oldLoad), median(oldLoadSave));
    fmt::print(
        "  peak memory:         {:8.1f} MB (highest round); record-by-record {:.1f} MB (lowest round)"
        "   goal: not above\n",
        peak, oldPeak);

    std::filesystem::remove_all(home);
    return 0;
}
