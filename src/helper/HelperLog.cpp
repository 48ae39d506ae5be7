#include "helper/HelperLog.h"

#include <unistd.h>

#include <cerrno>
#include <string>

namespace kestrova {

HelperLog::HelperLog(int fd) : fd_(fd), prefix_("KestrovaHelper[" + std::to_string(::getpid()) + "]: ") {}

void HelperLog::write(std::string_view line) { write(std::vector<std::string>{std::string(line)}); }

namespace {

constexpr std::size_t maximumLineLength = 2000;

// Lines carry what clients sent (versions, transaction IDs, paths): control
// characters are escaped so that no client can write a line of its own, and
// a huge value is cut short.
void appendLine(std::string& text, std::string_view line) {
    const auto kept = line.substr(0, maximumLineLength);
    for (const char character : kept) {
        const auto byte = static_cast<unsigned char>(character);
        if (byte < 0x20 || byte == 0x7f) {
            static constexpr char hex[] = "0123456789abcdef";
            text += "\\x";
            text.push_back(hex[byte >> 4]);
            text.push_back(hex[byte & 0xf]);
        } else {
            text.push_back(character);
        }
    }
    if (kept.size() < line.size()) {
        text += "… (" + std::to_string(line.size()) + " bytes)";
    }
    text.push_back('\n');
}

}  // namespace

void HelperLog::write(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) {
        text.append(prefix_);
        appendLine(text, line);
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
