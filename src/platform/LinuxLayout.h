// The folders of the Linux profile: where hosts look for each plug-in
// format, where the quarantine lives and where the user's Trash is. System
// paths are looked up with SystemLayout::system, user paths below the home.
#pragma once

#include <array>
#include <string_view>

namespace kestrova::linuxlayout {

struct FormatFolder {
    std::string_view format;
    std::string_view path;
};

// The system folders hosts read, in a fixed order. Only these are places
// the helper may move a bundle out of or back to. Debian installs some
// VST2 plug-ins in the lxvst folders.
inline constexpr std::array<FormatFolder, 9> systemPluginFolders{{
    {"VST3", "/usr/lib/vst3"},
    {"VST3", "/usr/local/lib/vst3"},
    {"CLAP", "/usr/lib/clap"},
    {"VST2", "/usr/lib/vst"},
    {"VST2", "/usr/local/lib/vst"},
    {"VST2", "/usr/lib/lxvst"},
    {"VST2", "/usr/local/lib/lxvst"},
    {"LV2", "/usr/lib/lv2"},
    {"LV2", "/usr/local/lib/lv2"},
}};

// Below the home.
inline constexpr std::array<FormatFolder, 5> userPluginFolders{{
    {"VST3", ".vst3"},
    {"CLAP", ".clap"},
    {"VST2", ".vst"},
    {"VST2", ".lxvst"},
    {"LV2", ".lv2"},
}};

// Colon-separated folder lists hosts also honour, read by the scanner only.
inline constexpr std::array<FormatFolder, 3> pathVariables{{
    {"CLAP", "CLAP_PATH"},
    {"VST2", "VST_PATH"},
    {"LV2", "LV2_PATH"},
}};

// State of the system, so outside /usr, yet on the root file system where
// the plug-in folders usually are: moves never cross file systems.
inline constexpr std::string_view quarantineRootPath = "/var/lib/kestrova/quarantine";

// The quarantine of bundles from the user's own folders, beside Kestrova's
// state in the data home, so the user's helper never needs root and never
// crosses to another user's files.
inline constexpr std::string_view userQuarantineRootPath = "Kestrova/Quarantine";

// $XDG_DATA_HOME when the environment does not set it, relative to the home.
inline constexpr std::string_view defaultDataHome = ".local/share";
// The freedesktop home Trash, inside the data home.
inline constexpr std::string_view homeTrashName = "Trash";
// Below a file system's top folder, the Trash of user `uid` is
// ".Trash-" + uid (the shared ".Trash/uid" form is not used).
inline constexpr std::string_view topdirTrashPrefix = ".Trash-";

}  // namespace kestrova::linuxlayout
