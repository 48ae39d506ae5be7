#include "platform/FileManagerReveal.h"

#include "platform/EscapedText.h"
#include "platform/Paths.h"

#include <fmt/format.h>

namespace kestrova {

std::vector<std::vector<std::string>> fileManagerRevealCommands(std::string_view path) {
    // Percent-encoding leaves no quote or backslash, so the URI sits safely
    // inside gdbus's GVariant text.
    const auto uri = "file://" + percentEncodedPath(path);
    const auto parent = deletingLastPathComponent(std::string(path));
    return {
        {"gdbus", "call", "--session", "--timeout", "5", "--dest", "org.freedesktop.FileManager1", "--object-path",
         "/org/freedesktop/FileManager1", "--method", "org.freedesktop.FileManager1.ShowItems",
         fmt::format("['{}']", uri), ""},
        {"xdg-open", "file://" + percentEncodedPath(parent.empty() ? "/" : parent)},
    };
}

Status revealInFileManager(std::string_view path, const CommandRunner& run) {
    std::string failure = "no file manager was found";
    for (const auto& command : fileManagerRevealCommands(path)) {
        auto result = run(command);
        if (result && result->exitCode == 0) {
            return {};
        }
        failure = result ? fmt::format("{} exited with status {}", command.front(), result->exitCode)
                         : result.error().message;
    }
    return Error{fmt::format("Could not show “{}” in a file manager: {}.", path, failure)};
}

}  // namespace kestrova
