// The exact-match search behind permanent quarantine: a reinstalled bundle
// of a manufacturer with a rule is matched only when exactly one active and
// exactly one quarantined bundle share its identity (manufacturer, product
// name, format, bundle file name). Pure.
#pragma once

#include "model/Hashing.h"
#include "model/PermanentQuarantineRule.h"
#include "model/Plugin.h"
#include "model/PluginBundleSelection.h"

#include <string>
#include <vector>

namespace kestrova {

struct PermanentQuarantineMatch {
    PluginBundleSelection active;   // the reinstalled bundle
    PluginBundleSelection retired;  // its copy in Kestrova quarantine
    std::string pluginName;
    std::string manufacturer;
    std::string format;

    friend bool operator==(const PermanentQuarantineMatch&, const PermanentQuarantineMatch&) = default;
};

// Manufacturer key, folded product name, upper-cased format and the
// lower-cased file name of the bundle's original (else current) path.
std::string bundleIdentityKey(const Plugin& product, const PluginBundleRecord& bundle);

// Shared shells, shell-hosted, protected products and protected bundles
// never take part, nor products without recorded bundles. Sorted by
// manufacturer, then product name.
std::vector<PermanentQuarantineMatch> findPermanentQuarantineMatches(const std::vector<Plugin>& plugins,
                                                                     const std::vector<PermanentQuarantineRule>& rules);

}  // namespace kestrova

template <>
struct std::hash<kestrova::PermanentQuarantineMatch> {
    std::size_t operator()(const kestrova::PermanentQuarantineMatch& match) const noexcept {
        std::size_t seed = 0;
        kestrova::hashCombine(seed, match.active);
        kestrova::hashCombine(seed, match.retired);
        kestrova::hashCombine(seed, match.pluginName);
        kestrova::hashCombine(seed, match.manufacturer);
        kestrova::hashCombine(seed, match.format);
        return seed;
    }
};
