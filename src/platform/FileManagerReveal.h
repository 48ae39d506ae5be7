// Showing an item in the desktop's file manager on Linux. The freedesktop
// FileManager1 service opens the folder with the item selected; where no
// file manager provides that service, the folder holding the item is opened.
#pragma once

#include "platform/ChildProcess.h"
#include "platform/Result.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

// Runs one command to completion (runCommand; tests record the calls).
using CommandRunner = std::function<Result<CommandOutput>(const std::vector<std::string>&)>;

// The commands tried in turn: the FileManager1 ShowItems call, then opening
// the parent folder. `path` is absolute.
std::vector<std::vector<std::string>> fileManagerRevealCommands(std::string_view path);

// Stops at the first command that exits 0; an error naming the last failure
// when none does.
Status revealInFileManager(std::string_view path, const CommandRunner& run = runCommand);

}  // namespace kestrova
