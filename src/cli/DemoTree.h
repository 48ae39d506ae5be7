// A sandbox Mac for trying the scanner where no plug-ins are installed: a
// system root and a home with plug-in bundles of every format, and a file
// standing in for the Audio Unit registry.
#pragma once

#include "platform/Result.h"

#include <string>

namespace kestrova::cli {

// Lays out <output>/root, <output>/home and <output>/au-registry.json. An
// existing demo in `output` is replaced; any other non-empty folder is
// refused before anything is written.
Status writeDemoTree(const std::string& output);

}  // namespace kestrova::cli
