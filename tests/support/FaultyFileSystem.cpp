#include "support/FaultyFileSystem.h"

#include "platform/Paths.h"

#include <cstring>

namespace kestrova::testing {
namespace {

Error injected(const char* what, const std::string& path, int code) {
    return Error{std::string(what) + " “" + path + "”: " + std::strerror(code), code};
}

}  // namespace

void FaultyFileSystem::failWritesUnder(const std::string& path, int code) {
    writeFaults_.push_back({standardizedPath(path), code});
}

void FaultyFileSystem::failReadsUnder(const std::string& path, int code) {
    readFaults_.push_back({standardizedPath(path), code});
}

void FaultyFileSystem::clearFaults() {
    writeFaults_.clear();
    readFaults_.clear();
    diskFull_ = false;
}

const FaultyFileSystem::Fault* FaultyFileSystem::faultAt(const std::vector<Fault>& faults, const std::string& path) {
    const auto standardized = standardizedPath(path);
    for (const auto& fault : faults) {
        if (isPathInside(standardized, fault.path)) {
            return &fault;
        }
    }
    return nullptr;
}

bool FaultyFileSystem::isReadable(const std::string& path) const {
    return !faultAt(readFaults_, path) && FileSystem::isReadable(path);
}

Result<std::vector<std::string>> FaultyFileSystem::contentsOfDirectory(const std::string& path) const {
    if (const auto* fault = faultAt(readFaults_, path)) {
        return injected("Could not list", path, fault->code);
    }
    return FileSystem::contentsOfDirectory(path);
}

Result<std::vector<DirectoryEntry>> FaultyFileSystem::entriesOfDirectory(const std::string& path) const {
    if (const auto* fault = faultAt(readFaults_, path)) {
        return injected("Could not list", path, fault->code);
    }
    return FileSystem::entriesOfDirectory(path);
}

Result<std::string> FaultyFileSystem::readFile(const std::string& path) const {
    if (const auto* fault = faultAt(readFaults_, path)) {
        return injected("Could not open", path, fault->code);
    }
    return FileSystem::readFile(path);
}

Result<FileBytes> FaultyFileSystem::mapFile(const std::string& path) const {
    if (const auto* fault = faultAt(readFaults_, path)) {
        return injected("Could not open", path, fault->code);
    }
    return FileSystem::mapFile(path);
}

Status FaultyFileSystem::writeFileAtomically(const std::string& path, std::string_view contents) {
    attemptedWrites_.push_back(standardizedPath(path));
    if (diskFull_) {
        return injected("Could not write", path, ENOSPC);
    }
    if (const auto* fault = faultAt(writeFaults_, path)) {
        return injected("Could not create a temporary file in", deletingLastPathComponent(path), fault->code);
    }
    return FileSystem::writeFileAtomically(path, contents);
}

Status FaultyFileSystem::writeFileAtomically(const std::string& path, const ContentProducer& produce) {
    std::string contents;
    produce([&contents](std::string_view piece) { contents += piece; });
    return writeFileAtomically(path, std::string_view(contents));
}

Status FaultyFileSystem::createDirectories(const std::string& path) {
    // Creating what already exists writes nothing, so only a missing folder fails.
    if (isDirectory(path)) {
        return {};
    }
    if (diskFull_) {
        return injected("Could not create the folder", path, ENOSPC);
    }
    if (const auto* fault = faultAt(writeFaults_, path)) {
        return injected("Could not create the folder", path, fault->code);
    }
    return FileSystem::createDirectories(path);
}

Status FaultyFileSystem::removeEmptyDirectory(const std::string& path) {
    if (const auto* fault = faultAt(writeFaults_, path)) {
        return injected("Could not remove the folder", path, fault->code);
    }
    return FileSystem::removeEmptyDirectory(path);
}

Status FaultyFileSystem::removeFile(const std::string& path) {
    if (const auto* fault = faultAt(writeFaults_, path)) {
        return injected("Could not remove", path, fault->code);
    }
    return FileSystem::removeFile(path);
}

}  // namespace kestrova::testing
