// One quarantine transaction of 256 bundles through the real KestrovaHelper
// (client encoding, the socket, the daemon's own checks, 256 link-safe
// renames, the reply), against 256 bare rename() calls of the same bundles
// in the same run, on the same file system.
//
//     bench_helper [rounds=21]
//
// Goal: the transaction within 3x the bare renames.
#include "helperclient/HelperConnection.h"
#include "helperclient/PluginManagementService.h"
#include "planning/PathRules.h"
#include "platform/ChildProcess.h"
#include "platform/Paths.h"
#include "platform/ServiceRegistration.h"
#include "platform/UnixSocket.h"
#include "platform/Uuid.h"

#include <fmt/format.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace kestrova;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int bundleCount = 256;

struct Sandbox {
    fs::path root;
    SystemLayout layout;
    std::string session;

    Sandbox() {
        std::string pattern = (fs::temp_directory_path() / "kestrova-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) {
            throw std::runtime_error("mkdtemp failed");
        }
        root = fs::canonical(pattern);
        layout = SystemLayout{(root / "root").string(), (root / "home").string()};
        fs::create_directories(layout.system("/Library/Audio/Plug-Ins/VST3"));
        fs::create_directories(layout.system("/Library/Application Support/Kestrova/Quarantine"));
        fs::create_directories(layout.trashFolder());
        session = (root / "session").string();
        fs::create_directories(session);
        fs::permissions(session, fs::perms::owner_all);
    }
    ~Sandbox() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    std::string plugin(int i) const {
        return layout.system(fmt::format("/Library/Audio/Plug-Ins/VST3/Plugin {}.vst3", i));
    }
};

// A small bundle: a few folders and files, as real ones have.
void makeBundle(const std::string& path) {
    fs::create_directories(fs::path(path) / "Contents" / "MacOS");
    fs::create_directories(fs::path(path) / "Contents" / "Resources");
    std::ofstream(fs::path(path) / "Contents" / "Info.plist") << "<plist/>";
    std::ofstream(fs::path(path) / "Contents" / "MacOS" / "Plugin") << "binary";
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::string helperExecutable() {
    // bench_helper lives in <build>/bench; the bundle in <build>/Kestrova.app.
    const auto self = fs::read_symlink("/proc/self/exe");
    return (self.parent_path().parent_path() / "Kestrova.app/Contents/MacOS/KestrovaHelper").string();
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(3, std::atoi(argv[1])) : 21;
    Sandbox sandbox;
    for (int i = 0; i < bundleCount; ++i) {
        makeBundle(sandbox.plugin(i));
    }

    const auto socket = sandbox.session + "/helper.sock";
    const auto self = fs::read_symlink("/proc/self/exe").string();
    const auto daemon =
        startDetached({helperExecutable(), "--session", "--socket", socket, "--root", sandbox.layout.systemRoot,
                       "--home", sandbox.layout.home, "--allow-client", self},
                      "/dev/null");
    if (!daemon) {
        fmt::print(stderr, "{}\n", daemon.error().message);
        return 1;
    }
    for (int tick = 0; tick < 500 && !fs::exists(socket); ++tick) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    struct FixedRegistration final : ServiceRegistration {
        HelperEndpoint where;
        ServiceRegistrationState status() override { return ServiceRegistrationState::enabled; }
        Status registerService() override { return {}; }
        Status unregisterService() override { return {}; }
        Status openSettings() override { return {}; }
        HelperEndpoint endpoint() const override { return where; }
    };
    auto registration = std::make_shared<FixedRegistration>();
    registration->where = {socket, ::getuid()};
    RunLoopExecutor executor;
    auto service = PluginManagementService::create(
        executor, registration, [registration] { return makeSocketHelperConnection(registration->where); }, {});
    executor.runUntil([&] { return service->outstandingCalls() == 0; });
    if (!service->helperIsReachable()) {
        fmt::print(stderr, "KestrovaHelper is not reachable: {}\n", service->lastError().value_or(""));
        ::kill(*daemon, SIGTERM);
        return 1;
    }

    // The fixed cost of one call (thread hops and the socket), for reading
    // the figures below on a busy machine.
    std::vector<double> handshakeTimes;
    for (int round = 0; round < rounds; ++round) {
        const auto start = Clock::now();
        service->handshake(false);
        executor.runUntil([&] { return service->outstandingCalls() == 0; });
        handshakeTimes.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }

    std::vector<double> helperTimes;
    std::vector<double> renameTimes;
    for (int round = 0; round < rounds; ++round) {
        // Through the daemon.
        const auto operationID = Uuid::random().string();
        std::vector<PrivilegedQuarantineItem> items;
        for (int i = 0; i < bundleCount; ++i) {
            items.push_back({sandbox.plugin(i),
                             appendingPathComponent(appendingPathComponent(quarantineRoot(sandbox.layout), operationID),
                                                    lastPathComponent(sandbox.plugin(i))),
                             operationID});
        }
        std::optional<PrivilegedQuarantineResult> result;
        const auto helperStart = Clock::now();
        service->send(PrivilegedQuarantineRequest{Uuid::random().string(), items},
                      [&](PrivilegedResult r) { result = std::get<PrivilegedQuarantineResult>(std::move(r)); });
        executor.runUntil([&] { return result.has_value(); });
        const auto helperTime = std::chrono::duration<double, std::milli>(Clock::now() - helperStart).count();
        if (!result->succeeded) {
            fmt::print(stderr, "The transaction failed: {}\n", result->message);
            ::kill(*daemon, SIGTERM);
            return 1;
        }
        for (const auto& item : items) {  // put back, untimed
            ::rename(item.destinationPath.c_str(), item.sourcePath.c_str());
        }
        fs::remove(fs::path(items[0].destinationPath).parent_path());

        // Bare renames of the same bundles into an existing folder.
        const auto bareFolder = appendingPathComponent(quarantineRoot(sandbox.layout), Uuid::random().string());
        fs::create_directory(bareFolder);
        std::vector<std::string> targets;
        for (int i = 0; i < bundleCount; ++i) {
            targets.push_back(appendingPathComponent(bareFolder, lastPathComponent(sandbox.plugin(i))));
        }
        const auto renameStart = Clock::now();
        for (int i = 0; i < bundleCount; ++i) {
            if (::rename(sandbox.plugin(i).c_str(), targets[static_cast<std::size_t>(i)].c_str()) != 0) {
                std::perror("rename");
                return 1;
            }
        }
        const auto renameTime = std::chrono::duration<double, std::milli>(Clock::now() - renameStart).count();
        for (int i = 0; i < bundleCount; ++i) {
            ::rename(targets[static_cast<std::size_t>(i)].c_str(), sandbox.plugin(i).c_str());
        }
        fs::remove(bareFolder);

        if (round > 0) {  // the first round warms caches and the connection
            helperTimes.push_back(helperTime);
            renameTimes.push_back(renameTime);
        }
    }
    service.reset();
    ::kill(*daemon, SIGTERM);
    ::waitpid(*daemon, nullptr, 0);

    // Medians show the typical run; minimums the cost without preemption,
    // which is what to compare on a busy machine.
    const auto helper = median(helperTimes);
    const auto bare = median(renameTimes);
    const auto helperBest = *std::min_element(helperTimes.begin(), helperTimes.end());
    const auto bareBest = *std::min_element(renameTimes.begin(), renameTimes.end());
    fmt::print("quarantine of {} bundles through KestrovaHelper: median {:.3f} ms, best {:.3f} ms ({} rounds)\n",
               bundleCount, helper, helperBest, helperTimes.size());
    fmt::print("{} bare rename() calls:                       median {:.3f} ms, best {:.3f} ms\n", bundleCount, bare,
               bareBest);
    fmt::print("ratio: {:.2f}x median, {:.2f}x best (goal: under 3x)\n", helper / bare, helperBest / bareBest);
    fmt::print("one handshake round trip (fixed cost of a call): {:.3f} ms\n", median(handshakeTimes));
    return 0;
}
