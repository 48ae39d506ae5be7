// The products shown before any state is loaded or any scan has run.
#pragma once

#include "model/Plugin.h"

#include <vector>

namespace kestrova {

// Eight well-known products, each with a fresh identifier and no bundle
// records.
std::vector<Plugin> sampleInventory();

}  // namespace kestrova
