#include "store/journal/CommitRules.h"

#include "platform/FreedesktopTrash.h"
#include "store/PluginInventoryStore.h"

#include <variant>

namespace kestrova {
namespace {

void applyQuarantine(InventoryFields fields, const PrivilegedRequest& journal, const CommitMoment& moment) {
    const auto& request = std::get<PrivilegedQuarantineRequest>(journal);
    commitQuarantine(fields.plugins, fields.history, fields.formatCleanupRuns, request.transactionID, request.items,
                     moment);
}

void applyRestore(InventoryFields fields, const PrivilegedRequest& journal, const CommitMoment& moment) {
    const auto& request = std::get<PrivilegedRestoreRequest>(journal);
    commitRestore(fields.plugins, fields.history, request.transactionID, request.items, moment);
}

void applyTrash(InventoryFields fields, const PrivilegedRequest& journal, const CommitMoment& moment) {
    const auto& request = std::get<PrivilegedTrashRequest>(journal);
    commitTrash(fields.plugins, fields.history, fields.trashedBundles, request.transactionID, request.items, moment);
}

void applyTrashRestore(InventoryFields fields, const PrivilegedRequest& journal, const CommitMoment& moment) {
    const auto& request = std::get<PrivilegedTrashRestoreRequest>(journal);
    commitTrashRestore(fields.trashedBundles, fields.history, request.transactionID, request.items, moment);
}

// The move's record name was free when the move was planned, so a record
// there without its bundle is the move's own; a file manager would list a
// bundle that is not there.
void removeTrashRecordsLeftBy(const PrivilegedRequest& journal, const SystemLayout& layout, FileSystem& fileSystem) {
    if (layout.profile != PlatformProfile::gnuLinux) {
        return;
    }
    for (const auto& item : std::get<PrivilegedTrashRequest>(journal).items) {
        const auto info = trashInfoPath(item.destinationPath);
        if (!fileSystem.existsWithoutFollowing(item.destinationPath) && fileSystem.existsWithoutFollowing(info)) {
            (void)fileSystem.removeFile(info);
        }
    }
}

// In the order of TransactionKind.
const std::array<CommitRule, 4> rules{
    CommitRule{applyQuarantine, {storeField::plugins, storeField::history, {}}, false, nullptr, true},
    CommitRule{applyRestore, {storeField::plugins, storeField::history, {}}, false, nullptr, false},
    CommitRule{applyTrash,
               {storeField::plugins, storeField::history, storeField::trashedBundles},
               true,
               removeTrashRecordsLeftBy,
               false},
    CommitRule{applyTrashRestore, {storeField::trashedBundles, storeField::history, {}}, false, nullptr, false},
};

}  // namespace

const CommitRule& commitRule(TransactionKind kind) { return rules.at(static_cast<std::size_t>(kind)); }

}  // namespace kestrova
