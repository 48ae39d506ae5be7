#include "scan/PluginScanner.h"

#include "model/ProductGrouping.h"
#include "platform/BundleInfo.h"
#include "platform/ByteCount.h"
#include "platform/MachO.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "scan/BundleManufacturer.h"
#include "scan/LinuxBundles.h"
#include "scan/RegistryProducts.h"

#include <algorithm>

namespace kestrova {
namespace {

struct LocationTemplate {
    std::string_view folder;
    std::string_view format;
    std::string_view fileExtension;
};

constexpr std::array<LocationTemplate, 5> locationTemplates{{
    {"Library/Audio/Plug-Ins/Components", "AU", "component"},
    {"Library/Audio/Plug-Ins/VST", "VST2", "vst"},
    {"Library/Audio/Plug-Ins/VST3", "VST3", "vst3"},
    {"Library/Application Support/Avid/Audio/Plug-Ins", "AAX", "aaxplugin"},
    {"Library/Audio/Plug-Ins/CLAP", "CLAP", "clap"},
}};

// A location is walked when it is an authorized root or lies below one. The
// test is on whole path components: ".../VST" does not cover ".../VST3".
bool isAuthorized(const std::string& location, const std::vector<std::string>& roots) {
    return std::any_of(roots.begin(), roots.end(),
                       [&](const std::string& root) { return location == root || location.starts_with(root + "/"); });
}

bool isAtOrBelow(const std::string& path, const std::string& folder) {
    return path == folder || path.starts_with(folder == "/" ? folder : folder + "/");
}

// The format an entry of a user's own folder has by its form on Linux.
std::optional<std::string_view> linuxFormatOfExtension(std::string_view extension) {
    if (extension == "vst3") {
        return formats::vst3;
    }
    if (extension == "lv2") {
        return formats::lv2;
    }
    if (extension == "clap") {
        return formats::clap;
    }
    if (extension == "so") {
        return formats::vst2;
    }
    return std::nullopt;
}

}  // namespace

PluginScanner::PluginScanner(const FileSystem& fileSystem, SystemLayout layout, AudioUnitRegistry registry,
                             std::optional<PluginPathVariables> pathVariables)
    : fileSystem_(fileSystem),
      layout_(std::move(layout)),
      registry_(std::move(registry)),
      pathVariables_(pathVariables ? std::move(*pathVariables) : pluginPathVariablesFromEnvironment()) {}

std::vector<PluginScanner::Location> PluginScanner::standardLocations() const {
    std::vector<Location> locations;
    if (layout_.profile == PlatformProfile::gnuLinux) {
        for (auto& location : linuxPluginLocations(layout_, pathVariables_, fileSystem_)) {
            locations.push_back(
                {std::move(location.folder), std::move(location.format), std::move(location.fileExtension)});
        }
        return locations;
    }
    locations.reserve(locationTemplates.size() * 2);
    for (const auto& entry : locationTemplates) {
        locations.push_back({layout_.system("/" + std::string(entry.folder)), std::string(entry.format),
                             std::string(entry.fileExtension)});
    }
    for (const auto& entry : locationTemplates) {
        locations.push_back({layout_.user(entry.folder), std::string(entry.format), std::string(entry.fileExtension)});
    }
    return locations;
}

ScanSummary PluginScanner::scan(const std::vector<std::string>& authorizedRoots, const ScanControl& control,
                                const ProgressHandler& progress) const {
    std::vector<std::string> roots;
    roots.reserve(authorizedRoots.size());
    for (const auto& root : authorizedRoots) {
        roots.push_back(standardizedPath(root));
    }
    std::vector<Location> locations;
    std::vector<std::string> standardFolders;
    for (auto& location : standardLocations()) {
        auto folder = standardizedPath(location.url);
        if (isAuthorized(folder, roots)) {
            locations.push_back(std::move(location));
        }
        standardFolders.push_back(std::move(folder));
    }
    if (layout_.profile == PlatformProfile::gnuLinux) {
        // Outer folders first, so a folder inside another is not walked twice.
        auto ownFolders = roots;
        std::sort(ownFolders.begin(), ownFolders.end());
        for (const auto& root : ownFolders) {
            const bool standard = std::any_of(standardFolders.begin(), standardFolders.end(), [&](const auto& folder) {
                return isAtOrBelow(root, folder) || isAtOrBelow(folder, root);
            });
            const bool repeated = std::any_of(locations.begin(), locations.end(), [&](const Location& location) {
                return location.format.empty() && isAtOrBelow(root, location.url);
            });
            if (!standard && !repeated) {
                locations.push_back({root, "", ""});
            }
        }
    }

    const int total = static_cast<int>(locations.size());
    std::vector<DiscoveredBundle> discovered;
    std::vector<LinuxDiscovery> linuxDiscovered;
    std::size_t discoveredCount = 0;
    std::vector<std::string> inaccessible;
    const auto report = [&](const Location& location, int completed) {
        if (progress) {
            progress(ScanProgress{location.format, location.url, completed, total, static_cast<int>(discoveredCount)});
        }
    };

    for (int index = 0; index < total; ++index) {
        if (control.cancellationRequested()) {
            break;
        }
        const auto& location = locations[static_cast<std::size_t>(index)];
        report(location, index);
        if (!fileSystem_.exists(location.url)) {
            report(location, index + 1);
            continue;
        }
        if (!fileSystem_.isReadable(location.url)) {
            inaccessible.push_back(location.url);
            report(location, index + 1);
            continue;
        }
        bool cancelled = false;
        const auto walked = fileSystem_.enumerateReportingErrors(
            location.url,
            [&](const EnumeratedEntry& entry) {
                if (control.cancellationRequested()) {
                    cancelled = true;
                    return EnumerationStep::stop;
                }
                const auto extension = lowercased(pathExtension(entry.path));
                std::string format = location.format;
                if (format.empty()) {
                    const auto byForm = linuxFormatOfExtension(extension);
                    if (!byForm) {
                        return EnumerationStep::proceed;
                    }
                    format = *byForm;
                } else if (extension != location.fileExtension) {
                    return EnumerationStep::proceed;
                }
                // Nothing inside a recognised bundle is ever looked at by the
                // walk; the size summation reads its tree once.
                if (layout_.profile == PlatformProfile::gnuLinux) {
                    // An LV2 folder without a manifest is not a bundle, and
                    // nothing below it is one either.
                    auto bundle = readLinuxBundle(entry.path, entry.status, format, control);
                    if (!bundle) {
                        return EnumerationStep::skipDescendants;
                    }
                    linuxDiscovered.push_back(std::move(*bundle));
                } else {
                    discovered.push_back(readBundle(entry.path, entry.status, format, control));
                }
                if (++discoveredCount % 10 == 0) {
                    report(location, index);
                }
                return EnumerationStep::skipDescendants;
            },
            [&](const std::string& path, const Error&) {
                inaccessible.push_back(path);
                cancelled = control.cancellationRequested();
                return !cancelled;
            });
        if (!walked) {
            inaccessible.push_back(location.url);
            report(location, index + 1);
            continue;
        }
        if (cancelled) {
            break;
        }
        report(location, index + 1);
    }

    ScanSummary summary;
    summary.wasCancelled = control.cancellationRequested();
    if (!summary.wasCancelled) {
        if (layout_.profile == PlatformProfile::gnuLinux) {
            discovered = linuxProductBundles(std::move(linuxDiscovered));
        }
        summary.plugins = productsOfScan(groupIntoProducts(discovered), registryProducts());
    }
    std::sort(inaccessible.begin(), inaccessible.end());
    inaccessible.erase(std::unique(inaccessible.begin(), inaccessible.end()), inaccessible.end());
    summary.inaccessibleLocations = std::move(inaccessible);
    return summary;
}

PluginScanner::DiscoveredBundle PluginScanner::readBundle(const std::string& path, const std::string& format,
                                                          const ScanControl& control) const {
    return readBundle(path, fileSystem_.linkStatus(path), format, control);
}

PluginScanner::DiscoveredBundle PluginScanner::readBundle(const std::string& path,
                                                          const std::optional<FileStatus>& status,
                                                          const std::string& format, const ScanControl& control) const {
    const auto info = readBundleInfoDictionary(fileSystem_, path).value_or(InfoDictionary{});

    DiscoveredBundle bundle;
    if (auto name = nonBlankInfoValue(info, "CFBundleDisplayName")) {
        bundle.name = std::move(*name);
    } else if (auto shortName = nonBlankInfoValue(info, "CFBundleName")) {
        bundle.name = std::move(*shortName);
    } else {
        bundle.name = lastPathComponent(deletingPathExtension(path));
    }
    if (auto version = nonBlankInfoValue(info, "CFBundleShortVersionString")) {
        bundle.version = std::move(*version);
    } else if (auto build = nonBlankInfoValue(info, "CFBundleVersion")) {
        bundle.version = std::move(*build);
    } else {
        bundle.version = unavailableVersion;
    }
    const auto identifier = nonBlankInfoValue(info, "CFBundleIdentifier");
    bundle.manufacturer = bundleManufacturer(info, identifier);

    auto executable = bundleExecutablePath(path, info);
    if (!executable && lowercased(pathExtension(path)) == "clap") {
        executable = path;  // a CLAP plug-in may be a single Mach-O file
    }
    bundle.architecture = executableArchitecture(executable);
    bundle.byteSize = bundleByteSize(path, status, control);
    bundle.path = path;
    bundle.format = format;
    return bundle;
}

std::optional<LinuxDiscovery> PluginScanner::readLinuxBundle(const std::string& path,
                                                             const std::optional<FileStatus>& status,
                                                             const std::string& format,
                                                             const ScanControl& control) const {
    auto facts = readLinuxBundleFacts(fileSystem_, path, format, status, control);
    if (!facts) {
        return std::nullopt;
    }
    LinuxDiscovery discovery;
    discovery.fileStem = withoutFormatSuffix(lastPathComponent(deletingPathExtension(path)));
    discovery.isDescribed = facts->name.has_value();
    discovery.isSharedLibrary = facts->isSharedLibrary;
    discovery.needed = std::move(facts->needed);
    discovery.soname = std::move(facts->soname);
    auto& bundle = discovery.bundle;
    bundle.name = facts->name ? std::move(*facts->name) : discovery.fileStem;
    bundle.version = facts->version ? std::move(*facts->version) : std::string(unavailableVersion);
    bundle.manufacturer =
        facts->manufacturer ? std::move(*facts->manufacturer) : bundleManufacturer(InfoDictionary{}, std::nullopt);
    bundle.architecture = facts->architecture ? std::move(*facts->architecture) : linuxArchitecture(facts->executables);
    bundle.byteSize = facts->byteSize ? *facts->byteSize : bundleByteSize(path, status, control);
    bundle.path = path;
    bundle.format = format;
    bundle.pluginNames = std::move(facts->pluginNames);
    return discovery;
}

std::string PluginScanner::executableArchitecture(const std::optional<std::string>& executablePath) const {
    if (!executablePath) {
        return std::string(architectures::unknown);
    }
    switch (readMachOArchitecture(*executablePath)) {
        case MachOArchitecture::appleSilicon:
            return std::string(architectures::appleSilicon);
        case MachOArchitecture::intel:
            return std::string(architectures::intel);
        case MachOArchitecture::universal:
            return std::string(architectures::universal);
        case MachOArchitecture::unknown:
            break;
    }
    return std::string(architectures::unknown);
}

std::int64_t PluginScanner::bundleByteSize(const std::string& path, const ScanControl& control) const {
    return bundleByteSize(path, fileSystem_.linkStatus(path), control);
}

std::int64_t PluginScanner::bundleByteSize(const std::string& path, const std::optional<FileStatus>& status,
                                           const ScanControl& control) const {
    if (!status || !status->isDirectory) {
        // A link counts as nothing, like any entry that is not a regular file.
        return status && status->isRegularFile ? addingByteCount(0, status->size) : 0;
    }
    // Folders that cannot be listed add nothing and are not reported.
    std::int64_t total = 0;
    fileSystem_.enumerateReportingErrors(
        path,
        [&](const EnumeratedEntry& entry) {
            if (control.cancellationRequested()) {
                return EnumerationStep::stop;
            }
            if (entry.status.isRegularFile) {
                total = addingByteCount(total, entry.status.size);
            }
            return EnumerationStep::proceed;
        },
        nullptr);
    return total;
}

std::vector<Plugin> PluginScanner::registryProducts() const {
    return kestrova::registryProducts(registry_.allComponents());
}

}  // namespace kestrova
