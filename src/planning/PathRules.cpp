#include "planning/PathRules.h"

#include "platform/FreedesktopTrash.h"
#include "platform/LinuxLayout.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/Uuid.h"

namespace kestrova {
namespace {

constexpr int lastTrashSuffix = 10000;

bool isFreeTrashName(const std::string& candidate, TakenTrashNames& taken, const FileSystem& fileSystem,
                     PlatformProfile profile) {
    // A dangling link counts as taken: the move would land on it.
    if (fileSystem.existsWithoutFollowing(candidate) ||
        (profile == PlatformProfile::gnuLinux && fileSystem.existsWithoutFollowing(trashInfoPath(candidate)))) {
        return false;
    }
    return taken.insert(unicodeLowercased(candidate)).second;
}

}  // namespace

std::string quarantineRoot(const SystemLayout& layout) {
    if (layout.profile == PlatformProfile::gnuLinux) {
        return standardizedPath(layout.system(linuxlayout::quarantineRootPath));
    }
    return standardizedPath(layout.system(quarantineRootPath));
}

std::string quarantineRoot(const SystemLayout& layout, BundleSide side) {
    if (side == BundleSide::user && layout.profile == PlatformProfile::gnuLinux) {
        return userQuarantineRoot(layout);
    }
    return quarantineRoot(layout);
}

std::string defaultTrashFolder(const SystemLayout& layout) { return standardizedPath(layout.trashFolder()); }

namespace {

// The device of the path, or of its deepest existing folder.
std::optional<std::pair<std::string, std::uint64_t>> existingDevice(std::string path, const FileSystem& fileSystem) {
    while (true) {
        if (const auto identity = fileSystem.identity(path)) {
            return std::pair{std::move(path), identity->device};
        }
        if (path == "/" || path.empty()) {
            return std::nullopt;
        }
        path = deletingLastPathComponent(path);
    }
}

}  // namespace

std::optional<std::string> fileSystemTop(const std::string& path, const FileSystem& fileSystem) {
    auto start = existingDevice(standardizedPath(path), fileSystem);
    if (!start) {
        return std::nullopt;
    }
    auto& [top, device] = *start;
    while (top != "/") {
        const auto parent = deletingLastPathComponent(top);
        const auto identity = fileSystem.identity(parent);
        if (!identity || identity->device != device) {
            break;
        }
        top = parent;
    }
    return top;
}

std::string topdirTrashFolder(std::string_view topdir, unsigned uid) {
    return appendingPathComponent(
        appendingPathComponent(topdir, std::string(linuxlayout::topdirTrashPrefix) + std::to_string(uid)), "files");
}

std::string freedesktopTrashFolderFor(const std::string& path, const std::string& homeTrashFolder, unsigned uid,
                                      const FileSystem& fileSystem) {
    const auto here = existingDevice(path, fileSystem);
    const auto home = existingDevice(homeTrashFolder, fileSystem);
    if (!here || !home || here->second == home->second) {
        return homeTrashFolder;
    }
    const auto top = fileSystemTop(path, fileSystem);
    return top ? topdirTrashFolder(*top, uid) : homeTrashFolder;
}

bool isSafeTopdirTrashFolder(const std::string& folder, const FileSystem& fileSystem) {
    for (const auto& path : {deletingLastPathComponent(folder), folder}) {
        if (const auto status = fileSystem.linkStatus(path);
            status && (!status->isDirectory || status->isSymbolicLink)) {
            return false;
        }
    }
    return true;
}

std::optional<std::string> verifiedQuarantineLocation(std::string_view quarantinePath, std::string_view operationID,
                                                      std::string_view expectedFileName, std::string_view root,
                                                      const FileSystem& fileSystem, PlatformProfile profile) {
    if (!isAbsolutePath(quarantinePath) || !Uuid::parse(operationID)) {
        return std::nullopt;
    }
    if (expectedFileName.empty() || expectedFileName == "." || expectedFileName == "..") {
        return std::nullopt;
    }
    const auto location = standardizedPath(quarantinePath);
    const auto expectedParent = standardizedPath(appendingPathComponent(root, operationID));
    if (const auto status = fileSystem.linkStatus(location); status && status->isSymbolicLink) {
        return std::nullopt;
    }
    if (deletingLastPathComponent(location) != expectedParent || lastPathComponent(location) != expectedFileName ||
        !isPluginBundleExtension(pathExtension(location), profile)) {
        return std::nullopt;
    }
    return location;
}

bool isSafeTrashFolder(const std::string& folder, const FileSystem& fileSystem) {
    const auto status = fileSystem.linkStatus(folder);
    return status && status->isDirectory && !status->isSymbolicLink;
}

std::optional<std::string> trashDestination(std::string_view sourcePath, std::string_view trashFolder,
                                            TakenTrashNames& taken, const FileSystem& fileSystem,
                                            PlatformProfile profile) {
    const auto name = lastPathComponent(sourcePath);
    auto candidate = standardizedPath(appendingPathComponent(trashFolder, name));
    if (isFreeTrashName(candidate, taken, fileSystem, profile)) {
        return candidate;
    }
    const auto extension = pathExtension(name);
    const auto base = deletingPathExtension(name);
    for (int suffix = 2; suffix <= lastTrashSuffix; ++suffix) {
        auto numbered = base + " " + std::to_string(suffix);
        if (!extension.empty()) {
            numbered += "." + extension;
        }
        candidate = standardizedPath(appendingPathComponent(trashFolder, numbered));
        if (isFreeTrashName(candidate, taken, fileSystem, profile)) {
            return candidate;
        }
    }
    return std::nullopt;
}

}  // namespace kestrova
