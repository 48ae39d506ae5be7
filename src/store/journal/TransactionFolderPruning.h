// Operation folders a quarantine or Trash move leaves empty behind it are
// removed at start-up and after every Trash commit, in the system quarantine
// root and in the two per-user quarantine folders of this and the earlier
// application name.
#pragma once

#include "platform/FileSystem.h"
#include "platform/SystemLayout.h"

#include <string>
#include <vector>

namespace kestrova {

// The quarantine root, then Application Support/Kestrova/Quarantine, then
// Application Support/Halvern/Quarantine; on Linux also the user side's
// quarantine.
std::vector<std::string> transactionFolderRoots(const SystemLayout& layout);

// Removes each visible entry of `folder` that is named by a UUID, is a real
// folder and holds nothing, hidden files included. Anything that cannot be
// listed or removed is left as it is.
void pruneEmptyTransactionFolders(const std::string& folder, FileSystem& fileSystem);

}  // namespace kestrova
