// Which operating system's folder layout the product works on: the macOS
// layout (/Library/Audio/Plug-Ins/..., the Finder Trash) or the Linux one
// (~/.vst3, /usr/lib/lv2, ..., the freedesktop Trash). Chosen once at start.
#pragma once

#include "platform/Result.h"

#include <optional>
#include <string_view>

namespace kestrova {

// Not `linux`: GCC predefines that name as a macro in GNU modes.
enum class PlatformProfile { macOS, gnuLinux };

// "macos" or "linux", as the option and KESTROVA_PROFILE spell it.
std::string_view profileName(PlatformProfile profile);
// Case-insensitive; anything else is an error naming the accepted values.
Result<PlatformProfile> parsePlatformProfile(std::string_view text);

// The profile when none is named: the macOS layout for a sandbox given with
// a system root (its trees are laid out that way) or on macOS itself, the
// Linux layout otherwise.
PlatformProfile defaultPlatformProfile(bool systemRootGiven);

// The named profile, else KESTROVA_PROFILE, else the default above; an
// unknown name in either place is an error.
Result<PlatformProfile> choosePlatformProfile(std::optional<std::string_view> option, bool systemRootGiven);

}  // namespace kestrova
