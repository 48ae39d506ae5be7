// The file-system service every subsystem reads and writes through. The real
// one talks to the disk; tests subclass it to inject failures, since root
// passes every permission check.
#pragma once

#include "platform/Result.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

// What lstat says of a path: a symbolic link is reported as itself.
struct FileStatus {
    bool isDirectory = false;
    bool isRegularFile = false;
    bool isSymbolicLink = false;
    std::uint64_t size = 0;
    double modificationTime = 0;  // Unix seconds

    friend bool operator==(const FileStatus&, const FileStatus&) = default;
};

// Which file a path names, as stat reports it: the same folder keeps its
// identity while it stays in place, a replaced one gets a new one.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// One entry met by a recursive enumeration. Files carry their lstat; for
// folders and symbolic links only the kind is filled in, as the listing
// reports it, which spares a stat per folder.
struct EnumeratedEntry {
    std::string path;
    FileStatus status;
};

// What a folder listing says of an entry without a stat; unknown where the
// file system does not say.
enum class EntryKind { unknown, directory, regularFile, symbolicLink, other };

struct DirectoryEntry {
    std::string name;
    EntryKind kind = EntryKind::unknown;

    friend bool operator==(const DirectoryEntry&, const DirectoryEntry&) = default;
};

enum class EnumerationStep { proceed, skipDescendants, stop };

// The whole contents of a file. A regular file is mapped rather than read:
// a state file of tens of megabytes is then neither copied nor faulted in
// page by page. A file replaced by rename (as every file we write is) leaves
// a mapping whole; one truncated in place while mapped is not read safely,
// which is why only our own files are read this way. A mapping is followed
// by at least one page of readable zeros, which a parser that reads ahead
// in wide blocks (simdjson) needs after the text.
class FileBytes {
public:
    FileBytes() = default;
    explicit FileBytes(std::string text) : text_(std::move(text)) {}
    // `mappedLength` bytes from `address` are mapped, `length` of them the file's.
    static FileBytes mapping(const char* address, std::size_t length, std::size_t mappedLength);
    FileBytes(FileBytes&& other) noexcept;
    FileBytes& operator=(FileBytes&& other) noexcept;
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;
    ~FileBytes();

    std::string_view view() const { return mapped_ ? std::string_view(mapped_, length_) : std::string_view(text_); }
    // How many bytes after the end of view() may be read.
    std::size_t readableAfterEnd() const { return mapped_ ? mappedLength_ - length_ : 0; }
    // Hands the pages of a mapping before `offset` back to the system: a
    // reader that is done with them keeps the file and what it built from it
    // from both being whole in memory. They are read from the file again if
    // touched; the bytes are the same. Text that is not mapped is kept.
    void releaseBefore(std::size_t offset) const;

private:
    std::string text_;
    const char* mapped_ = nullptr;
    std::size_t length_ = 0;
    std::size_t mappedLength_ = 0;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // lstat; absent when nothing is at the path.
    virtual std::optional<FileStatus> linkStatus(const std::string& path) const;
    // stat, following links; absent when nothing (or a dangling link) is there.
    virtual std::optional<FileStatus> status(const std::string& path) const;
    bool exists(const std::string& path) const { return status(path).has_value(); }
    // Whether anything, even a dangling symbolic link, is at the path.
    bool existsWithoutFollowing(const std::string& path) const { return linkStatus(path).has_value(); }
    // stat's device and inode, following links; absent when nothing is there.
    virtual std::optional<FileIdentity> identity(const std::string& path) const;
    bool isDirectory(const std::string& path) const;
    bool isSymbolicLink(const std::string& path) const;
    virtual bool isReadable(const std::string& path) const;

    // Names in a folder, hidden ones included, in no particular order.
    virtual Result<std::vector<std::string>> contentsOfDirectory(const std::string& path) const;
    // The same with each entry's kind; the enumerations below list through it.
    virtual Result<std::vector<DirectoryEntry>> entriesOfDirectory(const std::string& path) const;
    // Walks everything below `root` depth first, skipping hidden names and not
    // following symbolic links; the visitor decides whether to descend.
    // `onError` hears of every folder below the root that cannot be listed,
    // and the walk goes on while it answers true. A root that cannot be
    // listed is the returned error.
    using EnumerationErrorHandler = std::function<bool(const std::string& path, const Error& error)>;
    Status enumerateReportingErrors(const std::string& root,
                                    const std::function<EnumerationStep(const EnumeratedEntry&)>& visitor,
                                    const EnumerationErrorHandler& onError) const;

    virtual Result<std::string> readFile(const std::string& path) const;
    // The same bytes, mapped when the file is a regular one; see FileBytes.
    virtual Result<FileBytes> mapFile(const std::string& path) const;
    // Temporary file in the same folder, flushed and synced, renamed over the
    // target, then the folder synced: readers see the old or the new file whole.
    virtual Status writeFileAtomically(const std::string& path, std::string_view contents);
    // The same for contents made piece by piece: `produce` hands each piece to
    // the function it is given, so a large file never sits whole in memory.
    using ContentProducer = std::function<void(const std::function<void(std::string_view)>& write)>;
    virtual Status writeFileAtomically(const std::string& path, const ContentProducer& produce);
    virtual Status createDirectories(const std::string& path);
    // Removes a folder only when it is empty.
    virtual Status removeEmptyDirectory(const std::string& path);
    virtual Status removeFile(const std::string& path);

    // Resolves the symbolic links of the components that exist and keeps the
    // rest as written; a path that does not exist resolves to itself.
    virtual std::string resolvingSymlinks(const std::string& path) const;
};

// The disk as it is.
FileSystem& realFileSystem();

// A path as given on a command line, made absolute against the working
// folder and standardized.
std::string absolutePathFromWorkingFolder(const std::string& path);
// The real path of a folder given on a command line; stored paths are real
// absolute paths, so a relative or linked one is resolved once, here. An
// error names the folder's role: "The home folder “x” is not an existing
// folder."
Result<std::string> existingFolder(const std::string& given, std::string_view role, const FileSystem& fileSystem);

}  // namespace kestrova
