#include "helperclient/ReleaseReadiness.h"

#include <algorithm>

namespace kestrova {

std::vector<DirectDistributionReadinessCheck> evaluateReadiness(const DirectDistributionReadinessInput& input) {
    const auto& expected = input.expectedBuild;
    const auto check = [](std::string id, std::string title, bool passed, std::string passedDetail,
                          std::string failedDetail) {
        return DirectDistributionReadinessCheck{std::move(id), std::move(title),
                                                passed ? std::move(passedDetail) : std::move(failedDetail), passed};
    };
    const auto packaged = input.packagedInstallation;
    return {
        check("app-build", "App Build", input.appBuild == expected, "Kestrova reports Build " + expected + ".",
              "Expected Build " + expected + ", but the app reports Build " + input.appBuild + "."),
        packaged ? check("helper-executable", "Installed Helper", input.helperExecutableEmbedded,
                         "The helper executable is installed with Kestrova.",
                         "The helper executable is missing from the installation.")
                 : check("helper-executable", "Embedded Helper", input.helperExecutableEmbedded,
                         "The helper executable is embedded in the app bundle.",
                         "The helper executable is missing from the app bundle."),
        packaged ? check("daemon-plist", "systemd Units", input.daemonPlistEmbedded,
                         "The helper’s systemd units are installed.", "The helper’s systemd units are missing.")
                 : check("daemon-plist", "Launch Daemon", input.daemonPlistEmbedded,
                         "The launch daemon property list is embedded.", "The launch daemon property list is missing."),
        check("helper-registration", "Helper Approval", input.helperRegistered,
              packaged ? "Plugin Management is approved and enabled in systemd."
                       : "Plugin Management is approved and registered with macOS.",
              "Plugin Management still requires registration or approval."),
        check("secure-handshake", "Secure Handshake", input.secureHandshakeConnected,
              packaged ? "The peer-checked helper socket connection is active."
                       : "The code-signing-locked XPC connection is active.",
              "The secure helper handshake is not connected."),
        check(
            "helper-build", "Helper Build", input.helperBuild == expected,
            "KestrovaHelper reports Build " + expected + ".",
            "Expected helper Build " + expected + ", but received " + input.helperBuild.value_or("no response") + "."),
    };
}

std::string readinessSummary(const std::vector<DirectDistributionReadinessCheck>& checks) {
    const auto failed = std::count_if(checks.begin(), checks.end(), [](const auto& c) { return !c.passed; });
    if (failed == 0) {
        return "Ready for controlled release-candidate archive testing.";
    }
    return std::to_string(failed) + " release-readiness " + (failed == 1 ? "check requires" : "checks require") +
           " attention.";
}

}  // namespace kestrova
