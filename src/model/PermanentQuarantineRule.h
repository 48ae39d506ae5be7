// A manufacturer whose reinstalled bundles go back into quarantine after the
// next scan. There is no disabled rule: a manufacturer without one is off.
#pragma once

#include "model/Hashing.h"
#include "model/JsonCoding.h"
#include "platform/Date.h"

#include <string>
#include <string_view>

namespace kestrova {

struct PermanentQuarantineRule {
    std::string manufacturer;  // as the user chose it, not normalized
    Date enabledAt;

    // The rule's identity: the manufacturer key of `manufacturer`.
    std::string id() const;

    friend bool operator==(const PermanentQuarantineRule&, const PermanentQuarantineRule&) = default;
};

// Trimmed, folded case- and diacritic-insensitively, lower-cased; the four
// spellings of Universal Audio that installers use collapse into one.
std::string manufacturerKey(std::string_view manufacturer);

template <>
struct JsonCoder<PermanentQuarantineRule> {
    static Json encode(const PermanentQuarantineRule& rule);
    static PermanentQuarantineRule decode(const Json& json, const std::string& key);
};

}  // namespace kestrova

template <>
struct std::hash<kestrova::PermanentQuarantineRule> {
    std::size_t operator()(const kestrova::PermanentQuarantineRule& rule) const noexcept {
        std::size_t seed = 0;
        kestrova::hashCombine(seed, rule.manufacturer);
        kestrova::hashCombine(seed, rule.enabledAt);
        return seed;
    }
};
