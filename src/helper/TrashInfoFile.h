// The .trashinfo side of a move into or out of the freedesktop Trash. The
// record is made first and exclusively, so two movers never claim one name
// and a file manager never meets a trashed item it cannot restore.
#pragma once

#include "platform/Result.h"

#include <ctime>
#include <string>

namespace kestrova {

// Creates `name` in the open info folder (O_EXCL, no links followed) naming
// `originalPath` and `deletedAt`, synced to disk, owned like the folder.
Status createTrashInfoFile(int infoFolder, const std::string& name, const std::string& originalPath,
                           std::time_t deletedAt);
// Removes it; a record already gone is fine.
void removeTrashInfoFile(int infoFolder, const std::string& name);

}  // namespace kestrova
