#include "platform/Uuid.h"

#include <uuid/uuid.h>

#include <cctype>
#include <functional>

namespace kestrova {

Uuid Uuid::random() {
    std::array<std::uint8_t, 16> bytes{};
    uuid_generate_random(bytes.data());
    return Uuid(bytes);
}

std::optional<Uuid> Uuid::parse(std::string_view text) {
    if (text.size() != 36) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool dashPosition = i == 8 || i == 13 || i == 18 || i == 23;
        const auto c = static_cast<unsigned char>(text[i]);
        if (dashPosition ? c != '-' : !std::isxdigit(c)) {
            return std::nullopt;
        }
    }
    std::string copy(text);
    std::array<std::uint8_t, 16> bytes{};
    if (uuid_parse(copy.c_str(), bytes.data()) != 0) {
        return std::nullopt;
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
