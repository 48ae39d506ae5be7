// What every command of kestrova-cli shares: the global options, where output
// goes and how the command ends.
#pragma once

#include "model/JsonCoding.h"
#include "platform/SystemLayout.h"
#include "session/SessionOptions.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::cli {

// How a command ends; scripts tell the cases apart by these alone. The
// README and `kestrova-cli --help` list them.
enum class ExitCode : int {
    // It did what it was asked, and its output is complete on stdout.
    done = 0,
    // It started and did not finish as asked: a transaction that failed or
    // needs attention, a helper that did not answer, a write that failed, a
    // check that found a problem.
    failed = 1,
    // The command line cannot be carried out as written: an unknown command
    // or option, a missing or malformed value, options that do not go
    // together, a root, home, file or setting that cannot be used.
    usage = 2,
    // Kestrova refused and said why; nothing was written or moved.
    refused = 3,
};

std::string_view exitCodeName(ExitCode code);

// The exit codes as `--help` prints them.
std::string exitCodesHelp();

struct CliContext {
    std::string rootOption;        // --root, else KESTROVA_ROOT, else "/"
    std::string homeOption;        // --home, else $HOME
    std::string auRegistryOption;  // --au-registry, else KESTROVA_AU_REGISTRY
    std::string profileOption;     // --profile, else KESTROVA_PROFILE, validated when parsed
    std::ostream* out = nullptr;
    std::ostream* err = nullptr;
    int exitCode = 0;
    // The command prints one JSON document on stdout; every notice and
    // message goes to stderr instead.
    bool json = false;

    // The global options as a session takes them.
    session::SessionOptions sessionOptions() const;
    // The layout the options name, falling back to the environment.
    SystemLayout layout() const;

    void setExitCode(ExitCode code) { exitCode = static_cast<int>(code); }
    // Where a success notice goes: stdout, unless stdout carries JSON.
    std::ostream& noticeStream() const { return json ? *err : *out; }
    // Prints a message to stderr and ends the command with `code`. A JSON
    // command that has printed no document by then prints one that carries
    // the messages (see finishJson).
    void fail(const std::string& message, ExitCode code);
    // Keeps a message that was printed already for the JSON error document.
    void recordMessage(std::string message) { messages_.push_back(std::move(message)); }
    // The command's one JSON document.
    void printJson(const Json& document);
    // Called once the command has run: a JSON command that failed before its
    // document still leaves exactly one on stdout, {"error": {...}}.
    void finishJson();

private:
    bool printedJson_ = false;
    std::vector<std::string> messages_;
};

}  // namespace kestrova::cli
