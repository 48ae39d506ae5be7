// The words a text uses for the desktop's own places and services. Texts are
// written once, in the macOS words ("Finder Trash", "Reveal … in Finder",
// "Code-signing-locked XPC connection"); on Linux the front ends pass what
// they show through here, so each names what really happens on this system:
// the freedesktop Trash, a file manager, systemd and polkit, the kernel's
// peer credentials.
#pragma once

#include "platform/PlatformProfile.h"

#include <span>
#include <string>
#include <string_view>

namespace kestrova {

struct Rewording {
    std::string_view macOSText;
    std::string_view linuxText;
};

// Every rewording the Linux profile applies. At each position of a text the
// first entry that matches wins, so whole sentences come before the phrases
// they contain.
std::span<const Rewording> linuxRewordings();

std::string platformWording(std::string_view text, PlatformProfile profile);

}  // namespace kestrova
