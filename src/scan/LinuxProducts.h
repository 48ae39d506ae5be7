// The last step of a Linux scan, over every bundle it read: which entries
// are products, and which names they go by. A shared library is kept only
// where plug-ins of its own folder load it, as a shared component; a
// bundle named only by its file takes the name and maker of a described
// bundle of the same file name, so the formats of one plug-in meet in one
// product.
#pragma once

#include "model/DiscoveredBundle.h"

#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

struct LinuxDiscovery {
    DiscoveredBundle bundle;
    // Whether bundle.name came from the bundle's description rather than
    // its file name.
    bool isDescribed = false;
    // The file name without its extension and format suffix.
    std::string fileStem;
    bool isSharedLibrary = false;
    std::vector<std::string> needed;
    std::string soname;

    friend bool operator==(const LinuxDiscovery&, const LinuxDiscovery&) = default;
};

// "3BandEQ-vst" → "3BandEQ": the suffixes distributions add to tell the
// formats of one plug-in apart (-vst, -vst2, -vst3, -lv2, -clap, any case).
std::string withoutFormatSuffix(std::string_view stem);

std::vector<DiscoveredBundle> linuxProductBundles(std::vector<LinuxDiscovery> discoveries);

}  // namespace kestrova
