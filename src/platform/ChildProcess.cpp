#include "platform/ChildProcess.h"

#include "platform/UnixSocket.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fmt/format.h>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace kestrova {
namespace {

std::vector<char*> argumentVector(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const auto& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    return argv;
}

// posix_spawn's attribute and file-action objects, released on every path.
struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

}  // namespace

Result<CommandOutput> runCommand(const std::vector<std::string>& arguments) {
    if (arguments.empty()) {
        return Error{"No command to run."};
    }
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return Error{fmt::format("Could not run {}: {}", arguments[0], std::strerror(errno)), errno};
    }
    FileDescriptor reader(fds[0]);
    FileDescriptor writer(fds[1]);
    SpawnSetup setup;
    posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&setup.actions, writer.get(), 1);
    posix_spawn_file_actions_adddup2(&setup.actions, writer.get(), 2);
    auto argv = argumentVector(arguments);
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, argv[0], &setup.actions, &setup.attributes, argv.data(), environ);
    writer.reset();
    if (spawned != 0) {
        return Error{fmt::format("Could not run {}: {}", arguments[0], std::strerror(spawned)), spawned};
    }
    CommandOutput result;
    char buffer[4096];
    while (true) {
        const auto count = ::read(reader.get(), buffer, sizeof(buffer));
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            break;
        }
        result.output.append(buffer, static_cast<std::size_t>(count));
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status)) {
        return Error{fmt::format("{} stopped unexpectedly.", arguments[0])};
    }
    result.exitCode = WEXITSTATUS(status);
    return result;
}

Result<pid_t> startDetached(const std::vector<std::string>& arguments, const std::string& logPath) {
    if (arguments.empty()) {
        return Error{"No program to start."};
    }
    SpawnSetup setup;
    posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&setup.actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&setup.actions, 1, 2);
    // A daemon outlives us: it must not hold on to our pipes or files, or
    // whoever waits for their end (a parent reading our output) waits forever.
    posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3);
    posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&setup.attributes, &none);
    auto argv = argumentVector(arguments);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, argv[0], &setup.actions, &setup.attributes, argv.data(), environ);
    if (spawned != 0) {
        return Error{fmt::format("Could not start “{}”: {}", arguments[0], std::strerror(spawned)), spawned};
    }
    return pid;
}

bool isProcessRunning(pid_t pid, const std::optional<std::string>& executable) {
    if (pid <= 0) {
        return false;
    }
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid) {
        return false;  // our child, and it has ended
    }
    if (::kill(pid, 0) != 0 && errno == ESRCH) {
        return false;
    }
    const auto stat = fmt::format("/proc/{}/stat", pid);
    if (FileDescriptor statFile(::open(stat.c_str(), O_RDONLY | O_CLOEXEC)); statFile.valid()) {
        char buffer[512];
        const auto count = ::read(statFile.get(), buffer, sizeof(buffer) - 1);
        if (count > 0) {
            const std::string_view text(buffer, static_cast<std::size_t>(count));
            const auto close = text.rfind(')');
            if (close != std::string_view::npos && close + 2 < text.size() && text[close + 2] == 'Z') {
                return false;
            }
        }
    }
    if (!executable) {
        return true;
    }
    const auto running = processExecutablePath(pid);
    char resolved[PATH_MAX];
    return running && ::realpath(executable->c_str(), resolved) && *running == resolved;
}

}  // namespace kestrova
