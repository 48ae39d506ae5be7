// The Trash the daemon keeps for a user on a file system other than the
// home's: $topdir/.Trash-$uid with files/ and info/ inside, made the first
// time a bundle of that file system goes to the Trash, as file managers do.
#pragma once

#include "platform/Result.h"

#include <sys/types.h>

#include <string>

namespace kestrova {

// Makes whatever is missing of the Trash whose files folder is `filesFolder`
// (0700, owned by `uid`), and refuses one that exists but is a link, not a
// folder, or belongs to someone else: another user could then read or swap
// what is trashed there.
Status prepareTopdirTrash(const std::string& filesFolder, uid_t uid, gid_t gid);

}  // namespace kestrova
