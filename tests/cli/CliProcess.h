// The built kestrova-cli run as its own process on a demo tree, with the
// helper daemon it enables in session mode: what a person at a terminal
// does, and what a crash can interrupt. What it prints and writes step by
// step is the golden recording's (tests/data/cli); these are for what a
// recording cannot do: kill at random, stall the helper, mount a file system.
#pragma once

#include "platform/Paths.h"
#include "platform/SystemLayout.h"
#include "store/state/PersistedInventoryFile.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

extern char** environ;

namespace kestrova::testing {

struct ProcessOutcome {
    int exitCode = -1;       // when it exited
    int killedBySignal = 0;  // when a signal ended it
    std::string out;
    std::string err;
};

inline std::string cliExecutable() {
    return std::string(KESTROVA_BINARY_DIR) + "/Kestrova.app/Contents/MacOS/kestrova-cli";
}

// Starts the program with this environment plus `extra` ("NAME=value"; a
// name given there replaces the inherited one, and no inherited KESTROVA_
// variable is passed on), its output in files; -1 when it cannot start.
inline pid_t spawnProcess(const std::vector<std::string>& arguments, const std::vector<std::string>& extra,
                          const std::string& outPath, const std::string& errPath) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry) {
        const std::string variable(*entry);
        const auto name = variable.substr(0, variable.find('=') + 1);
        bool replaced = name.starts_with("KESTROVA_");
        for (const auto& added : extra) {
            replaced = replaced || added.starts_with(name);
        }
        if (!replaced) {
            environment.push_back(variable);
        }
    }
    environment.insert(environment.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (const auto& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& variable : environment) {
        envp.push_back(variable.data());
    }
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? pid : -1;
}

// Runs the program as spawnProcess starts it and waits for it.
inline ProcessOutcome runProcess(const std::vector<std::string>& arguments, const std::vector<std::string>& extra,
                                 const std::string& outputFolder) {
    const auto outPath = outputFolder + "/stdout";
    const auto errPath = outputFolder + "/stderr";
    const pid_t pid = spawnProcess(arguments, extra, outPath, errPath);
    ProcessOutcome outcome;
    if (pid < 0) {
        ADD_FAILURE() << "could not start " << arguments.front();
        return outcome;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) {
        outcome.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        outcome.killedBySignal = WTERMSIG(status);
    }
    outcome.out = readWholeFile(outPath);
    outcome.err = readWholeFile(errPath);
    return outcome;
}

// Every file below a folder by its relative path, with its bytes.
inline std::map<std::string, std::string> contentsBelow(const std::string& folder) {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> contents;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            contents[fs::relative(entry.path(), folder).string()] = readWholeFile(entry.path().string());
        }
    }
    return contents;
}

// The plug-in bundles below the system and home Libraries and the Trash
// (bundles nested in a bundle belong to it): a crash may move a bundle, never
// lose or copy one.
inline std::size_t bundlesBelow(const std::filesystem::path& folder) {
    static const std::set<std::string> extensions{".component", ".vst", ".vst3", ".aaxplugin", ".clap"};
    std::size_t count = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.is_directory() && !entry.is_symlink()) {
            count += extensions.contains(entry.path().extension().string()) ? 1 : bundlesBelow(entry.path());
        }
    }
    return count;
}

inline std::size_t bundlesOnDisk(const SystemLayout& layout) {
    return bundlesBelow(layout.system("/Library")) + bundlesBelow(layout.trashFolder()) +
           bundlesBelow(layout.user("Library"));
}

}  // namespace kestrova::testing
