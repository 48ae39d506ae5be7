// What an LV2 bundle's manifest.ttl says that the inventory needs: the
// shared objects its plug-ins load (lv2:binary) and a name (doap:name), when
// the manifest carries one. A small Turtle reader, enough for manifests:
// prefixes, IRIs, prefixed names, the four string forms and comments. It
// never fails; what it cannot make sense of it skips.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

struct Lv2Manifest {
    // Relative to the bundle, in manifest order, each once. Only plain
    // relative references that stay inside the bundle are kept.
    std::vector<std::string> binaries;
    std::optional<std::string> name;

    friend bool operator==(const Lv2Manifest&, const Lv2Manifest&) = default;
};

// Larger manifests are not read.
inline constexpr std::size_t lv2ManifestLimit = 1 << 20;

Lv2Manifest parseLv2Manifest(std::string_view turtle);

}  // namespace kestrova
