#include "scan/HostPluginCaches.h"

#include "platform/Paths.h"
#include "platform/SmallFile.h"
#include "platform/Text.h"

#include <fmt/format.h>

#include <algorithm>

namespace kestrova {
namespace {

// A plug-in list of thousands of entries is well under this; anything
// larger is not a REAPER list.
constexpr std::size_t largestCacheFile = 32 * 1024 * 1024;

constexpr std::string_view reaperRescan =
    "In REAPER, open Preferences › Plug-ins › VST (or CLAP) and choose “Re-scan”.";
constexpr std::string_view audioUnitRescan =
    "Quit your hosts, then log out and back in so macOS rebuilds its Audio Unit cache.";
constexpr std::string_view ardourRescan = "In Ardour, open Window › Plugin Manager and choose “Re-scan”.";
constexpr std::string_view bitwigRescan = "In Bitwig Studio, open Settings › Locations and choose “Rescan”.";

// How REAPER keys a bundle: its file name with spaces as underscores, compared
// without regard to case.
std::string reaperKey(std::string_view name) {
    auto key = lowercased(name);
    std::replace(key.begin(), key.end(), ' ', '_');
    return key;
}

bool isRegularFile(const std::string& path, const FileSystem& fileSystem) {
    const auto status = fileSystem.linkStatus(path);
    return status && status->isRegularFile;
}

bool exists(const std::string& path, const FileSystem& fileSystem) { return fileSystem.status(path).has_value(); }

bool isReaperPluginList(std::string_view name) {
    return name.ends_with(".ini") && (name.starts_with("reaper-vstplugins") || name.starts_with("reaper-clap-"));
}

std::optional<HostCacheFinding> reaperFinding(const std::vector<std::string>& movedBundles, const std::string& folder,
                                              const FileSystem& fileSystem) {
    const auto names = fileSystem.contentsOfDirectory(folder);
    if (!names) {
        return std::nullopt;
    }
    auto sorted = *names;
    std::sort(sorted.begin(), sorted.end());
    HostCacheFinding finding{"REAPER", std::string(reaperRescan), {}, {}, false};
    std::vector<bool> named(movedBundles.size(), false);
    for (const auto& name : sorted) {
        const auto path = appendingPathComponent(folder, name);
        if (!isReaperPluginList(name) || !isRegularFile(path, fileSystem)) {
            continue;
        }
        const auto text = readSmallRegularFile(path, largestCacheFile);
        if (!text) {
            continue;
        }
        finding.cacheFiles.push_back(path);
        for (std::size_t index = 0; index < movedBundles.size(); ++index) {
            named[index] = named[index] || reaperCacheNames(*text, movedBundles[index]);
        }
    }
    for (std::size_t index = 0; index < movedBundles.size(); ++index) {
        if (named[index]) {
            finding.namedBundles.push_back(movedBundles[index]);
        }
    }
    if (finding.namedBundles.empty()) {
        return std::nullopt;
    }
    return finding;
}

// Hosts whose cache format is not documented: named whenever one of their
// cache folders exists.
std::optional<HostCacheFinding> guidance(std::string host, std::string_view rescan,
                                         const std::vector<std::string>& candidates, const FileSystem& fileSystem) {
    HostCacheFinding finding{std::move(host), std::string(rescan), {}, {}, true};
    for (const auto& candidate : candidates) {
        if (exists(candidate, fileSystem)) {
            finding.cacheFiles.push_back(candidate);
        }
    }
    if (finding.cacheFiles.empty()) {
        return std::nullopt;
    }
    return finding;
}

// Folders in `parent` whose names start with `prefix` ("ardour8", "ardour9").
std::vector<std::string> foldersStartingWith(const std::string& parent, std::string_view prefix,
                                             const FileSystem& fileSystem) {
    std::vector<std::string> folders;
    if (const auto names = fileSystem.contentsOfDirectory(parent)) {
        for (const auto& name : *names) {
            if (name.starts_with(prefix)) {
                folders.push_back(appendingPathComponent(parent, name));
            }
        }
    }
    std::sort(folders.begin(), folders.end());
    return folders;
}

}  // namespace

bool reaperCacheNames(std::string_view iniText, std::string_view bundlePath) {
    const auto fullPath = lowercased(bundlePath);
    const auto fileKey = reaperKey(lastPathComponent(bundlePath));
    const auto names = [&](const std::string& key) {
        return key.find('/') != std::string::npos ? lowercased(key) == fullPath : reaperKey(key) == fileKey;
    };
    // VST lists key files inside [vstcache]; CLAP lists give each file its
    // own section, whose entries are the plug-ins' identifiers.
    bool inVstCache = false;
    std::size_t start = 0;
    while (start < iniText.size()) {
        auto end = iniText.find('\n', start);
        if (end == std::string_view::npos) {
            end = iniText.size();
        }
        const auto line = trimmedWhitespace(iniText.substr(start, end - start));
        start = end + 1;
        if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
            const auto section = line.substr(1, line.size() - 2);
            inVstCache = lowercased(section) == "vstcache";
            if (!inVstCache && names(section)) {
                return true;
            }
            continue;
        }
        const auto equals = line.find('=');
        if (inVstCache && equals != std::string::npos && equals > 0 && names(line.substr(0, equals))) {
            return true;
        }
    }
    return false;
}

std::vector<HostCacheFinding> hostCachesNaming(const std::vector<std::string>& movedBundles, const SystemLayout& layout,
                                               const FileSystem& fileSystem) {
    std::vector<HostCacheFinding> findings;
    if (movedBundles.empty()) {
        return findings;
    }
    const bool macOS = layout.profile == PlatformProfile::macOS;
    const auto reaperFolder = macOS ? layout.user("Library/Application Support/REAPER")
                                    : appendingPathComponent(layout.preferences(), "REAPER");
    if (auto reaper = reaperFinding(movedBundles, reaperFolder, fileSystem)) {
        findings.push_back(std::move(*reaper));
    }
    if (macOS) {
        const bool audioUnitMoved = std::any_of(movedBundles.begin(), movedBundles.end(), [](const std::string& path) {
            return lowercased(pathExtension(path)) == "component";
        });
        if (audioUnitMoved) {
            if (auto audioUnits = guidance("Audio Unit cache", audioUnitRescan,
                                           {layout.user("Library/Caches/AudioUnitCache"),
                                            layout.user("Library/Caches/com.apple.audiounits.cache")},
                                           fileSystem)) {
                findings.push_back(std::move(*audioUnits));
            }
        }
        return findings;
    }
    if (auto ardour = guidance("Ardour", ardourRescan, foldersStartingWith(layout.user(".cache"), "ardour", fileSystem),
                               fileSystem)) {
        findings.push_back(std::move(*ardour));
    }
    if (auto bitwig = guidance("Bitwig Studio", bitwigRescan, {layout.user(".BitwigStudio/cache")}, fileSystem)) {
        findings.push_back(std::move(*bitwig));
    }
    return findings;
}

std::string hostCacheNoticeText(const std::vector<HostCacheFinding>& findings) {
    std::string text;
    for (const auto& finding : findings) {
        if (!text.empty()) {
            text += "\n";
        }
        if (finding.guidanceOnly) {
            text += fmt::format("{} may still list moved plug-ins. {}", finding.host, finding.rescan);
        } else if (finding.namedBundles.size() == 1) {
            text += fmt::format("{} still lists {} in its plug-in cache. {}", finding.host,
                                lastPathComponent(finding.namedBundles.front()), finding.rescan);
        } else {
            text += fmt::format("{} still lists {} moved bundles in its plug-in cache. {}", finding.host,
                                finding.namedBundles.size(), finding.rescan);
        }
    }
    return text;
}

}  // namespace kestrova
