#include "platform/SmallFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    // Read one byte past the limit so a file that grew since fstat is still
    // refused rather than cut short.
    std::string contents(limit + 1, '\0');
    std::size_t filled = 0;
    while (filled < contents.size()) {
        const auto count = ::read(fd, contents.data() + filled, contents.size() - filled);
        if (count < 0) {
            return std::nullopt;
        }
        if (count == 0) {
            break;
        }
        filled += static_cast<std::size_t>(count);
    }
    if (filled > limit) {
        return std::nullopt;
    }
    contents.resize(filled);
    return contents;
}

}  // namespace kestrova
