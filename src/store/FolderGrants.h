// Which plug-in folders a grant request still has to add. A folder that is
// authorized, or lies inside an authorized one, is already walked by every
// scan, so asking for it again changes nothing; fleet tools rely on that to
// grant the same folders on every run.
#pragma once

#include "platform/FileSystem.h"
#include "platform/SystemLayout.h"

#include <string>
#include <vector>

namespace kestrova {

struct FolderGrantPlan {
    std::vector<std::string> toGrant;            // in the order asked, once each
    std::vector<std::string> alreadyAuthorized;  // covered by an existing grant

    friend bool operator==(const FolderGrantPlan&, const FolderGrantPlan&) = default;
};

// Both lists hold standardized absolute paths.
FolderGrantPlan planFolderGrants(const std::vector<std::string>& requested, const std::vector<std::string>& authorized);

// The profile's standard plug-in folders that exist as folders, in the
// scanner's order; on Linux also those the plug-in path variables name.
std::vector<std::string> existingStandardFolders(const SystemLayout& layout, const FileSystem& fileSystem);

// A first run's grant, `authorize --standard` or its window equivalent: the
// existing standard folders that no grant covers yet.
FolderGrantPlan planStandardFolderGrants(const SystemLayout& layout, const FileSystem& fileSystem,
                                         const std::vector<std::string>& authorized);

// Of the folders a plan granted, those the access now holds (a folder that
// could not be granted is left out).
std::vector<std::string> grantedFolders(const FolderGrantPlan& plan, const std::vector<std::string>& authorized);

}  // namespace kestrova
