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

std::string defaultTrashFolder(const SystemLayout& layout) { return standardizedPath(layout.trashFolder()); }

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
