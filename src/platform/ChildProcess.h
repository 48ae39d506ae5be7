// Starting other programs: a command run to completion with its output
// captured (systemctl), and a long-lived program started in its own session
// (the session-mode helper daemon).
#pragma once

#include "platform/Result.h"

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace kestrova {

struct CommandOutput {
    int exitCode = 0;
    std::string output;  // stdout and stderr together

    friend bool operator==(const CommandOutput&, const CommandOutput&) = default;
};

// Runs argv[0] (looked up in PATH) and waits for it. An error only when it
// could not be started or was killed by a signal.
Result<CommandOutput> runCommand(const std::vector<std::string>& arguments);

// Starts a program in a new session with stdin from /dev/null and stdout and
// stderr appended to `logPath`; does not wait for it.
Result<pid_t> startDetached(const std::vector<std::string>& arguments, const std::string& logPath);

// Whether `pid` is alive (a zombie child of ours is reaped and counts as gone)
// and, when given, runs that executable.
bool isProcessRunning(pid_t pid, const std::optional<std::string>& executable = std::nullopt);

}  // namespace kestrova
