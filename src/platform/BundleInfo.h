// What a bundle says about itself: its information dictionary
// (Contents/Info.plist) and the executable it declares.
#pragma once

#include "platform/FileSystem.h"
#include "platform/PropertyList.h"

#include <optional>
#include <string>

namespace kestrova {

// The string entries of the bundle's Contents/Info.plist, XML or binary.
// Absent when the bundle has no readable, well-formed dictionary there
// (a single file is never a bundle with a dictionary).
std::optional<InfoDictionary> readBundleInfoDictionary(const FileSystem& fileSystem, const std::string& bundlePath);

// Contents/MacOS/ + CFBundleExecutable; absent when the dictionary names no
// executable. Whether that file exists is the reader's business.
std::optional<std::string> bundleExecutablePath(const std::string& bundlePath, const InfoDictionary& info);

}  // namespace kestrova
