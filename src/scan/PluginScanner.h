// The read-only scanner: walks the standard plug-in folders the user has
// authorized, reads every format bundle found there, adds the products that
// only live inside the Waves shell and returns the products of one scan. It
// keeps no state between calls and never changes a file; a scan runs on
// whatever thread calls it and shares only the ScanControl with its caller.
#pragma once

#include "model/DiscoveredBundle.h"
#include "model/Plugin.h"
#include "platform/AudioUnitRegistry.h"
#include "platform/FileSystem.h"
#include "platform/SystemLayout.h"
#include "scan/LinuxPluginLocations.h"
#include "scan/LinuxProducts.h"
#include "scan/ScanControl.h"
#include "scan/ScanSummary.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kestrova {

class PluginScanner {
public:
    struct Location {
        std::string url;  // absolute folder path
        // Both empty for a folder of the user's own on Linux, where each
        // entry is recognised by its form.
        std::string format;
        std::string fileExtension;  // lower case, no dot

        friend bool operator==(const Location&, const Location&) = default;
    };
    using DiscoveredBundle = kestrova::DiscoveredBundle;
    // Called on the scanning thread; it must only hand the record on.
    using ProgressHandler = std::function<void(const ScanProgress&)>;

    // On the Linux profile the path variables name more folders; absent, they
    // are read from the environment.
    PluginScanner(const FileSystem& fileSystem, SystemLayout layout, AudioUnitRegistry registry = {},
                  std::optional<PluginPathVariables> pathVariables = std::nullopt);

    // macOS: the five system folders, then the same five below the home
    // folder. Linux: see linuxPluginLocations.
    std::vector<Location> standardLocations() const;

    // Walks the standard locations that lie inside an authorized root. On
    // Linux an authorized folder that neither lies in a standard location
    // nor holds one is walked too, each entry recognised by its form.
    // Blocks until done or cancelled.
    ScanSummary scan(const std::vector<std::string>& authorizedRoots, const ScanControl& control,
                     const ProgressHandler& progress) const;

    DiscoveredBundle readBundle(const std::string& path, const std::string& format, const ScanControl& control) const;
    std::string executableArchitecture(const std::optional<std::string>& executablePath) const;
    // Total of the regular files below the bundle (or the file's own size);
    // stops early, with the sum so far, once cancellation is requested.
    std::int64_t bundleByteSize(const std::string& path, const ScanControl& control) const;
    std::vector<Plugin> registryProducts() const;

private:
    DiscoveredBundle readBundle(const std::string& path, const std::optional<FileStatus>& status,
                                const std::string& format, const ScanControl& control) const;
    std::int64_t bundleByteSize(const std::string& path, const std::optional<FileStatus>& status,
                                const ScanControl& control) const;
    std::optional<LinuxDiscovery> readLinuxBundle(const std::string& path, const std::optional<FileStatus>& status,
                                                  const std::string& format, const ScanControl& control) const;

    const FileSystem& fileSystem_;
    SystemLayout layout_;
    AudioUnitRegistry registry_;
    PluginPathVariables pathVariables_;
};

}  // namespace kestrova
