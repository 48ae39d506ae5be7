// The folders the scanner walks on the Linux profile: the system folders
// under the system root, the user folders under the home, then the folders
// named by CLAP_PATH, VST_PATH and LV2_PATH. A folder reached twice (a lib64
// link, a path variable repeating a standard folder) is walked once.
#pragma once

#include "platform/FileSystem.h"
#include "platform/SystemLayout.h"

#include <map>
#include <string>
#include <vector>

namespace kestrova {

struct LinuxPluginLocation {
    std::string folder;  // absolute, standardized
    std::string format;
    std::string fileExtension;  // lower case, no dot

    friend bool operator==(const LinuxPluginLocation&, const LinuxPluginLocation&) = default;
};

// The path variables' values by name; only CLAP_PATH, VST_PATH and LV2_PATH
// are looked at.
using PluginPathVariables = std::map<std::string, std::string>;

PluginPathVariables pluginPathVariablesFromEnvironment();

// Relative entries of a path variable are ignored: they would depend on the
// scanner's working folder.
std::vector<LinuxPluginLocation> linuxPluginLocations(const SystemLayout& layout, const PluginPathVariables& variables,
                                                      const FileSystem& fileSystem);

}  // namespace kestrova
