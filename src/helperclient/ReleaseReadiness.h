// The six checks that say whether a build is fit for release testing, and
// their one-line summary.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kestrova {

struct DirectDistributionReadinessInput {
    std::string appBuild;
    std::string expectedBuild;
    std::optional<std::string> helperBuild;
    bool helperExecutableEmbedded = false;
    bool daemonPlistEmbedded = false;
    bool helperRegistered = false;
    bool secureHandshakeConnected = false;
    // An installed Linux package rather than an application bundle: the
    // helper lives in libexec, systemd units stand for the launch daemon
    // property list and a peer-checked socket for the XPC connection.
    bool packagedInstallation = false;

    friend bool operator==(const DirectDistributionReadinessInput&, const DirectDistributionReadinessInput&) = default;
};

struct DirectDistributionReadinessCheck {
    std::string id;
    std::string title;
    std::string detail;
    bool passed = false;

    friend bool operator==(const DirectDistributionReadinessCheck&, const DirectDistributionReadinessCheck&) = default;
};

// In order: app build, embedded helper, launch daemon, approval, handshake,
// helper build.
std::vector<DirectDistributionReadinessCheck> evaluateReadiness(const DirectDistributionReadinessInput& input);
std::string readinessSummary(const std::vector<DirectDistributionReadinessCheck>& checks);

}  // namespace kestrova
