#include "platform/ChildProcess.h"
#include "platform/Paths.h"
#include "platform/ServiceRegistration.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fmt/format.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace kestrova {
namespace {

using namespace std::chrono_literals;

// How long a freshly started daemon may take to open its socket, and a
// stopping one to go away, before we give up on it.
constexpr auto startupLimit = 5s;
constexpr auto shutdownLimit = 5s;
constexpr auto pollInterval = 10ms;

bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// The daemon as the current user, serving one sandbox. Registration is a
// marker file in a private folder; like launchd, a registered daemon that is
// not running is started when someone asks for it.
class SessionServiceRegistration final : public ServiceRegistration {
public:
    explicit SessionServiceRegistration(ServiceRegistrationConfiguration configuration)
        : configuration_(std::move(configuration)) {}

    ServiceRegistrationState status() override {
        if (configuration_.side == BundleSide::system && !exists(file("registered"))) {
            return ServiceRegistrationState::notRegistered;
        }
        if (::access(configuration_.helperExecutable.c_str(), X_OK) != 0) {
            return ServiceRegistrationState::notFound;
        }
        if (runningPid()) {
            return ServiceRegistrationState::enabled;
        }
        return start() ? ServiceRegistrationState::enabled : ServiceRegistrationState::unknown;
    }

    Status registerService() override {
        if (::access(configuration_.helperExecutable.c_str(), X_OK) != 0) {
            return Error{fmt::format("The helper “{}” is missing.", configuration_.helperExecutable)};
        }
        if (auto folder = preparePrivateFolder(); !folder) {
            return folder;
        }
        std::ofstream marker(file("registered"), std::ios::trunc);
        marker << configuration_.helperExecutable << '\n';
        if (!marker.flush()) {
            return Error{fmt::format("Could not write “{}”.", file("registered"))};
        }
        marker.close();
        if (runningPid()) {
            return {};
        }
        return start();
    }

    Status unregisterService() override {
        if (const auto pid = runningPid()) {
            ::kill(*pid, SIGTERM);
            const auto deadline = std::chrono::steady_clock::now() + shutdownLimit;
            while (isProcessRunning(*pid) && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(pollInterval);
            }
            if (isProcessRunning(*pid)) {
                ::kill(*pid, SIGKILL);
            }
        }
        ::unlink(file("registered").c_str());
        ::unlink(file("helper.pid").c_str());
        return {};
    }

    Status openSettings() override {
        return Error{fmt::format("In session mode the helper runs as you, from “{}”; there is nothing to approve.",
                                 configuration_.sessionFolder)};
    }

    HelperEndpoint endpoint() const override { return {file("helper.sock"), ::getuid()}; }

private:
    std::string file(std::string_view name) const { return appendingPathComponent(configuration_.sessionFolder, name); }

    // The folder holds the socket, so it must be ours alone: the client
    // refuses a socket in a folder anyone else can write.
    Status preparePrivateFolder() const {
        const auto& folder = configuration_.sessionFolder;
        const auto parent = deletingLastPathComponent(folder);
        struct stat info {};
        if (::stat(parent.c_str(), &info) != 0) {
            return Error{fmt::format("The folder “{}” does not exist.", parent)};
        }
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            return Error{fmt::format("Could not create “{}”: {}.", folder, std::strerror(errno)), errno};
        }
        if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) {
            return Error{fmt::format("“{}” is not a folder of yours.", folder)};
        }
        if ((info.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0) {
            return Error{fmt::format("Could not make “{}” private.", folder)};
        }
        return {};
    }

    std::optional<pid_t> runningPid() const {
        std::ifstream pidFile(file("helper.pid"));
        pid_t pid = 0;
        if (!(pidFile >> pid)) {
            return std::nullopt;
        }
        if (!isProcessRunning(pid, configuration_.helperExecutable)) {
            return std::nullopt;
        }
        return pid;
    }

    Status start() {
        if (auto folder = preparePrivateFolder(); !folder) {
            return folder;
        }
        const auto socket = file("helper.sock");
        ::unlink(socket.c_str());
        std::vector<std::string> arguments{configuration_.helperExecutable,
                                           "--session",
                                           "--socket",
                                           socket,
                                           "--root",
                                           configuration_.layout.systemRoot,
                                           "--home",
                                           configuration_.layout.home};
        if (configuration_.layout.profile != PlatformProfile::macOS) {
            arguments.push_back("--profile");
            arguments.push_back(std::string(profileName(configuration_.layout.profile)));
            if (!configuration_.layout.dataHome.empty()) {
                arguments.push_back("--data-home");
                arguments.push_back(configuration_.layout.dataHome);
            }
        }
        if (configuration_.side == BundleSide::user) {
            arguments.push_back("--role");
            arguments.push_back(std::string(sideName(BundleSide::user)));
        }
        for (const auto& client : configuration_.allowedClients) {
            arguments.push_back("--allow-client");
            arguments.push_back(client);
        }
        const auto pid = startDetached(arguments, file("helper.log"));
        if (!pid) {
            return pid.error();
        }
        {
            std::ofstream pidFile(file("helper.pid"), std::ios::trunc);
            pidFile << *pid << '\n';
        }
        const auto deadline = std::chrono::steady_clock::now() + startupLimit;
        while (std::chrono::steady_clock::now() < deadline) {
            if (exists(socket)) {
                return {};
            }
            if (!isProcessRunning(*pid)) {
                break;
            }
            std::this_thread::sleep_for(pollInterval);
        }
        return Error{fmt::format("KestrovaHelper did not start; see “{}”.", file("helper.log"))};
    }

    ServiceRegistrationConfiguration configuration_;
};

}  // namespace

std::unique_ptr<ServiceRegistration> makeSessionServiceRegistration(
    const ServiceRegistrationConfiguration& configuration) {
    return std::make_unique<SessionServiceRegistration>(configuration);
}

}  // namespace kestrova
