// A disk that fails on request. Root passes every permission check, so tests
// make reads and writes fail here instead: under chosen folders, or
// everywhere as if the disk were full. Everything else goes to the real disk.
#pragma once

#include "platform/FileSystem.h"

#include <cerrno>
#include <cstddef>
#include <string>
#include <vector>

namespace kestrova::testing {

class FaultyFileSystem : public FileSystem {
public:
    // Writes, folder creation and removals at or below `path` fail with `code`.
    void failWritesUnder(const std::string& path, int code = EACCES);
    // Reads, listings and readability checks at or below `path` fail.
    void failReadsUnder(const std::string& path, int code = EACCES);
    // Every write fails with ENOSPC and leaves nothing behind.
    void simulateFullDisk(bool full = true) { diskFull_ = full; }
    void clearFaults();

    // Every path a write was attempted on, failed or not, in order.
    const std::vector<std::string>& attemptedWrites() const { return attemptedWrites_; }

    bool isReadable(const std::string& path) const override;
    Result<std::vector<std::string>> contentsOfDirectory(const std::string& path) const override;
    Result<std::vector<DirectoryEntry>> entriesOfDirectory(const std::string& path) const override;
    Result<std::string> readFile(const std::string& path) const override;
    Result<FileBytes> mapFile(const std::string& path) const override;
    Status writeFileAtomically(const std::string& path, std::string_view contents) override;
    // Collects the pieces and writes them as above, with the same faults.
    Status writeFileAtomically(const std::string& path, const ContentProducer& produce) override;
    Status createDirectories(const std::string& path) override;
    Status removeEmptyDirectory(const std::string& path) override;
    Status removeFile(const std::string& path) override;

private:
    struct Fault {
        std::string path;
        int code;
    };
    static const Fault* faultAt(const std::vector<Fault>& faults, const std::string& path);

    std::vector<Fault> writeFaults_;
    std::vector<Fault> readFaults_;
    bool diskFull_ = false;
    std::vector<std::string> attemptedWrites_;
};

}  // namespace kestrova::testing
