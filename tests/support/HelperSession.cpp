#include "support/HelperSession.h"

#include "planning/PathRules.h"
#include "platform/Paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <atomic>
#include <filesystem>
#include <fstream>

namespace kestrova::testing {
namespace fs = std::filesystem;

HelperSandbox::HelperSandbox(PlatformProfile profile) {
    layout_.profile = profile;
    layout_.systemRoot = directory_.makeDirectory("root");
    layout_.home = directory_.makeDirectory("home");
    for (const auto folder : {"Library/Audio/Plug-Ins/VST3", "Library/Audio/Plug-Ins/Components",
                              "Library/Audio/Plug-Ins/VST", "Library/Application Support"}) {
        directory_.makeDirectory(std::string("root/") + folder);
    }
    directory_.makeDirectory("home/.Trash");
    directory_.makeDirectory("home/Library/Audio/Plug-Ins/VST3");
    sessionFolder_ = directory_.makeDirectory("session");
    ::chmod(sessionFolder_.c_str(), 0700);
}

std::string HelperSandbox::socketPath() const { return appendingPathComponent(sessionFolder_, "helper.sock"); }

HelperEndpoint HelperSandbox::endpoint() const { return {socketPath(), ::getuid()}; }

std::string HelperSandbox::pluginPath(const std::string& name, const std::string& folder) const {
    return layout_.system("/Library/Audio/Plug-Ins/" + folder + "/" + name);
}

std::string HelperSandbox::quarantinePath(const std::string& operationID, const std::string& name) const {
    return appendingPathComponent(appendingPathComponent(quarantineRoot(layout_), operationID), name);
}

std::string HelperSandbox::trashPath(const std::string& name) const {
    return appendingPathComponent(layout_.trashFolder(), name);
}

std::string HelperSandbox::makeBundle(const std::string& bundlePath) const {
    fs::create_directories(fs::path(bundlePath) / "Contents" / "MacOS");
    std::ofstream(fs::path(bundlePath) / "Contents" / "marker") << bundlePath;
    return bundlePath;
}

bool HelperSandbox::hasWholeBundle(const std::string& path, const std::string& madeAt) const {
    return readWholeFile(path + "/Contents/marker") == madeAt && fs::is_directory(path + "/Contents/MacOS");
}

bool HelperSandbox::exists(const std::string& path) const {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

std::shared_ptr<ServiceRegistration> HelperSandbox::sessionRegistration(std::vector<std::string> allowedClients) const {
    ServiceRegistrationConfiguration configuration;
    configuration.mode = HelperMode::session;
    configuration.helperExecutable = helperExecutable();
    configuration.sessionFolder = sessionFolder_;
    configuration.layout = layout_;
    configuration.allowedClients = std::move(allowedClients);
    return makeServiceRegistration(configuration);
}

std::string HelperSandbox::helperExecutable() {
    return std::string(KESTROVA_BINARY_DIR) + "/Kestrova.app/Contents/MacOS/KestrovaHelper";
}

std::string HelperSandbox::selfExecutable() { return fs::read_symlink("/proc/self/exe").string(); }

ServiceHarness::ServiceHarness(std::shared_ptr<ServiceRegistration> registration, HelperDeadlines deadlines)
    : registration_(std::move(registration)) {
    auto connect = [registration = registration_, deadlines] {
        return makeSocketHelperConnection(registration->endpoint(), deadlines);
    };
    service_ = PluginManagementService::create(executor_, registration_, connect, {});
    settle();
}

ServiceHarness::~ServiceHarness() {
    service_.reset();
    registration_->unregisterService();
}

void ServiceHarness::settle() {
    // A guard against a reply that never comes, so the test fails instead of hanging.
    std::atomic<bool> settled = false;
    std::thread guard([&] {
        for (int tick = 0; tick < 3000 && !settled; ++tick) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!settled) {
            executor_.stop();
        }
    });
    executor_.runUntil([&] { return service_->outstandingCalls() == 0; });
    settled = true;
    guard.join();
    executor_.drain();
    EXPECT_EQ(service_->outstandingCalls(), 0u) << "a helper reply never arrived";
}

}  // namespace kestrova::testing
