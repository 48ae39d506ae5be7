// One format bundle as a scan read it from disk, before grouping.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrova {

struct DiscoveredBundle {
    std::string name;
    std::string manufacturer;
    std::string version;  // "Unavailable" when the bundle declares none
    std::string format;
    std::string architecture;  // "Apple Silicon", "Intel", "Universal" or "Unknown"
    std::int64_t byteSize = 0;
    std::string path;  // as enumerated: neither standardized nor resolved
    // The plug-ins a bundle holds when it holds several (an LV2 suite), or
    // those that load it when it is a shared component; else empty.
    std::vector<std::string> pluginNames;
    // A library that plug-ins load, not a plug-in: shown beside them,
    // protected and never moved, like a shared shell.
    bool isSharedComponent = false;

    friend bool operator==(const DiscoveredBundle&, const DiscoveredBundle&) = default;
};

}  // namespace kestrova
