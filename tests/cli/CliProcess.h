// The built kestrova-cli run as its own process on a demo tree, with the
// helper daemon it enables in session mode: what a person at a terminal
// does, and what a crash can interrupt.
#pragma once

#include "platform/Paths.h"
#include "platform/SystemLayout.h"
#include "store/state/PersistedInventoryFile.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
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

// A demo tree scanned into the inventory, by default with Plugin Management
// enabled for it (then stopped again at the end).
class DemoCli {
public:
    explicit DemoCli(bool enableHelper = true) : helperEnabled_(enableHelper) {
        const auto demo = directory_ / "demo";
        const auto made = runProcess({cliExecutable(), "demo", demo}, environment(), directory_.path());
        EXPECT_EQ(made.exitCode, 0) << made.err;
        layout_ = SystemLayout{demo + "/root", demo + "/home"};
        expectSuccess({"authorize", layout_.systemRoot + "/Library", layout_.home + "/Library"});
        expectSuccess({"scan"});
        if (enableHelper) {
            expectSuccess({"helper", "enable"});
        }
    }
    ~DemoCli() {
        if (helperEnabled_) {
            run({"helper", "disable"});
        }
    }
    DemoCli(const DemoCli&) = delete;
    DemoCli& operator=(const DemoCli&) = delete;

    const SystemLayout& layout() const { return layout_; }
    std::string system(std::string_view path) const { return layout_.system(path); }
    // A path in the test's own folder (the session daemon's is "session").
    std::string path(std::string_view relative) const { return directory_ / relative; }

    ProcessOutcome run(std::vector<std::string> arguments, std::vector<std::string> extra = {}) const {
        arguments.insert(arguments.begin(), {cliExecutable(), "--root", layout_.systemRoot, "--home", layout_.home,
                                             "--au-registry", directory_ / "demo/au-registry.json"});
        auto variables = environment();
        variables.insert(variables.end(), extra.begin(), extra.end());
        return runProcess(arguments, variables, directory_.path());
    }
    ProcessOutcome expectSuccess(std::vector<std::string> arguments) const {
        auto outcome = run(arguments);
        EXPECT_EQ(outcome.exitCode, 0) << "kestrova-cli " << arguments.front() << ": " << outcome.err;
        return outcome;
    }
    PersistedInventory state() const {
        auto loaded = readPersistedInventory(inventoryStateURL(layout_), realFileSystem());
        EXPECT_TRUE(loaded.ok());
        return loaded.ok() ? loaded->state : PersistedInventory{};
    }
    void write(const PersistedInventory& state) const { EXPECT_TRUE(writePersistedInventory(state, layout_).ok()); }

private:
    std::vector<std::string> environment() const {
        return {"KESTROVA_HELPER_MODE=session", "KESTROVA_HELPER_SESSION_DIR=" + (directory_ / "session")};
    }

    bool helperEnabled_ = true;
    TemporaryDirectory directory_;
    SystemLayout layout_;
};

// A fresh demo for every test, skipped with a reason when the app bundle is
// not built.
class DemoCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::access(cliExecutable().c_str(), X_OK), 0) << "build kestrova_app_bundle first";
        demo = std::make_unique<DemoCli>();
    }
    PersistedInventory savedState() const { return demo->state(); }
    std::unique_ptr<DemoCli> demo;
};

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

// Every plug-in bundle below the system and home Libraries and the Trash, by
// a digest; bundles nested in a bundle belong to it. A crash may move a
// bundle, never lose, copy or change one, so a bundle is known by its
// folder's inode, which a move keeps and a copy does not, and by its files'
// names and sizes, and with `readBytes` their bytes too (read in blocks: the
// demo's executables are large).
using BundleCensus = std::multiset<std::size_t>;

inline std::size_t bundleDigest(const std::filesystem::path& bundle, bool readBytes) {
    namespace fs = std::filesystem;
    struct stat info {};
    ::stat(bundle.c_str(), &info);
    std::size_t digest = std::hash<std::string>{}(std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino));
    auto mix = [&digest](std::size_t value) { digest = digest * 1'000'003 ^ value; };
    std::map<std::string, fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(bundle)) {
        if (entry.is_regular_file()) {
            files[fs::relative(entry.path(), bundle).string()] = entry.path();
        }
    }
    std::string block(readBytes ? 1 << 20 : 0, '\0');
    for (const auto& [name, path] : files) {
        mix(std::hash<std::string>{}(name));
        mix(fs::file_size(path));
        std::ifstream in(path, std::ios::binary);
        while (readBytes && (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0)) {
            mix(std::hash<std::string_view>{}(std::string_view(block.data(), static_cast<std::size_t>(in.gcount()))));
        }
    }
    return digest;
}

inline void takeCensus(const std::filesystem::path& folder, bool readBytes, BundleCensus& census) {
    static const std::set<std::string> extensions{".component", ".vst", ".vst3", ".aaxplugin", ".clap"};
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (!entry.is_directory() || entry.is_symlink()) {
            continue;
        }
        if (extensions.contains(entry.path().extension().string())) {
            census.insert(bundleDigest(entry.path(), readBytes));
        } else {
            takeCensus(entry.path(), readBytes, census);
        }
    }
}

inline BundleCensus census(const SystemLayout& layout, bool readBytes = false) {
    BundleCensus result;
    for (const auto& folder : {layout.system("/Library"), layout.trashFolder(), layout.user("Library")}) {
        takeCensus(folder, readBytes, result);
    }
    return result;
}

}  // namespace kestrova::testing
