// The words a text uses for the desktop's own places. Texts are written once,
// in the macOS words ("Finder Trash", "Moved to macOS Trash", "Reveal … in
// Finder"); on Linux the
// front ends pass what they show through here, so the freedesktop Trash is
// called what the desktop calls it.
#pragma once

#include "platform/PlatformProfile.h"

#include <string>
#include <string_view>

namespace kestrova {

std::string platformWording(std::string_view text, PlatformProfile profile);

}  // namespace kestrova
