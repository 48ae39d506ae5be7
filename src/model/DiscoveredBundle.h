// One format bundle as a scan read it from disk, before grouping.
#pragma once

#include <cstdint>
#include <string>

namespace kestrova {

struct DiscoveredBundle {
    std::string name;
    std::string manufacturer;
    std::string version;  // "Unavailable" when the bundle declares none
    std::string format;
    std::string architecture;  // "Apple Silicon", "Intel", "Universal" or "Unknown"
    std::int64_t byteSize = 0;
    std::string path;  // as enumerated: neither standardized nor resolved

    friend bool operator==(const DiscoveredBundle&, const DiscoveredBundle&) = default;
};

}  // namespace kestrova
