#include "scan/LinuxBundles.h"

#include "model/Plugin.h"
#include "model/ProductGrouping.h"
#include "platform/ByteCount.h"
#include "platform/Elf.h"
#include "platform/Paths.h"
#include "platform/SmallFile.h"
#include "platform/Text.h"
#include "scan/Lv2Bundle.h"
#include "scan/Vst3ModuleInfo.h"

#include <algorithm>
#include <set>
#include <utility>

namespace kestrova {
namespace {

bool isSharedObjectName(std::string_view name) { return lowercased(pathExtension(name)) == "so"; }

// A VST3 bundle keeps each Linux architecture's code in Contents/<arch>-linux.
bool isLinuxArchitectureFolder(std::string_view name) { return name.ends_with("-linux") && !name.starts_with("."); }

// Links are followed: plug-ins are often installed as links into /opt.
bool isFile(const FileSystem& fileSystem, const std::string& path) {
    const auto status = fileSystem.status(path);
    return status && status->isRegularFile;
}

bool isFolder(const FileSystem& fileSystem, const std::string& path) {
    const auto status = fileSystem.status(path);
    return status && status->isDirectory;
}

// The shared objects of one <arch>-linux folder, in name order.
void appendArchitectureExecutables(const FileSystem& fileSystem, const std::string& architectureFolder,
                                   std::vector<std::string>& executables) {
    auto names = fileSystem.contentsOfDirectory(architectureFolder);
    if (!names) {
        return;
    }
    std::sort(names->begin(), names->end());
    for (const auto& name : *names) {
        const auto path = appendingPathComponent(architectureFolder, name);
        if (isSharedObjectName(name) && isFile(fileSystem, path)) {
            executables.push_back(path);
        }
    }
}

// Every Contents/<arch>-linux/*.so; other platforms' folders are not ours.
std::vector<std::string> vst3Executables(const FileSystem& fileSystem, const std::string& bundle) {
    std::vector<std::string> executables;
    const auto contents = appendingPathComponent(bundle, "Contents");
    auto folders = fileSystem.contentsOfDirectory(contents);
    if (!folders) {
        return executables;
    }
    std::sort(folders->begin(), folders->end());
    for (const auto& folder : *folders) {
        if (isLinuxArchitectureFolder(folder)) {
            appendArchitectureExecutables(fileSystem, appendingPathComponent(contents, folder), executables);
        }
    }
    return executables;
}

// A bundle folder is read in one pass: the listings that find its shared
// objects also give its size, so no folder is listed and no file stat'ed
// twice. Each entry carries what lstat says of it (the listing's kind for
// folders and links); hidden names are kept with the listing's kind only,
// as the size walk skips them.
struct ListedEntry {
    std::string name;
    EntryKind kind = EntryKind::unknown;
    std::uint64_t size = 0;
};
using Listing = std::vector<ListedEntry>;
// Listings already made in this pass, by folder.
using Listings = std::vector<std::pair<std::string, Listing>>;

bool isHiddenName(std::string_view name) { return name.empty() || name.front() == '.'; }

std::optional<Listing> listFolder(const FileSystem& fileSystem, const std::string& folder) {
    auto entries = fileSystem.entriesOfDirectory(folder);
    if (!entries) {
        return std::nullopt;
    }
    Listing listing;
    listing.reserve(entries->size());
    for (auto& [name, kind] : *entries) {
        ListedEntry entry{std::move(name), kind, 0};
        if (!isHiddenName(entry.name) && kind != EntryKind::directory && kind != EntryKind::symbolicLink) {
            const auto status = fileSystem.linkStatus(appendingPathComponent(folder, entry.name));
            if (!status) {
                continue;  // gone since the listing
            }
            entry.kind = status->isDirectory      ? EntryKind::directory
                         : status->isRegularFile  ? EntryKind::regularFile
                         : status->isSymbolicLink ? EntryKind::symbolicLink
                                                  : EntryKind::other;
            entry.size = status->size;
        }
        listing.push_back(std::move(entry));
    }
    std::sort(listing.begin(), listing.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    return listing;
}

const ListedEntry* findEntry(const Listing& listing, std::string_view name) {
    const auto found =
        std::lower_bound(listing.begin(), listing.end(), name,
                         [](const ListedEntry& entry, std::string_view key) { return entry.name < key; });
    return found != listing.end() && found->name == name ? &*found : nullptr;
}

// Links are followed, as isFile does.
bool isListedFile(const FileSystem& fileSystem, const std::string& path, const ListedEntry& entry) {
    switch (entry.kind) {
        case EntryKind::regularFile:
            return true;
        case EntryKind::directory:
        case EntryKind::other:
            return false;
        case EntryKind::symbolicLink:
        case EntryKind::unknown:
            break;
    }
    return isFile(fileSystem, path);
}

// The sum PluginScanner::bundleByteSize makes: regular files, hidden names
// skipped, links not followed, folders that cannot be listed adding nothing.
// False once cancellation is requested.
bool sumFolder(const FileSystem& fileSystem, const std::string& folder, const Listing& listing, const Listings& listed,
               const ScanControl& control, std::int64_t& total) {
    for (const auto& entry : listing) {
        if (isHiddenName(entry.name)) {
            continue;
        }
        if (control.cancellationRequested()) {
            return false;
        }
        if (entry.kind == EntryKind::regularFile) {
            total = addingByteCount(total, entry.size);
        } else if (entry.kind == EntryKind::directory) {
            const auto path = appendingPathComponent(folder, entry.name);
            const auto known =
                std::find_if(listed.begin(), listed.end(), [&](const auto& pair) { return pair.first == path; });
            if (known != listed.end()) {
                if (!sumFolder(fileSystem, path, known->second, listed, control, total)) {
                    return false;
                }
            } else if (const auto inner = listFolder(fileSystem, path)) {
                if (!sumFolder(fileSystem, path, *inner, listed, control, total)) {
                    return false;
                }
            }
        }
    }
    return true;
}

std::int64_t folderSize(const FileSystem& fileSystem, const std::string& folder, const std::optional<Listing>& listing,
                        const Listings& listed, const ScanControl& control) {
    std::int64_t total = 0;
    if (listing) {
        sumFolder(fileSystem, folder, *listing, listed, control, total);
    }
    return total;
}

// What the walk's lstat said: a folder, not a link to one. Only such a
// bundle has its files summed.
bool listedAsRealFolder(const std::optional<FileStatus>& listed) {
    return listed && listed->isDirectory && !listed->isSymbolicLink;
}

// What the walk listed is trusted unless it was a link, which is followed.
bool listedAsFolder(const FileSystem& fileSystem, const std::string& path, const std::optional<FileStatus>& listed) {
    if (listed && !listed->isSymbolicLink && (listed->isDirectory || listed->isRegularFile)) {
        return listed->isDirectory;
    }
    return isFolder(fileSystem, path);
}

bool listedAsFile(const FileSystem& fileSystem, const std::string& path, const std::optional<FileStatus>& listed) {
    if (listed && !listed->isSymbolicLink && (listed->isDirectory || listed->isRegularFile)) {
        return listed->isRegularFile;
    }
    return isFile(fileSystem, path);
}

// vst3Executables and the size from the same listings.
void readVst3Folder(const FileSystem& fileSystem, const std::string& bundle, const ScanControl& control,
                    LinuxBundleFacts& facts) {
    const auto root = listFolder(fileSystem, bundle);
    if (!root) {
        facts.executables = vst3Executables(fileSystem, bundle);
        facts.byteSize = 0;
        return;
    }
    Listings listed;
    const auto* contents = findEntry(*root, "Contents");
    if (contents && contents->kind == EntryKind::symbolicLink) {
        facts.executables = vst3Executables(fileSystem, bundle);
    } else if (contents && contents->kind == EntryKind::directory) {
        const auto contentsPath = appendingPathComponent(bundle, "Contents");
        if (auto folders = listFolder(fileSystem, contentsPath)) {
            for (const auto& folder : *folders) {
                if (!isLinuxArchitectureFolder(folder.name)) {
                    continue;
                }
                const auto architectureFolder = appendingPathComponent(contentsPath, folder.name);
                if (folder.kind == EntryKind::symbolicLink) {
                    appendArchitectureExecutables(fileSystem, architectureFolder, facts.executables);
                    continue;
                }
                if (folder.kind != EntryKind::directory) {
                    continue;
                }
                auto names = listFolder(fileSystem, architectureFolder);
                if (!names) {
                    continue;
                }
                for (const auto& name : *names) {
                    const auto path = appendingPathComponent(architectureFolder, name.name);
                    if (isSharedObjectName(name.name) && isListedFile(fileSystem, path, name)) {
                        facts.executables.push_back(path);
                    }
                }
                listed.emplace_back(architectureFolder, std::move(*names));
            }
            listed.emplace_back(contentsPath, std::move(*folders));
        }
    }
    facts.byteSize = folderSize(fileSystem, bundle, root, listed, control);
}

std::optional<LinuxBundleFacts> readVst3(const FileSystem& fileSystem, const std::string& path,
                                         const std::optional<FileStatus>& listed, const ScanControl& control) {
    if (!listedAsFolder(fileSystem, path, listed)) {
        return std::nullopt;
    }
    LinuxBundleFacts facts;
    if (listedAsRealFolder(listed)) {
        readVst3Folder(fileSystem, path, control, facts);
    } else {
        facts.executables = vst3Executables(fileSystem, path);
    }
    if (const auto text = readSmallRegularFile(appendingPathComponent(path, "Contents/Resources/moduleinfo.json"),
                                               vst3ModuleInfoLimit)) {
        auto info = parseVst3ModuleInfo(*text);
        facts.name = std::move(info.name);
        facts.version = std::move(info.version);
        facts.manufacturer = std::move(info.vendor);
    }
    return facts;
}

// One plug-in names the bundle; several name it after their project when
// they share one, with the maker and version they agree on.
void describeLv2Bundle(const Lv2BundleFacts& description, LinuxBundleFacts& facts) {
    const auto& plugins = description.plugins;
    if (plugins.size() == 1) {
        facts.name = plugins.front().name;
        facts.manufacturer = plugins.front().maker;
        facts.version = plugins.front().version;
        return;
    }
    if (plugins.empty()) {
        return;
    }
    for (const auto& plugin : plugins) {
        if (!facts.name && plugin.projectName) {
            facts.name = plugin.projectName;
        }
        if (!facts.manufacturer && plugin.maker) {
            facts.manufacturer = plugin.maker;
        }
        // A plug-in without a name still counts, by the last part of its URI.
        auto name = plugin.name;
        if (!name) {
            const auto cut = plugin.uri.find_last_of("/#:");
            const auto tail = cut == std::string::npos ? plugin.uri : plugin.uri.substr(cut + 1);
            if (!tail.empty()) {
                name = tail;
            }
        }
        if (name && std::find(facts.pluginNames.begin(), facts.pluginNames.end(), *name) == facts.pluginNames.end()) {
            facts.pluginNames.push_back(std::move(*name));
        }
    }
    const auto& version = plugins.front().version;
    if (version && std::all_of(plugins.begin(), plugins.end(),
                               [&](const Lv2PluginFacts& plugin) { return plugin.version == version; })) {
        facts.version = version;
    }
}

std::optional<LinuxBundleFacts> readLv2(const FileSystem& fileSystem, const std::string& path,
                                        const std::optional<FileStatus>& listed, const ScanControl& control) {
    if (!listedAsFolder(fileSystem, path, listed)) {
        return std::nullopt;
    }
    // A folder reached through a link is neither listed nor summed here.
    const auto root = listedAsRealFolder(listed) ? listFolder(fileSystem, path) : std::nullopt;
    // Whether the bundle holds a file at `relative`, from its listing when the
    // name is one of its own entries.
    const auto holdsFile = [&](const std::string& relative) {
        const auto full = appendingPathComponent(path, relative);
        if (root && relative.find('/') == std::string::npos && relative != "." && relative != "..") {
            const auto* entry = findEntry(*root, relative);
            return entry && isListedFile(fileSystem, full, *entry);
        }
        return isFile(fileSystem, full);
    };
    if (!holdsFile("manifest.ttl")) {
        return std::nullopt;
    }
    LinuxBundleFacts facts;
    // An unreadable or oversized manifest still marks an LV2 bundle.
    const auto description = readLv2Bundle(path, [&](const std::string& relative, std::size_t limit) {
        return holdsFile(relative) ? readSmallRegularFile(appendingPathComponent(path, relative), limit) : std::nullopt;
    });
    if (description.manifestUnderstood && description.plugins.empty()) {
        return std::nullopt;  // an LV2 extension (core.lv2, atom.lv2) or a preset bank, not a plug-in
    }
    describeLv2Bundle(description, facts);
    for (const auto& binary : description.binaries) {
        if (holdsFile(binary)) {
            facts.executables.push_back(appendingPathComponent(path, binary));
        }
    }
    if (facts.executables.empty() && root) {
        for (const auto& entry : *root) {
            const auto executable = appendingPathComponent(path, entry.name);
            if (!isHiddenName(entry.name) && isSharedObjectName(entry.name) &&
                isListedFile(fileSystem, executable, entry)) {
                facts.executables.push_back(executable);
            }
        }
    } else if (facts.executables.empty()) {
        auto names = fileSystem.contentsOfDirectory(path);
        if (names) {
            std::sort(names->begin(), names->end());
            for (const auto& name : *names) {
                const auto executable = appendingPathComponent(path, name);
                if (!name.starts_with(".") && isSharedObjectName(name) && isFile(fileSystem, executable)) {
                    facts.executables.push_back(executable);
                }
            }
        }
    }
    if (listedAsRealFolder(listed)) {
        facts.byteSize = folderSize(fileSystem, path, root, {}, control);
    }
    return facts;
}

}  // namespace

std::optional<LinuxBundleFacts> readLinuxBundleFacts(const FileSystem& fileSystem, const std::string& path,
                                                     const std::string& format, const std::optional<FileStatus>& listed,
                                                     const ScanControl& control) {
    if (format == formats::vst3) {
        return readVst3(fileSystem, path, listed, control);
    }
    if (format == formats::lv2) {
        return readLv2(fileSystem, path, listed, control);
    }
    // CLAP and VST2: the shared object is the whole plug-in.
    if (!listedAsFile(fileSystem, path, listed)) {
        return std::nullopt;
    }
    LinuxBundleFacts facts;
    facts.executables.push_back(path);
    if (format == formats::vst2) {
        // One mapping gives the machine, the entry point and the libraries.
        auto dynamic = readElfDynamicFacts(path);
        if (dynamic.machine != ElfMachine::unknown) {
            facts.architecture = std::string(elfArchitectureName(dynamic.machine));
        }
        facts.isSharedLibrary = dynamic.symbolsRead && !dynamic.exportsVstEntry;
        facts.needed = std::move(dynamic.needed);
        facts.soname = std::move(dynamic.soname);
    }
    return facts;
}

std::string linuxArchitecture(const std::vector<std::string>& executables) {
    std::set<ElfMachine> machines;
    for (const auto& executable : executables) {
        if (const auto machine = readElfMachine(executable); machine != ElfMachine::unknown) {
            machines.insert(machine);
        }
    }
    if (machines.empty()) {
        return std::string(architectures::unknown);
    }
    if (machines.size() > 1) {
        return std::string(architectures::universal);
    }
    return std::string(elfArchitectureName(*machines.begin()));
}

}  // namespace kestrova
