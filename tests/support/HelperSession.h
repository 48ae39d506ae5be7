// A sandbox system root and home with plug-in bundles in it, and the real
// KestrovaHelper serving it in session mode, reached through the management
// service as the application reaches it. Shared by the daemon, store and
// command-line tests.
#pragma once

#include "helperclient/HelperConnection.h"
#include "helperclient/PluginManagementService.h"
#include "platform/Executor.h"
#include "platform/ServiceRegistration.h"
#include "platform/SystemLayout.h"
#include "support/TemporaryDirectory.h"

#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kestrova::testing {

class HelperSandbox {
public:
    explicit HelperSandbox(PlatformProfile profile = PlatformProfile::macOS);

    const SystemLayout& layout() const { return layout_; }
    const std::string& sessionFolder() const { return sessionFolder_; }
    std::string socketPath() const;
    HelperEndpoint endpoint() const;

    // root/Library/Audio/Plug-Ins/VST3/<name>, and the like.
    std::string pluginPath(const std::string& name, const std::string& folder = "VST3") const;
    std::string quarantinePath(const std::string& operationID, const std::string& name) const;
    std::string trashPath(const std::string& name) const;
    std::string path(const std::string& relative) const { return directory_ / relative; }

    // A bundle folder whose marker file names the place it was made, so a
    // test can tell a whole bundle from a stand-in.
    std::string makeBundle(const std::string& bundlePath) const;
    // Whether a whole bundle made at `madeAt` is at `path`.
    bool hasWholeBundle(const std::string& path, const std::string& madeAt) const;
    bool exists(const std::string& path) const;

    // A session registration for the built daemon, accepting this test
    // program (or the given programs) as its front end.
    std::shared_ptr<ServiceRegistration> sessionRegistration(std::vector<std::string> allowedClients = {
                                                                 selfExecutable()}) const;

    static std::string helperExecutable();
    static std::string selfExecutable();

private:
    TemporaryDirectory directory_;
    SystemLayout layout_;
    std::string sessionFolder_;
};

// The management service over a socket connection, with a run loop that
// gives up (instead of hanging the test) if a reply never comes.
class ServiceHarness {
public:
    explicit ServiceHarness(std::shared_ptr<ServiceRegistration> registration, HelperDeadlines deadlines = {});
    ~ServiceHarness();

    PluginManagementService& service() { return *service_; }
    // Runs the main thread until no helper reply is outstanding.
    void settle();

private:
    RunLoopExecutor executor_;
    std::shared_ptr<ServiceRegistration> registration_;
    std::shared_ptr<PluginManagementService> service_;
};

// A registration that says "enabled" for a daemon the test runs itself.
class FixedRegistration final : public ServiceRegistration {
public:
    explicit FixedRegistration(HelperEndpoint endpoint) : endpoint_(std::move(endpoint)) {}
    ServiceRegistrationState status() override { return ServiceRegistrationState::enabled; }
    Status registerService() override { return {}; }
    Status unregisterService() override { return {}; }
    Status openSettings() override { return {}; }
    HelperEndpoint endpoint() const override { return endpoint_; }

private:
    HelperEndpoint endpoint_;
};

// A registration the test steers: the state it reports, a failure to give
// when asked to register or unregister, and the calls it was asked for.
struct ScriptedRegistration final : ServiceRegistration {
    ServiceRegistrationState state = ServiceRegistrationState::enabled;
    std::optional<std::string> failure;
    std::vector<std::string> calls;

    ServiceRegistrationState status() override { return state; }
    Status change(const char* name, ServiceRegistrationState after) {
        calls.emplace_back(name);
        if (failure) {
            return Error{*failure};
        }
        state = after;
        return {};
    }
    Status registerService() override { return change("register", ServiceRegistrationState::enabled); }
    Status unregisterService() override { return change("unregister", ServiceRegistrationState::notRegistered); }
    Status openSettings() override {
        calls.emplace_back("settings");
        return {};
    }
    HelperEndpoint endpoint() const override { return {}; }
};

}  // namespace kestrova::testing
