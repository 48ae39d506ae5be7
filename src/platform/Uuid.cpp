#include "platform/Uuid.h"

#include <sys/random.h>
#include <uuid/uuid.h>

#include <cctype>
#include <cerrno>
#include <functional>

namespace kestrova {

Uuid Uuid::random() {
    // Straight from the kernel: libuuid re-seeds its own generator with five
    // system calls per identifier, a tenth of a scan's work on thousands of
    // products.
    std::array<std::uint8_t, 16> bytes{};
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const auto count = ::getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            uuid_generate_random(bytes.data());
            return Uuid(bytes);
        }
        filled += static_cast<std::size_t>(count);
    }
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    return Uuid(bytes);
}

std::optional<Uuid> Uuid::parse(std::string_view text) {
    // Decoded by hand: state files hold a UUID per record, hundreds of
    // thousands of them.
    if (text.size() != 36) {
        return std::nullopt;
    }
    const auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        if (c >= 'A' && c <= 'F') {
            return c - 'A' + 10;
        }
        return -1;
    };
    std::array<std::uint8_t, 16> bytes{};
    std::size_t byte = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (text[i] != '-') {
                return std::nullopt;
            }
            ++i;
            continue;
        }
        const int high = nibble(text[i]);
        const int low = nibble(text[i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes[byte++] = static_cast<std::uint8_t>(high << 4 | low);
        i += 2;
    }
    return Uuid(bytes);
}

std::string Uuid::string() const {
    char text[37];
    uuid_unparse_upper(bytes_.data(), text);
    return text;
}

bool Uuid::isNil() const { return *this == Uuid(); }

}  // namespace kestrova

std::size_t std::hash<kestrova::Uuid>::operator()(const kestrova::Uuid& uuid) const noexcept {
    std::size_t value = 0;
    for (auto byte : uuid.bytes()) {
        value = value * 131 + byte;
    }
    return value;
}
