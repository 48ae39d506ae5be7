// Plug-in bundles laid out on disk for a test: Contents/Info.plist in either
// encoding, an executable under Contents/MacOS and any other files.
#pragma once

#include "platform/PropertyList.h"
#include "support/TemporaryDirectory.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrova::testing {

struct BundleFixture {
    // Written as Contents/Info.plist unless empty and `writeInfo` is false.
    PropertyListDictionary info;
    PropertyListFormat infoFormat = PropertyListFormat::xml;
    bool writeInfo = true;
    // Contents of the executable. It is named by CFBundleExecutable, which is
    // set to the bundle's own name when the dictionary lacks it.
    std::optional<std::string> executable;
    // Further files: path relative to the bundle, contents.
    std::vector<std::pair<std::string, std::string>> files;
};

// Writes the bundle at `relativePath` inside `directory`; returns its path.
std::string writeBundle(const TemporaryDirectory& directory, std::string_view relativePath,
                        const BundleFixture& fixture);

}  // namespace kestrova::testing
