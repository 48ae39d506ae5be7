// A sandbox machine for trying the scanner where no plug-ins are installed:
// a system root and a home with plug-in bundles of every format of the
// profile; for macOS also a file standing in for the Audio Unit registry.
#pragma once

#include "platform/PlatformProfile.h"
#include "platform/Result.h"

#include <string>

namespace kestrova::cli {

// Lays out <output>/root and <output>/home (and <output>/au-registry.json
// for macOS). An existing demo in `output` is replaced; any other non-empty
// folder is refused before anything is written.
Status writeDemoTree(const std::string& output, PlatformProfile profile = PlatformProfile::macOS);

}  // namespace kestrova::cli
