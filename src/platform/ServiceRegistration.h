// Registration of the helper daemon with the operating system, standing in
// for macOS's launch-daemon service management: register, unregister, read
// the status, open the settings pane. Two backends: systemd units for a real
// installation, and a session backend that runs the daemon as the current
// user over a sandbox root for development, demos and tests. The backend is
// chosen with KESTROVA_HELPER_MODE=system|session (when unset: system for an
// installed front end, session otherwise).
#pragma once

#include "platform/Result.h"
#include "platform/SystemLayout.h"

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrova {

// The platform's view of the daemon, before the application maps it to
// what it shows.
enum class ServiceRegistrationState { notRegistered, requiresApproval, enabled, notFound, unknown };

// Where the daemon listens and which user must own that socket.
struct HelperEndpoint {
    std::string socketPath;
    uid_t daemonUid = 0;

    friend bool operator==(const HelperEndpoint&, const HelperEndpoint&) = default;
};

class ServiceRegistration {
public:
    virtual ~ServiceRegistration() = default;

    virtual ServiceRegistrationState status() = 0;
    virtual Status registerService() = 0;
    virtual Status unregisterService() = 0;
    // Where the user approves background services; here, a hint if none.
    virtual Status openSettings() = 0;
    virtual HelperEndpoint endpoint() const = 0;
};

enum class HelperMode { system, session };

struct ServiceRegistrationConfiguration {
    HelperMode mode = HelperMode::session;
    // The user side's helper (Linux) always runs in a session of its own
    // (`--role user`): it needs no approval, so it is started whenever it
    // is asked for and not running, registered or not.
    BundleSide side = BundleSide::system;
    // The daemon executable and the unit files shipped with it.
    std::string helperExecutable;
    std::string unitFolder;
    // Session mode: the private folder holding the socket, the pid file and
    // the log, and what the daemon serves.
    std::string sessionFolder;
    SystemLayout layout;
    // Session mode: the front ends the daemon accepts.
    std::vector<std::string> allowedClients;
    // System mode: where polkit reads actions; the shipped action for
    // enabling the helper is installed there with the units. Empty: none.
    std::string polkitActionFolder;
    // System mode: the units and the polkit action were installed into
    // systemd's and polkit's own folders by the package, so registration
    // enables them where they are and never links, copies or removes a file.
    bool packagedUnits = false;
    // Packaged: the installed kestrova-cli, the program the package's polkit
    // action names. A user who is not root has it run `helper enable` or
    // `helper disable` as root through pkexec, so polkit asks for that action.
    std::string approvingFrontEnd;

    friend bool operator==(const ServiceRegistrationConfiguration&, const ServiceRegistrationConfiguration&) = default;
};

// The mode from KESTROVA_HELPER_MODE, `whenUnset` without it; an unknown
// value is an error.
Result<HelperMode> helperModeFromEnvironment(HelperMode whenUnset = HelperMode::session);
// A private folder for one sandbox (system root and home): from
// KESTROVA_HELPER_SESSION_DIR, else under $XDG_RUNTIME_DIR or /tmp, named
// after the user and the sandbox so two sandboxes never share a daemon.
std::string defaultSessionFolder(const SystemLayout& layout);

std::unique_ptr<ServiceRegistration> makeServiceRegistration(const ServiceRegistrationConfiguration& configuration);
std::unique_ptr<ServiceRegistration> makeSessionServiceRegistration(
    const ServiceRegistrationConfiguration& configuration);
std::unique_ptr<ServiceRegistration> makeSystemdServiceRegistration(
    const ServiceRegistrationConfiguration& configuration);

// systemd's names for the shipped units.
inline constexpr std::string_view systemdServiceUnit = "kestrova-helper.service";
inline constexpr std::string_view systemdSocketUnit = "kestrova-helper.socket";
inline constexpr std::string_view systemdSocketPath = "/run/kestrova-helper/helper.sock";
inline constexpr std::string_view polkitPolicyFile = "com.tolvanek.Kestrova.policy";
inline constexpr std::string_view polkitActionFolderPath = "/usr/share/polkit-1/actions";

// The command that runs `rootCommand` with an administrator's approval: as
// it is for root; otherwise through pkexec, as the approving front end's
// `helper VERB` when there is one.
std::vector<std::string> administratorCommand(std::vector<std::string> rootCommand, std::string_view helperVerb,
                                              bool runningAsRoot, const std::string& approvingFrontEnd);

// How `systemctl is-enabled` output and exit reads as a state.
ServiceRegistrationState systemdStateFromIsEnabled(std::string_view output, bool unitFilesShipped);

}  // namespace kestrova
