// Scanner cost on the Linux profile against the floor: a synthetic tree of
// plug-ins as installed on Linux (VST3 bundles with moduleinfo.json and an
// ELF object per architecture, LV2 bundles with Turtle manifests, single-file
// CLAP and VST2 shared objects with dynamic symbols) in the system folders
// under a sandbox root,
// scanned by PluginScanner and walked by a bare recursive lstat walk in the
// same run, on a warm cache.
//
//     bench_scan_linux [plug-ins=5000] [rounds=5]
//
// Goal: the scan within 1.5x the bare walk, peak memory under 50 MB.
#include "platform/Elf.h"
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
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
}

std::string sharedObject(int index) {
    auto object = index % 3 == 0 ? kestrova::syntheticElfHeader(kestrova::elf::machineAArch64, true)
                                 : kestrova::syntheticElfHeader(kestrova::elf::machineX86_64, true);
    object.resize(16384, '\0');
    return object;
}

// A VST2 plug-in: its entry point among the dynamic symbols, as a real one.
std::string vst2Object() {
    auto object = kestrova::syntheticElfSharedObject({"VSTPluginMain", "main"}, {"libc.so.6", "libm.so.6"});
    object.resize(16384, '\0');
    return object;
}

// 14 files in 6 folders; every other one built for two architectures.
void writeVst3(const fs::path& bundle, int index) {
    const auto name = bundle.stem().string();
    const auto contents = bundle / "Contents";
    write(contents / "x86_64-linux" / (name + ".so"), sharedObject(1));
    if (index % 2 == 0) {
        write(contents / "aarch64-linux" / (name + ".so"), sharedObject(0));
    }
    write(contents / "Resources/moduleinfo.json",
          fmt::format(R"({{"Name": "{}", "Version": "{}.{}.{}", "Factory Info": {{"Vendor": "Vendor {}",
  "URL": "https://example.com", "E-Mail": "", "Flags": {{"Unicode": true}}}},
  "Compatibility": [], "Classes": [{{"CID": "0123456789ABCDEF0123456789ABCDEF", "Category": "Audio Module Class",
  "Name": "{}", "Vendor": "Vendor {}", "Version": "1.0", "SDKVersion": "VST 3.7.9", "Sub Categories": ["Fx"]}}]}})",
                      name, index % 7, index % 11, index % 13, index % 97, name, index % 97));
    for (int i = 0; i < 6; ++i) {
        write(contents / fmt::format("Resources/Presets/Preset {}.vstpreset", i), std::string(300 + i, 'p'));
        write(contents / fmt::format("Resources/Images/image{}.png", i), std::string(2000 + i, 'i'));
    }
}

// The plug-in's data file as DPF and SWH write one: name, maintainer and
// version among a dozen ports, about 4 KB of Turtle.
std::string lv2DataFile(const std::string& name, int index) {
    std::string ports;
    for (int port = 0; port < 12; ++port) {
        ports += fmt::format(R"(
    lv2:port [
        a lv2:InputPort, lv2:ControlPort ;
        lv2:index {0} ;
        lv2:name "Parameter {0}" ;
        lv2:symbol "param{0}" ;
        lv2:default 0.5 ; lv2:minimum 0.0 ; lv2:maximum 1.0 ;
        unit:unit unit:db ;
    ] ;)",
                             port);
    }
    return fmt::format(R"(@prefix doap: <http://usefulinc.com/ns/doap#> .
@prefix foaf: <http://xmlns.com/foaf/0.1/> .
@prefix lv2:  <http://lv2plug.in/ns/lv2core#> .
@prefix unit: <http://lv2plug.in/ns/extensions/units#> .

<urn:bench:{0}>
    a lv2:Plugin, lv2:EQPlugin, doap:Project ;
    lv2:requiredFeature <http://lv2plug.in/ns/ext/urid#map> ;
    lv2:optionalFeature lv2:hardRTCapable ;{1}
    doap:name "{0} LV2" ;
    doap:license <http://opensource.org/licenses/isc> ;
    doap:maintainer [
        foaf:name "Vendor {2}" ;
        foaf:homepage <https://example.com/> ;
    ] ;
    lv2:microVersion {3} ;
    lv2:minorVersion {4} .
)",
                       name, ports, index % 97, index % 5, index % 11);
}

// 9 files: manifest, plug-in description, object, presets.
void writeLv2(const fs::path& bundle, int index) {
    const auto name = bundle.stem().string();
    write(bundle / "manifest.ttl", fmt::format("@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                                               "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n\n"
                                               "<urn:bench:{0}>\n    a lv2:Plugin ;\n    lv2:binary <{0}.so> ;\n"
                                               "    rdfs:seeAlso <{0}.ttl> .\n",
                                               name));
    write(bundle / (name + ".ttl"), lv2DataFile(name, index));
    write(bundle / (name + ".so"), sharedObject(index));
    for (int i = 0; i < 6; ++i) {
        write(bundle / fmt::format("presets/preset{}.ttl", i), std::string(500 + i, 'p'));
    }
}

void buildTree(const fs::path& usr, int plugins) {
    for (int i = 0; i < plugins; ++i) {
        // Vendor sub-folders give the walk some depth above the plug-ins.
        const auto vendor = fmt::format("Vendor {}", i % 40);
        switch (i % 4) {
            case 0:
                writeVst3(
                    usr / (i % 8 == 0 ? "lib/vst3" : "local/lib/vst3") / vendor / fmt::format("Plugin {}.vst3", i), i);
                break;
            case 1:
                writeLv2(usr / "lib/lv2" / fmt::format("plugin{}.lv2", i), i);
                break;
            case 2:
                write(usr / "lib/clap" / vendor / fmt::format("Plugin {}.clap", i), sharedObject(i));
                break;
            default:
                write(usr / "lib/vst" / vendor / fmt::format("Plugin {}.so", i), vst2Object());
                break;
        }
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
    const int plugins = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    std::string pattern = (fs::temp_directory_path() / "kestrova-bench-scan-linux-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        fmt::print(stderr, "Could not create a temporary folder.\n");
        return 1;
    }
    const fs::path base(pattern);
    const auto built = Clock::now();
    buildTree(base / "root/usr", plugins);
    fs::create_directories(base / "home");
    fmt::print("Built {} plug-ins in {:.1f} s under {}\n", plugins, seconds(Clock::now() - built), base.string());

    const kestrova::SystemLayout layout{(base / "root").string(), (base / "home").string(),
                                        kestrova::PlatformProfile::gnuLinux};
    const kestrova::PluginScanner scanner(kestrova::realFileSystem(), layout, {}, kestrova::PluginPathVariables{});
    const std::vector<std::string> roots{(base / "root/usr").string()};

    std::uint64_t entries = 0;
    bareWalk((base / "root/usr").string(), entries);  // warm the cache
    std::size_t products = 0;
    std::vector<double> walkTimes;
    std::vector<double> scanTimes;
    for (int round = 0; round < rounds; ++round) {
        entries = 0;
        auto start = Clock::now();
        const auto bytes = bareWalk((base / "root/usr").string(), entries);
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
    return products == static_cast<std::size_t>(plugins) ? 0 : 1;
}
