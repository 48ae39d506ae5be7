#include "platform/FileSystem.h"

#include "platform/Paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fmt/format.h>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <utility>

namespace kestrova {
namespace {

FileStatus fromStat(const struct stat& info) {
    FileStatus result;
    result.isDirectory = S_ISDIR(info.st_mode);
    result.isRegularFile = S_ISREG(info.st_mode);
    result.isSymbolicLink = S_ISLNK(info.st_mode);
    result.size = static_cast<std::uint64_t>(info.st_size);
    result.modificationTime =
        static_cast<double>(info.st_mtim.tv_sec) + static_cast<double>(info.st_mtim.tv_nsec) / 1e9;
    return result;
}

Error errnoError(const std::string& what, const std::string& path, int code = errno) {
    return Error{fmt::format("{} “{}”: {}", what, path, std::strerror(code)), code};
}

struct FileDescriptor {
    int fd = -1;
    explicit FileDescriptor(int value) : fd(value) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

struct DirectoryHandle {
    DIR* dir;
    explicit DirectoryHandle(DIR* value) : dir(value) {}
    DirectoryHandle(const DirectoryHandle&) = delete;
    DirectoryHandle& operator=(const DirectoryHandle&) = delete;
    ~DirectoryHandle() {
        if (dir) {
            ::closedir(dir);
        }
    }
};

Status writeAll(int fd, std::string_view contents, const std::string& path) {
    std::size_t written = 0;
    while (written < contents.size()) {
        const auto n = ::write(fd, contents.data() + written, contents.size() - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errnoError("Could not write", path);
        }
        written += static_cast<std::size_t>(n);
    }
    return {};
}

bool walk(const FileSystem& fs, const std::string& folder,
          const std::function<EnumerationStep(const EnumeratedEntry&)>& visitor,
          const FileSystem::EnumerationErrorHandler& onError);

// Visits the listed entries of `folder` and walks into its sub-folders.
// Returns false when the visitor or the error handler asked to stop.
bool walkEntries(const FileSystem& fs, const std::string& folder, const std::vector<DirectoryEntry>& entries,
                 const std::function<EnumerationStep(const EnumeratedEntry&)>& visitor,
                 const FileSystem::EnumerationErrorHandler& onError) {
    for (const auto& [name, kind] : entries) {
        if (name.empty() || name.front() == '.') {
            continue;
        }
        const auto path = appendingPathComponent(folder, name);
        FileStatus info;
        if (kind == EntryKind::directory) {
            info.isDirectory = true;
        } else if (kind == EntryKind::symbolicLink) {
            info.isSymbolicLink = true;
        } else if (auto found = fs.linkStatus(path)) {
            info = *found;
        } else {
            continue;  // gone since the listing
        }
        const auto step = visitor(EnumeratedEntry{path, info});
        if (step == EnumerationStep::stop) {
            return false;
        }
        if (step == EnumerationStep::proceed && info.isDirectory && !info.isSymbolicLink) {
            if (!walk(fs, path, visitor, onError)) {
                return false;
            }
        }
    }
    return true;
}

bool walk(const FileSystem& fs, const std::string& folder,
          const std::function<EnumerationStep(const EnumeratedEntry&)>& visitor,
          const FileSystem::EnumerationErrorHandler& onError) {
    const auto entries = fs.entriesOfDirectory(folder);
    if (!entries) {
        return !onError || onError(folder, entries.error());
    }
    return walkEntries(fs, folder, *entries, visitor, onError);
}

}  // namespace

std::optional<FileStatus> FileSystem::linkStatus(const std::string& path) const {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return fromStat(info);
}

std::optional<FileStatus> FileSystem::status(const std::string& path) const {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return fromStat(info);
}

std::optional<FileIdentity> FileSystem::identity(const std::string& path) const {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return FileIdentity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

bool FileSystem::isDirectory(const std::string& path) const {
    const auto info = status(path);
    return info && info->isDirectory;
}

bool FileSystem::isSymbolicLink(const std::string& path) const {
    const auto info = linkStatus(path);
    return info && info->isSymbolicLink;
}

bool FileSystem::isReadable(const std::string& path) const { return ::access(path.c_str(), R_OK) == 0; }

Result<std::vector<std::string>> FileSystem::contentsOfDirectory(const std::string& path) const {
    DirectoryHandle handle(::opendir(path.c_str()));
    if (!handle.dir) {
        return errnoError("Could not list", path);
    }
    std::vector<std::string> names;
    while (const auto* entry = ::readdir(handle.dir)) {
        const std::string_view name(entry->d_name);
        if (name != "." && name != "..") {
            names.emplace_back(name);
        }
    }
    return names;
}

Result<std::vector<DirectoryEntry>> FileSystem::entriesOfDirectory(const std::string& path) const {
    DirectoryHandle handle(::opendir(path.c_str()));
    if (!handle.dir) {
        return errnoError("Could not list", path);
    }
    std::vector<DirectoryEntry> entries;
    while (const auto* entry = ::readdir(handle.dir)) {
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..") {
            continue;
        }
        EntryKind kind = EntryKind::unknown;
        switch (entry->d_type) {
            case DT_DIR:
                kind = EntryKind::directory;
                break;
            case DT_REG:
                kind = EntryKind::regularFile;
                break;
            case DT_LNK:
                kind = EntryKind::symbolicLink;
                break;
            case DT_UNKNOWN:
                break;
            default:
                kind = EntryKind::other;
                break;
        }
        entries.push_back(DirectoryEntry{std::string(name), kind});
    }
    return entries;
}

Status FileSystem::enumerateReportingErrors(const std::string& root,
                                            const std::function<EnumerationStep(const EnumeratedEntry&)>& visitor,
                                            const EnumerationErrorHandler& onError) const {
    // Listing the root doubles as the check that it is a folder, which saves
    // a stat per bundle when sizes are summed.
    const auto entries = entriesOfDirectory(root);
    if (!entries) {
        return entries.error();
    }
    walkEntries(*this, root, *entries, visitor, onError);
    return {};
}

Result<std::string> FileSystem::readFile(const std::string& path) const {
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.fd < 0) {
        return errnoError("Could not open", path);
    }
    std::string contents;
    // Sized up front so a large file is not copied over and over as it grows.
    if (struct stat info{}; ::fstat(file.fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
        contents.reserve(static_cast<std::size_t>(info.st_size));
    }
    char buffer[65536];
    while (true) {
        const auto n = ::read(file.fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errnoError("Could not read", path);
        }
        if (n == 0) {
            break;
        }
        contents.append(buffer, static_cast<std::size_t>(n));
    }
    return contents;
}

FileBytes FileBytes::mapping(const char* address, std::size_t length, std::size_t mappedLength) {
    FileBytes bytes;
    bytes.mapped_ = address;
    bytes.length_ = length;
    bytes.mappedLength_ = mappedLength;
    return bytes;
}

FileBytes::FileBytes(FileBytes&& other) noexcept
    : text_(std::move(other.text_)),
      mapped_(std::exchange(other.mapped_, nullptr)),
      length_(std::exchange(other.length_, 0)),
      mappedLength_(std::exchange(other.mappedLength_, 0)) {}

FileBytes& FileBytes::operator=(FileBytes&& other) noexcept {
    FileBytes previous(std::move(*this));  // unmapped when it goes
    text_ = std::move(other.text_);
    mapped_ = std::exchange(other.mapped_, nullptr);
    length_ = std::exchange(other.length_, 0);
    mappedLength_ = std::exchange(other.mappedLength_, 0);
    return *this;
}

void FileBytes::releaseBefore(std::size_t offset) const {
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const auto whole = std::min(offset, length_) / page * page;
    if (mapped_ && whole > 0) {
        ::madvise(const_cast<char*>(mapped_), whole, MADV_DONTNEED);
    }
}

FileBytes::~FileBytes() {
    if (mapped_) {
        ::munmap(const_cast<char*>(mapped_), mappedLength_);
    }
}

namespace {

// The file's pages, then at least one page of zeros: anonymous memory is
// reserved for both and the file mapped over its start, so that reading
// past the end of the file never touches a page the file does not back.
const char* mapWithZerosAfter(int fd, std::size_t length, std::size_t& mappedLength) {
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    mappedLength = (length + page - 1) / page * page + page;
    void* area = ::mmap(nullptr, mappedLength, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (area == MAP_FAILED) {
        return nullptr;
    }
    if (::mmap(area, length, PROT_READ, MAP_PRIVATE | MAP_FIXED | MAP_POPULATE, fd, 0) == MAP_FAILED) {
        ::munmap(area, mappedLength);
        return nullptr;
    }
    return static_cast<const char*>(area);
}

}  // namespace

Result<FileBytes> FileSystem::mapFile(const std::string& path) const {
    // Non-blocking, so that a FIFO put where a file belongs is refused
    // rather than waited on for ever.
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.fd < 0) {
        return errnoError("Could not open", path);
    }
    struct stat info {};
    if (::fstat(file.fd, &info) != 0) {
        return errnoError("Could not read", path);
    }
    if (!S_ISREG(info.st_mode)) {
        return Error{fmt::format("Could not read “{}”: it is not a regular file.", path), EINVAL};
    }
    if (info.st_size > 0) {
        const auto length = static_cast<std::size_t>(info.st_size);
        std::size_t mappedLength = 0;
        if (const char* address = mapWithZerosAfter(file.fd, length, mappedLength)) {
            return FileBytes::mapping(address, length, mappedLength);
        }
    }
    // Empty, or on a file system that cannot map: read it.
    auto text = readFile(path);
    if (!text) {
        return text.error();
    }
    return FileBytes(std::move(*text));
}

Status FileSystem::writeFileAtomically(const std::string& path, std::string_view contents) {
    // Not through the virtual overload: a file system that adds faults to
    // both overloads would call itself back.
    return FileSystem::writeFileAtomically(path, ContentProducer([contents](const auto& write) { write(contents); }));
}

Status FileSystem::writeFileAtomically(const std::string& path, const ContentProducer& produce) {
    const auto folder = deletingLastPathComponent(path);
    std::string temporary = appendingPathComponent(folder, "." + lastPathComponent(path) + ".XXXXXX");
    FileDescriptor file(::mkstemp(temporary.data()));
    if (file.fd < 0) {
        return errnoError("Could not create a temporary file in", folder);
    }
    Status written;
    produce([&](std::string_view piece) {
        if (written) {
            written = writeAll(file.fd, piece, temporary);
        }
    });
    if (written && ::fsync(file.fd) != 0) {
        written = errnoError("Could not flush", temporary);
    }
    if (written && ::fchmod(file.fd, 0644) != 0) {
        written = errnoError("Could not set permissions of", temporary);
    }
    if (!written) {
        ::unlink(temporary.c_str());
        return written;
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const auto code = errno;
        ::unlink(temporary.c_str());
        return errnoError("Could not replace", path, code);
    }
    FileDescriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.fd >= 0) {
        ::fsync(directory.fd);
    }
    return {};
}

Status FileSystem::createDirectories(const std::string& path) {
    const auto standardized = standardizedPath(path);
    if (isDirectory(standardized)) {
        return {};
    }
    const auto parent = deletingLastPathComponent(standardized);
    if (!parent.empty() && parent != standardized) {
        if (auto made = createDirectories(parent); !made) {
            return made;
        }
    }
    if (::mkdir(standardized.c_str(), 0755) != 0 && errno != EEXIST) {
        return errnoError("Could not create the folder", standardized);
    }
    if (!isDirectory(standardized)) {
        return Error{fmt::format("“{}” exists and is not a folder.", standardized), ENOTDIR};
    }
    return {};
}

Status FileSystem::removeEmptyDirectory(const std::string& path) {
    if (::rmdir(path.c_str()) != 0) {
        return errnoError("Could not remove the folder", path);
    }
    return {};
}

Status FileSystem::removeFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0) {
        return errnoError("Could not remove", path);
    }
    return {};
}

std::string FileSystem::resolvingSymlinks(const std::string& path) const {
    // Resolve the longest existing prefix, then append the rest unchanged.
    auto existing = standardizedPath(path);
    std::string rest;
    while (!existing.empty() && existing != "/" && !existsWithoutFollowing(existing)) {
        rest = rest.empty() ? lastPathComponent(existing) : appendingPathComponent(lastPathComponent(existing), rest);
        existing = deletingLastPathComponent(existing);
    }
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(existing.c_str(), nullptr), &std::free);
    if (!resolved) {
        return standardizedPath(path);
    }
    return rest.empty() ? std::string(resolved.get()) : appendingPathComponent(resolved.get(), rest);
}

FileSystem& realFileSystem() {
    static FileSystem disk;
    return disk;
}

std::string absolutePathFromWorkingFolder(const std::string& path) {
    if (isAbsolutePath(path)) {
        return standardizedPath(path);
    }
    std::error_code error;
    const auto current = std::filesystem::current_path(error);
    return standardizedPath(appendingPathComponent(error ? "/" : current.string(), path));
}

Result<std::string> existingFolder(const std::string& given, std::string_view role, const FileSystem& fileSystem) {
    const auto resolved = fileSystem.resolvingSymlinks(absolutePathFromWorkingFolder(given));
    if (!fileSystem.isDirectory(resolved)) {
        return Error{fmt::format("The {} “{}” is not an existing folder.", role, given)};
    }
    return resolved;
}

}  // namespace kestrova
