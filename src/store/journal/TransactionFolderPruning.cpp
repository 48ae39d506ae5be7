#include "store/journal/TransactionFolderPruning.h"

#include "planning/PathRules.h"
#include "platform/Paths.h"
#include "platform/Uuid.h"

namespace kestrova {

std::vector<std::string> transactionFolderRoots(const SystemLayout& layout) {
    const auto support = layout.applicationSupport();
    std::vector<std::string> roots{quarantineRoot(layout),
                                   appendingPathComponent(appendingPathComponent(support, "Kestrova"), "Quarantine"),
                                   appendingPathComponent(appendingPathComponent(support, "Halvern"), "Quarantine")};
    if (layout.profile == PlatformProfile::gnuLinux) {
        roots.push_back(quarantineRoot(layout, BundleSide::user));
    }
    return roots;
}

void pruneEmptyTransactionFolders(const std::string& folder, FileSystem& fileSystem) {
    const auto names = fileSystem.contentsOfDirectory(folder);
    if (!names) {
        return;
    }
    for (const auto& name : *names) {
        if (name.starts_with(".") || !Uuid::parse(name)) {
            continue;
        }
        const auto path = appendingPathComponent(folder, name);
        // A link to a folder is not an operation folder, whatever it points at.
        const auto status = fileSystem.linkStatus(path);
        if (!status || !status->isDirectory) {
            continue;
        }
        const auto contents = fileSystem.contentsOfDirectory(path);
        if (contents && contents->empty()) {
            (void)fileSystem.removeEmptyDirectory(path);
        }
    }
}

}  // namespace kestrova
