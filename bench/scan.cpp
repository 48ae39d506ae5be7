// Scanner cost against the floor: a synthetic tree of plug-in bundles (about
// twenty files each, a few folder levels, real Mach-O headers, XML and binary
// property lists) is scanned by PluginScanner and walked by a bare recursive
// lstat walk in the same run, on a warm cache.
//
//     bench_scan [bundles=5000] [rounds=5]
//
// Goal: the scan within 1.5x the bare walk, peak memory under 50 MB.
#include "platform/MachO.h"
#include "platform/PropertyList.h"
#include "platform/SystemLayout.h"
#include "scan/PluginScanner.h"

#include <dirent.h>
#include <fmt/format.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

void write(const fs::path& path, std::string_view contents) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
}

// One bundle: 18 files in 7 folders.
void writeBundle(const fs::path& bundle, int index) {
    const auto contents = bundle / "Contents";
    for (const auto* folder :
         {"MacOS", "_CodeSignature", "Resources/Presets", "Resources/en.lproj", "Resources/Images"}) {
        fs::create_directories(contents / folder);
    }
    const auto name = bundle.stem().string();
    const kestrova::PropertyListDictionary info{
        {"CFBundleName", name},
        {"CFBundleIdentifier", fmt::format("com.vendor{}.{}", index % 97, index)},
        {"CFBundleShortVersionString", fmt::format("{}.{}.{}", index % 7, index % 11, index % 13)},
        {"CFBundleExecutable", name},
    };
    write(contents / "Info.plist",
          kestrova::serializePropertyList(
              info, index % 2 == 0 ? kestrova::PropertyListFormat::xml : kestrova::PropertyListFormat::binary));
    const std::vector<std::vector<std::uint32_t>> slices{
        {kestrova::machO::cpuTypeArm64},
        {kestrova::machO::cpuTypeX86_64},
        {kestrova::machO::cpuTypeX86_64, kestrova::machO::cpuTypeArm64}};
    auto executable = kestrova::syntheticMachOHeader(slices[static_cast<std::size_t>(index) % slices.size()]);
    executable.resize(16384, '\0');
    write(contents / "MacOS" / name, executable);
    write(contents / "PkgInfo", "BNDL????");
    write(contents / "_CodeSignature/CodeResources", std::string(900, 'c'));
    for (int i = 0; i < 6; ++i) {
        write(contents / fmt::format("Resources/Presets/Preset {}.preset", i), std::string(300 + i, 'p'));
        write(contents / fmt::format("Resources/Images/image{}.png", i), std::string(2000 + i, 'i'));
    }
    write(contents / "Resources/en.lproj/Localizable.strings", std::string(500, 's'));
    write(contents / "Resources/en.lproj/InfoPlist.strings", std::string(120, 's'));
}

void buildTree(const fs::path& library, int bundles) {
    const std::vector<std::pair<std::string, std::string>> folders{
        {"Audio/Plug-Ins/Components", "component"},
        {"Audio/Plug-Ins/VST", "vst"},
        {"Audio/Plug-Ins/VST3", "vst3"},
        {"Application Support/Avid/Audio/Plug-Ins", "aaxplugin"},
        {"Audio/Plug-Ins/CLAP", "clap"},
    };
    for (int i = 0; i < bundles; ++i) {
        const auto& [folder, extension] = folders[static_cast<std::size_t>(i) % folders.size()];
        // Vendor sub-folders give the walk some depth above the bundles.
        const auto bundle =
            library / folder / fmt::format("Vendor {}", i % 40) / fmt::format("Plugin {}.{}", i, extension);
        writeBundle(bundle, i);
    }
}

// The floor: every entry listed and lstat'ed once, nothing else read.
std::uint64_t bareWalk(const std::string& folder, std::uint64_t& entries) {
    std::uint64_t bytes = 0;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        return 0;
    }
    while (const auto* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..") {
            continue;
        }
        const auto path = folder + "/" + std::string(name);
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0) {
            continue;
        }
        ++entries;
        if (S_ISDIR(info.st_mode)) {
            bytes += bareWalk(path, entries);
        } else if (S_ISREG(info.st_mode)) {
            bytes += static_cast<std::uint64_t>(info.st_size);
        }
    }
    ::closedir(dir);
    return bytes;
}

double seconds(Clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

}  // namespace

int main(int argc, char** argv) {
    const int bundles = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    std::string pattern = (fs::temp_directory_path() / "kestrova-bench-scan-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        fmt::print(stderr, "Could not create a temporary folder.\n");
        return 1;
    }
    const fs::path base(pattern);
    const auto built = Clock::now();
    buildTree(base / "root/Library", bundles);
    fs::create_directories(base / "home");
    fmt::print("Built {} bundles in {:.1f} s under {}\n", bundles, seconds(Clock::now() - built), base.string());

    const kestrova::SystemLayout layout{(base / "root").string(), (base / "home").string()};
    const kestrova::PluginScanner scanner(kestrova::realFileSystem(), layout);
    const std::vector<std::string> roots{(base / "root/Library").string()};

    std::uint64_t entries = 0;
    bareWalk((base / "root/Library").string(), entries);  // warm the cache
    std::size_t products = 0;
    std::vector<double> walkTimes;
    std::vector<double> scanTimes;
    for (int round = 0; round < rounds; ++round) {
        entries = 0;
        auto start = Clock::now();
        const auto bytes = bareWalk((base / "root/Library").string(), entries);
        walkTimes.push_back(seconds(Clock::now() - start));

        const kestrova::ScanControl control;
        int progressCalls = 0;
        start = Clock::now();
        const auto summary = scanner.scan(roots, control, [&](const kestrova::ScanProgress&) { ++progressCalls; });
        scanTimes.push_back(seconds(Clock::now() - start));
        products = summary.plugins.size();
        if (round == 0) {
            fmt::print("Bare walk: {} entries, {} bytes. Scan: {} products, {} progress reports.\n", entries, bytes,
                       products, progressCalls);
        }
    }
    std::sort(walkTimes.begin(), walkTimes.end());
    std::sort(scanTimes.begin(), scanTimes.end());
    const auto median = [](const std::vector<double>& values) { return values[values.size() / 2]; };
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    fmt::print("bare lstat walk: {:.1f} ms (median of {}, best {:.1f} ms)\n", median(walkTimes) * 1000, rounds,
               walkTimes.front() * 1000);
    fmt::print("scanner:         {:.1f} ms (median of {}, best {:.1f} ms)\n", median(scanTimes) * 1000, rounds,
               scanTimes.front() * 1000);
    fmt::print("ratio scan/walk: {:.2f}x (goal <= 1.5x)\n", median(scanTimes) / median(walkTimes));
    fmt::print("peak memory:     {:.1f} MB (goal < 50 MB)\n", static_cast<double>(usage.ru_maxrss) / 1024.0);

    std::error_code ignored;
    fs::remove_all(base, ignored);
    return products == static_cast<std::size_t>(bundles) ? 0 : 1;
}
