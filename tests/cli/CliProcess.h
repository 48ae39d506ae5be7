// The built kestrova-cli as its own process, for what the golden recording
// (tests/data/cli) cannot do: kill at random, stall the helper, mount a
// file system.
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

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

extern char** environ;

namespace kestrova::testing {

struct ProcessOutcome {
    int exitCode = -1;  // -1 when it could not start or a signal ended it
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
    std::vector<std::string> environment = extra;
    for (char** entry = environ; *entry; ++entry) {
        const std::string variable(*entry);
        const auto name = variable.substr(0, variable.find('=') + 1);
        if (!name.starts_with("KESTROVA_") &&
            std::ranges::none_of(extra, [&](const auto& added) { return added.starts_with(name); })) {
            environment.push_back(variable);
        }
    }
    const auto pointers = [](const std::vector<std::string>& strings) {
        std::vector<char*> result;
        for (const auto& string : strings) {
            result.push_back(const_cast<char*>(string.c_str()));
        }
        result.push_back(nullptr);
        return result;
    };
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, arguments.front().c_str(), &actions, nullptr, pointers(arguments).data(),
                                    pointers(environment).data());
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
