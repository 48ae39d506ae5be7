// What a transaction journal says, read apart from the road that writes and
// settles it: the request a plan becomes, the side whose helper moves it,
// and where its items stand on the disk.
#pragma once

#include "model/Plugin.h"
#include "planning/BundleActionPlan.h"
#include "platform/FileSystem.h"
#include "platform/SystemLayout.h"
#include "protocol/TransactionKinds.h"

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kestrova {

// The plan items that name both ends of a move, as the helper's items, under
// a new transaction ID; a Linux Trash item also names where its bundle was
// before its quarantine (only the freedesktop Trash keeps that place).
PrivilegedRequest requestFromPlan(TransactionKind kind, const BundleActionPlan& plan,
                                  const std::vector<Plugin>& plugins, const SystemLayout& layout);
// The planner's action for a kind that moves selected bundles.
BundleActionKind actionKind(TransactionKind kind);

// The one side every move of a request is on, nothing for a mix. A move is
// the user's when either end is in the user's plug-in folders or quarantine.
std::optional<BundleSide> requestSide(const PrivilegedRequest& request, const SystemLayout& layout);
void setSide(PrivilegedRequest& request, BundleSide side);

// A bundle is "there" when anything, even a dangling link, occupies its
// path: the helper refuses to move onto an occupied path, so that is what
// counts for its outcome too.
bool allMoved(const PrivilegedRequest& request, const FileSystem& fileSystem);
bool allAtSource(const PrivilegedRequest& request, const FileSystem& fileSystem);
enum class JournalDiskState { allMoved, allAtSource, mixed };
// An empty journal counts as all moved.
JournalDiskState journalDiskState(const PrivilegedRequest& request, const FileSystem& fileSystem);

std::set<std::string> destinations(const PrivilegedRequest& request);
// Where the moved bundles are or were installed: the paths hosts know them by.
std::vector<std::string> installedLocations(const PrivilegedRequest& request);

}  // namespace kestrova
