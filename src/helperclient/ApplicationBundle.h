// The application bundle a front end runs from (Kestrova.app, with the front
// ends and KestrovaHelper in Contents/MacOS) and what its Info.plist says.
#pragma once

#include <optional>
#include <string>

namespace kestrova {

struct ApplicationBundleInfo {
    std::optional<std::string> bundlePath;
    std::optional<std::string> shortVersion;  // CFBundleShortVersionString
    std::optional<std::string> build;         // CFBundleVersion

    // The bundle's build, "40" when it has none.
    std::string appBuild() const;
    // The bundle's short version, "1.0.1" when it has none.
    std::string shortVersionText() const;
    // "Kestrova 1.0.1 (Build 40)".
    std::string clientVersion() const;
    // Where the bundle keeps the daemon and its launch daemon property list
    // (absent outside a bundle).
    std::optional<std::string> helperExecutablePath() const;
    std::optional<std::string> daemonPlistPath() const;
    std::optional<std::string> systemdUnitFolder() const;

    friend bool operator==(const ApplicationBundleInfo&, const ApplicationBundleInfo&) = default;
};

ApplicationBundleInfo readApplicationBundle(const std::string& bundlePath);

// The bundle named by KESTROVA_APP_BUNDLE, else the one whose Contents/MacOS
// holds `executable`; no bundle path when neither applies.
ApplicationBundleInfo locateApplicationBundle(const std::string& executable);

}  // namespace kestrova
