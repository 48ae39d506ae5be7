// How the scanner reads a plug-in as installed on Linux: a VST3 bundle with
// Contents/<arch>-linux/*.so, a single-file CLAP or VST2 shared object, or an
// LV2 bundle described by its manifest.ttl.
#pragma once

#include "platform/FileSystem.h"
#include "scan/ScanControl.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrova {

struct LinuxBundleFacts {
    std::optional<std::string> name;
    std::optional<std::string> version;
    std::optional<std::string> manufacturer;
    // The shared objects whose headers give the architecture.
    std::vector<std::string> executables;
    // The regular files below a bundle folder, summed as the scanner's size
    // walk sums them, when reading the bundle listed its folders anyway;
    // absent for single files and links.
    std::optional<std::int64_t> byteSize;
    // The plug-ins of an LV2 bundle that holds several.
    std::vector<std::string> pluginNames;
    // Known already when reading the bundle read the object's header.
    std::optional<std::string> architecture;
    // A VST2 shared object whose dynamic symbols hold no VST entry point:
    // a library plug-ins load, not a plug-in.
    bool isSharedLibrary = false;
    // A VST2 object's DT_NEEDED names and DT_SONAME.
    std::vector<std::string> needed;
    std::string soname;

    friend bool operator==(const LinuxBundleFacts&, const LinuxBundleFacts&) = default;
};

// Absent when the entry is not a plug-in of that format after all: an LV2
// folder without a manifest or whose manifest declares no plug-in, or a VST3, CLAP or VST2 entry of the wrong kind
// (a folder named ".so", say). An LV2 bundle is named after its plug-in,
// or when it holds several after their project; the folder name is the
// caller's fallback.
// `listed` is what the walk's lstat said of the entry, when it said it; a
// regular file or folder then needs no second look. Once cancellation is
// requested the size stops where it is.
std::optional<LinuxBundleFacts> readLinuxBundleFacts(const FileSystem& fileSystem, const std::string& path,
                                                     const std::string& format, const std::optional<FileStatus>& listed,
                                                     const ScanControl& control);

// One value for the executables' machines: the one machine's name (see
// elfArchitectureName), "Universal" when they cover more than one, "Unknown"
// when none can be read. Damaged objects beside readable ones are ignored.
std::string linuxArchitecture(const std::vector<std::string>& executables);

}  // namespace kestrova
