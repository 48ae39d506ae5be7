// Products that exist only inside the Waves shell, as the Audio Unit
// registry lists them, and how they join the products found on disk.
#pragma once

#include "model/Plugin.h"
#include "platform/AudioUnitRegistry.h"

#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

// The registry name without its "Waves: ", "Waves - " or "Waves " prefix,
// trimmed.
std::string registryDisplayName(std::string_view name);

// One hosted-by-shell product per cleaned Waves component name; a later
// component of the same name replaces the earlier one.
std::vector<Plugin> registryProducts(const std::vector<AudioUnitComponent>& components);

// The scan's final list: products on disk, then registry products without a
// twin on disk, sorted by manufacturer and name as a person reads them.
std::vector<Plugin> productsOfScan(std::vector<Plugin> scanned, const std::vector<Plugin>& registry);

}  // namespace kestrova
