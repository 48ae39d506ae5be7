// The path rules every privileged file action relies on, beyond the safe
// plug-in location check: where quarantined bundles live, how a recorded
// quarantine location is verified, which Trash folder is acceptable and how
// a bundle is named in the Trash.
#pragma once

#include "model/PluginLocations.h"
#include "platform/FileSystem.h"
#include "platform/SystemLayout.h"

#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace kestrova {

inline constexpr std::string_view quarantineRootPath = "/Library/Application Support/Kestrova/Quarantine";

// The system-wide quarantine folder under the layout's system root: the one
// above for macOS, linuxlayout::quarantineRootPath for Linux.
std::string quarantineRoot(const SystemLayout& layout);
// The quarantine of one side: the system-wide one, or on Linux the user's
// own inside the data home ($XDG_DATA_HOME/Kestrova/Quarantine).
std::string quarantineRoot(const SystemLayout& layout, BundleSide side);

// The current user's Trash folder: the Finder Trash, or the files folder
// of the freedesktop home Trash.
std::string defaultTrashFolder(const SystemLayout& layout);

// The top folder of the file system `path` is on: the highest folder above
// it on the same device. A path that does not exist yet is taken from its
// deepest existing folder.
std::optional<std::string> fileSystemTop(const std::string& path, const FileSystem& fileSystem);
// The files folder of user `uid`'s Trash on the file system topped by
// `topdir`: $topdir/.Trash-$uid/files.
std::string topdirTrashFolder(std::string_view topdir, unsigned uid);
// Linux profile: where a bundle at `path` goes to the Trash. Moves never
// cross file systems, so a bundle on another file system than the home Trash
// goes to that file system's own Trash.
std::string freedesktopTrashFolderFor(const std::string& path, const std::string& homeTrashFolder, unsigned uid,
                                      const FileSystem& fileSystem);
// A Trash folder of another file system may not exist until the helper
// makes it; whatever of it does exist must be real folders, not links.
bool isSafeTopdirTrashFolder(const std::string& folder, const FileSystem& fileSystem);

// A recorded quarantine location is trusted only where the quarantine that
// moved it put it: the quarantine root, then the operation ID, then the
// bundle's own file name; never a symbolic link.
std::optional<std::string> verifiedQuarantineLocation(std::string_view quarantinePath, std::string_view operationID,
                                                      std::string_view expectedFileName, std::string_view root,
                                                      const FileSystem& fileSystem,
                                                      PlatformProfile profile = PlatformProfile::macOS);

// The Trash folder must be a real folder, not a link to one.
bool isSafeTrashFolder(const std::string& folder, const FileSystem& fileSystem);

// The destination names chosen so far in one plan, lower-cased, so two
// bundles whose names differ only in letter case do not collide in the Trash.
using TakenTrashNames = std::unordered_set<std::string>;

// The bundle's own name in the Trash if free, else "Name 2.ext" … "Name
// 10000.ext"; a name is free when nothing is there and the plan has not
// taken it yet. Reserves the chosen name in `taken`. In the freedesktop
// Trash (Linux profile) the name's .trashinfo must be free as well.
std::optional<std::string> trashDestination(std::string_view sourcePath, std::string_view trashFolder,
                                            TakenTrashNames& taken, const FileSystem& fileSystem,
                                            PlatformProfile profile = PlatformProfile::macOS);

}  // namespace kestrova
