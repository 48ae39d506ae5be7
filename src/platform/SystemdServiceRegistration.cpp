#include "platform/ChildProcess.h"
#include "platform/Paths.h"
#include "platform/ServiceRegistration.h"

#include <sys/stat.h>
#include <unistd.h>

#include <fmt/format.h>

namespace kestrova {
namespace {

bool isRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The system units shipped with the build, linked into systemd from where
// they are and started through the socket.
class SystemdServiceRegistration final : public ServiceRegistration {
public:
    explicit SystemdServiceRegistration(ServiceRegistrationConfiguration configuration)
        : configuration_(std::move(configuration)) {}

    ServiceRegistrationState status() override {
        const auto output = runCommand({"systemctl", "is-enabled", std::string(systemdSocketUnit)});
        if (!output) {
            return ServiceRegistrationState::unknown;
        }
        return systemdStateFromIsEnabled(output->output, unitFilesShipped());
    }

    Status registerService() override {
        if (!unitFilesShipped()) {
            return Error{
                fmt::format("The helper or its systemd units are missing from “{}”.", configuration_.unitFolder)};
        }
        if (configuration_.packagedUnits) {
            return privileged(administratorCommand({"systemctl", "enable", "--now", std::string(systemdSocketUnit)},
                                                   "enable", ::geteuid() == 0, configuration_.approvingFrontEnd));
        }
        // The polkit action goes in first, so the next enable or repair asks
        // for the helper by name. A system without polkit's folder is no
        // error: pkexec is not there to ask either.
        return privileged(administratorCommand(
            {"/bin/sh", "-c",
             "if [ -n \"$4\" ] && [ -d \"$4\" ]; then install -m 0644 \"$3\" \"$4/$5\" || exit 1; "
             "fi; systemctl link \"$1\" \"$2\" && systemctl daemon-reload && systemctl enable --now "
             "kestrova-helper.socket",
             "sh", unit(systemdServiceUnit), unit(systemdSocketUnit), polkitPolicy(), configuration_.polkitActionFolder,
             std::string(polkitPolicyFile)},
            "enable", ::geteuid() == 0, ""));
    }

    Status unregisterService() override {
        // A package's units and polkit action stay: the package owns them.
        return privileged(administratorCommand(
            {"/bin/sh", "-c",
             "systemctl disable --now kestrova-helper.socket; systemctl stop kestrova-helper.service; "
             "systemctl disable kestrova-helper.service; systemctl daemon-reload; status=$?; "
             "if [ -n \"$1\" ]; then rm -f \"$1/$2\"; fi; exit $status",
             "sh", configuration_.packagedUnits ? std::string() : configuration_.polkitActionFolder,
             std::string(polkitPolicyFile)},
            "disable", ::geteuid() == 0, configuration_.packagedUnits ? configuration_.approvingFrontEnd : ""));
    }

    Status openSettings() override {
        return Error{
            "This system has no Login Items pane. Check the helper with “systemctl status "
            "kestrova-helper.socket”."};
    }

    HelperEndpoint endpoint() const override { return {std::string(systemdSocketPath), 0}; }

private:
    std::string unit(std::string_view name) const { return appendingPathComponent(configuration_.unitFolder, name); }
    // Shipped beside the units (Contents/Library/polkit next to
    // .../systemd), or already installed in polkit's folder.
    std::string polkitPolicy() const {
        if (configuration_.packagedUnits) {
            return appendingPathComponent(configuration_.polkitActionFolder, polkitPolicyFile);
        }
        return appendingPathComponent(
            appendingPathComponent(deletingLastPathComponent(configuration_.unitFolder), "polkit"), polkitPolicyFile);
    }

    bool unitFilesShipped() const {
        return isRegularFile(unit(systemdServiceUnit)) && isRegularFile(unit(systemdSocketUnit)) &&
               (configuration_.polkitActionFolder.empty() || isRegularFile(polkitPolicy())) &&
               ::access(configuration_.helperExecutable.c_str(), X_OK) == 0;
    }

    static Status privileged(const std::vector<std::string>& command) {
        const auto ran = runCommand(command);
        if (!ran) {
            return ran.error();
        }
        if (ran->exitCode != 0) {
            const auto detail = ran->output.empty() ? fmt::format("exit status {}", ran->exitCode) : ran->output;
            return Error{fmt::format("systemd did not accept the change: {}", detail)};
        }
        return {};
    }

    ServiceRegistrationConfiguration configuration_;
};

}  // namespace

std::vector<std::string> administratorCommand(std::vector<std::string> rootCommand, std::string_view helperVerb,
                                              bool runningAsRoot, const std::string& approvingFrontEnd) {
    if (runningAsRoot) {
        return rootCommand;
    }
    // systemctl needs root; pkexec asks an administrator.
    if (!approvingFrontEnd.empty()) {
        return {"pkexec", approvingFrontEnd, "helper", std::string(helperVerb)};
    }
    rootCommand.insert(rootCommand.begin(), "pkexec");
    return rootCommand;
}

std::unique_ptr<ServiceRegistration> makeSystemdServiceRegistration(
    const ServiceRegistrationConfiguration& configuration) {
    return std::make_unique<SystemdServiceRegistration>(configuration);
}

}  // namespace kestrova
