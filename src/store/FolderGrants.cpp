#include "store/FolderGrants.h"

#include "platform/Paths.h"
#include "scan/PluginScanner.h"

#include <algorithm>
#include <iterator>

namespace kestrova {
namespace {

// On whole path components, as the scanner decides what a grant covers.
bool isCovered(const std::string& folder, const std::vector<std::string>& authorized) {
    return std::any_of(authorized.begin(), authorized.end(), [&](const std::string& root) {
        return folder == root || folder.starts_with(root == "/" ? root : root + "/");
    });
}

}  // namespace

FolderGrantPlan planFolderGrants(const std::vector<std::string>& requested,
                                 const std::vector<std::string>& authorized) {
    FolderGrantPlan plan;
    for (const auto& given : requested) {
        const auto folder = standardizedPath(given);
        auto& list = isCovered(folder, authorized) ? plan.alreadyAuthorized : plan.toGrant;
        if (std::find(list.begin(), list.end(), folder) == list.end()) {
            list.push_back(folder);
        }
    }
    return plan;
}

std::vector<std::string> existingStandardFolders(const SystemLayout& layout, const FileSystem& fileSystem) {
    std::vector<std::string> folders;
    for (const auto& location : PluginScanner(fileSystem, layout).standardLocations()) {
        if (fileSystem.isDirectory(location.url) &&
            std::find(folders.begin(), folders.end(), location.url) == folders.end()) {
            folders.push_back(location.url);
        }
    }
    return folders;
}

FolderGrantPlan planStandardFolderGrants(const SystemLayout& layout, const FileSystem& fileSystem,
                                         const std::vector<std::string>& authorized) {
    return planFolderGrants(existingStandardFolders(layout, fileSystem), authorized);
}

std::vector<std::string> grantedFolders(const FolderGrantPlan& plan, const std::vector<std::string>& authorized) {
    std::vector<std::string> granted;
    std::copy_if(plan.toGrant.begin(), plan.toGrant.end(), std::back_inserter(granted), [&](const auto& folder) {
        return std::find(authorized.begin(), authorized.end(), folder) != authorized.end();
    });
    return granted;
}

}  // namespace kestrova
