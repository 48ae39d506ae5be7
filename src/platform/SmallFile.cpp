#include "platform/SmallFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

namespace kestrova {

std::optional<std::string> readSmallRegularFile(const std::string& path, std::size_t limit) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return std::nullopt;
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || static_cast<std::uint64_t>(info.st_size) > limit) {
        return std::nullopt;
    }
    // Sized from fstat, not from the limit: a buffer of the limit for every
    // small manifest cost more than the rest of the scan. One byte more is
    // asked for, so a file that grew since fstat is still refused rather
    // than cut short.
    const auto expected = static_cast<std::size_t>(info.st_size);
    std::string contents(std::min(expected, limit) + 1, '\0');
    std::size_t filled = 0;
    while (filled < contents.size()) {
        const auto count = ::read(fd, contents.data() + filled, contents.size() - filled);
        if (count < 0) {
            return std::nullopt;
        }
        const auto wanted = contents.size() - filled;
        filled += static_cast<std::size_t>(count);
        // A regular file reads short only at its end, which spares the read
        // that would return nothing.
        if (static_cast<std::size_t>(count) < wanted) {
            break;
        }
    }
    if (filled > expected || filled > limit) {
        return std::nullopt;
    }
    contents.resize(filled);
    return contents;
}

}  // namespace kestrova
