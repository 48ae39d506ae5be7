// Which installed hosts keep their own list of plug-ins that still names a
// bundle Kestrova just moved. Hosts list a moved plug-in from their cache
// until it is rescanned, and each host resets its cache its own way. Read
// only: a host's files are never written.
#pragma once

#include "platform/FileSystem.h"
#include "platform/SystemLayout.h"

#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

struct HostCacheFinding {
    std::string host;
    // The host's own way to rescan, as its menus name it.
    std::string rescan;
    // The cache files or folders that were looked at.
    std::vector<std::string> cacheFiles;
    // The moved bundles the cache names; empty for a host whose cache format
    // is not documented, which is named as guidance whenever its cache exists.
    std::vector<std::string> namedBundles;
    bool guidanceOnly = false;

    friend bool operator==(const HostCacheFinding&, const HostCacheFinding&) = default;
};

// Whether a REAPER plug-in list (reaper-vstplugins*.ini or reaper-clap-*.ini)
// names a bundle: by its full path, or by its file name as REAPER keys it
// (any letter case, spaces written as underscores).
bool reaperCacheNames(std::string_view iniText, std::string_view bundlePath);

// The hosts whose caches name any of the moved bundles (their installed
// locations), on the layout's profile: REAPER on both, the Audio Unit cache
// on macOS for Audio Unit bundles, Ardour and Bitwig on Linux as guidance.
std::vector<HostCacheFinding> hostCachesNaming(const std::vector<std::string>& movedBundles, const SystemLayout& layout,
                                               const FileSystem& fileSystem);

// One short paragraph per host; empty when there are none.
std::string hostCacheNoticeText(const std::vector<HostCacheFinding>& findings);

}  // namespace kestrova
