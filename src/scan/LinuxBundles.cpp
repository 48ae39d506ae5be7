#include "scan/LinuxBundles.h"

#include "model/Plugin.h"
#include "model/ProductGrouping.h"
#include "platform/Elf.h"
#include "platform/Paths.h"
#include "platform/SmallFile.h"
#include "platform/Text.h"
#include "scan/Lv2Manifest.h"
#include "scan/Vst3ModuleInfo.h"

#include <algorithm>
#include <set>

namespace kestrova {
namespace {

bool isSharedObjectName(std::string_view name) { return lowercased(pathExtension(name)) == "so"; }

// Links are followed: plug-ins are often installed as links into /opt.
bool isFile(const FileSystem& fileSystem, const std::string& path) {
    const auto status = fileSystem.status(path);
    return status && status->isRegularFile;
}

bool isFolder(const FileSystem& fileSystem, const std::string& path) {
    const auto status = fileSystem.status(path);
    return status && status->isDirectory;
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
        if (!folder.ends_with("-linux") || folder.starts_with(".")) {
            continue;
        }
        const auto architectureFolder = appendingPathComponent(contents, folder);
        auto names = fileSystem.contentsOfDirectory(architectureFolder);
        if (!names) {
            continue;
        }
        std::sort(names->begin(), names->end());
        for (const auto& name : *names) {
            const auto path = appendingPathComponent(architectureFolder, name);
            if (isSharedObjectName(name) && isFile(fileSystem, path)) {
                executables.push_back(path);
            }
        }
    }
    return executables;
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

std::optional<LinuxBundleFacts> readVst3(const FileSystem& fileSystem, const std::string& path,
                                         const std::optional<FileStatus>& listed) {
    if (!listedAsFolder(fileSystem, path, listed)) {
        return std::nullopt;
    }
    LinuxBundleFacts facts;
    facts.executables = vst3Executables(fileSystem, path);
    if (const auto text = readSmallRegularFile(appendingPathComponent(path, "Contents/Resources/moduleinfo.json"),
                                               vst3ModuleInfoLimit)) {
        auto info = parseVst3ModuleInfo(*text);
        facts.name = std::move(info.name);
        facts.version = std::move(info.version);
        facts.manufacturer = std::move(info.vendor);
    }
    return facts;
}

std::optional<LinuxBundleFacts> readLv2(const FileSystem& fileSystem, const std::string& path,
                                        const std::optional<FileStatus>& listed) {
    if (!listedAsFolder(fileSystem, path, listed)) {
        return std::nullopt;
    }
    const auto manifestPath = appendingPathComponent(path, "manifest.ttl");
    if (!isFile(fileSystem, manifestPath)) {
        return std::nullopt;
    }
    LinuxBundleFacts facts;
    // An unreadable or oversized manifest still marks an LV2 bundle.
    const auto manifest = parseLv2Manifest(readSmallRegularFile(manifestPath, lv2ManifestLimit).value_or(""));
    facts.name = manifest.name;
    for (const auto& binary : manifest.binaries) {
        const auto executable = appendingPathComponent(path, binary);
        if (isFile(fileSystem, executable)) {
            facts.executables.push_back(executable);
        }
    }
    if (facts.executables.empty()) {
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
    return facts;
}

}  // namespace

std::optional<LinuxBundleFacts> readLinuxBundleFacts(const FileSystem& fileSystem, const std::string& path,
                                                     const std::string& format,
                                                     const std::optional<FileStatus>& listed) {
    if (format == formats::vst3) {
        return readVst3(fileSystem, path, listed);
    }
    if (format == formats::lv2) {
        return readLv2(fileSystem, path, listed);
    }
    // CLAP and VST2: the shared object is the whole plug-in.
    if (!listedAsFile(fileSystem, path, listed)) {
        return std::nullopt;
    }
    LinuxBundleFacts facts;
    facts.executables.push_back(path);
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
