// Where a front end runs from and what it knows about its installation: an
// application bundle (Kestrova.app, with the front ends and KestrovaHelper
// in Contents/MacOS; the development build and macOS), or a GNU-style
// installation (the front ends in bin, the daemon in libexec/kestrova, its
// systemd units and polkit action in the system's own folders).
#pragma once

#include <optional>
#include <string>

namespace kestrova {

enum class ApplicationLayout { bundle, installed };

struct ApplicationBundleInfo {
    // The bundle folder, or the installation prefix (/usr).
    std::optional<std::string> bundlePath;
    ApplicationLayout layout = ApplicationLayout::bundle;
    std::optional<std::string> shortVersion;  // CFBundleShortVersionString
    std::optional<std::string> build;         // CFBundleVersion

    // The bundle's build, "40" when it has none.
    std::string appBuild() const;
    // The bundle's short version, "1.0.1" when it has none.
    std::string shortVersionText() const;
    // "Kestrova 1.0.1 (Build 40)".
    std::string clientVersion() const;
    // Where the installation keeps the daemon, what describes it to the
    // service manager (the launch daemon property list in a bundle, the
    // systemd service unit once installed) and the systemd units; absent
    // outside either layout.
    std::optional<std::string> helperExecutablePath() const;
    std::optional<std::string> daemonPlistPath() const;
    std::optional<std::string> daemonDefinitionPath() const;
    std::optional<std::string> systemdUnitFolder() const;
    // The folder holding kestrova and kestrova-cli.
    std::optional<std::string> frontEndFolder() const;
    // Installed: polkit's folder, where the package put the helper's action.
    std::optional<std::string> polkitActionFolder() const;

    friend bool operator==(const ApplicationBundleInfo&, const ApplicationBundleInfo&) = default;
};

ApplicationBundleInfo readApplicationBundle(const std::string& bundlePath);

// The installation whose bin folder holds `executable`, when the daemon is
// installed beside it in libexec/kestrova; nothing otherwise.
std::optional<ApplicationBundleInfo> installedApplication(const std::string& executable);

// The bundle named by KESTROVA_APP_BUNDLE, else the one whose Contents/MacOS
// holds `executable`, else the installation whose bin folder holds it; no
// bundle path when none applies.
ApplicationBundleInfo locateApplicationBundle(const std::string& executable);

}  // namespace kestrova
