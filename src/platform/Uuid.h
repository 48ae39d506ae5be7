// Random identifiers, kept as 16 bytes and written in the upper-case
// 8-4-4-4-12 form everywhere they are stored or shown.
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrova {

class Uuid {
public:
    Uuid() = default;  // the nil UUID
    explicit Uuid(const std::array<std::uint8_t, 16>& bytes) : bytes_(bytes) {}

    static Uuid random();
    // Accepts either letter case; anything but the 36-character form is absent.
    static std::optional<Uuid> parse(std::string_view text);

    std::string string() const;  // upper case
    const std::array<std::uint8_t, 16>& bytes() const { return bytes_; }
    bool isNil() const;

    friend auto operator<=>(const Uuid&, const Uuid&) = default;

private:
    std::array<std::uint8_t, 16> bytes_{};
};

}  // namespace kestrova

template <>
struct std::hash<kestrova::Uuid> {
    std::size_t operator()(const kestrova::Uuid& uuid) const noexcept;
};
