#include "helper/HelperLog.h"

#include <unistd.h>

#include <cerrno>
#include <string>

namespace kestrova {

HelperLog::HelperLog(int fd) : fd_(fd), prefix_("KestrovaHelper[" + std::to_string(::getpid()) + "]: ") {}

void HelperLog::write(std::string_view line) { write(std::vector<std::string>{std::string(line)}); }

void HelperLog::write(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) {
        text.append(prefix_);
        text.append(line);
        text.push_back('\n');
    }
    writeText(text);
}

void HelperLog::writeText(std::string_view text) {
    std::lock_guard lock(mutex_);
    std::size_t written = 0;
    while (written < text.size()) {
        const auto count = ::write(fd_, text.data() + written, text.size() - written);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return;  // a log that cannot be written must not stop a transaction
        }
        written += static_cast<std::size_t>(count);
    }
}

}  // namespace kestrova
