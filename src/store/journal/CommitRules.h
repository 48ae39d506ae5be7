// What a verified transaction does to the inventory, one rule per kind: the
// commit from PrivilegedInventoryCommit, the published fields it changes and
// the steps that follow it. With the kind's descriptor this is everything
// the journal needs to tell the kinds apart.
#pragma once

#include "model/FormatCleanupRun.h"
#include "model/History.h"
#include "model/Plugin.h"
#include "model/TrashedBundleRecord.h"
#include "platform/FileSystem.h"
#include "platform/SystemLayout.h"
#include "protocol/TransactionKinds.h"
#include "store/journal/PrivilegedInventoryCommit.h"

#include <array>
#include <string_view>
#include <vector>

namespace kestrova {

// The store's fields a commit may change, lent for the length of one call.
struct InventoryFields {
    std::vector<Plugin>& plugins;
    std::vector<HistoryItem>& history;
    std::vector<TrashedBundleRecord>& trashedBundles;
    std::vector<FormatCleanupRunRecord>& formatCleanupRuns;
};

struct CommitRule {
    // Applies the journal's moves; throws PrivilegedInventoryCommitError and
    // then has changed nothing that matters.
    void (*apply)(InventoryFields fields, const PrivilegedRequest& journal, const CommitMoment& moment);
    // The published fields the commit changes, in the order observers hear
    // of them; unused places are empty.
    std::array<std::string_view, 3> changedFields;
    // Bundles leaving quarantine may leave empty operation folders behind.
    bool prunesOperationFolders;
    // Clears what a move that never happened may have left behind (a
    // freedesktop Trash move writes its record first); may be empty.
    void (*clearUnmoved)(const PrivilegedRequest& journal, const SystemLayout& layout, FileSystem& fileSystem);
    // A commit made at launch may belong to a cleanup run closed meanwhile.
    bool correctsClosedCleanupRun;
};

const CommitRule& commitRule(TransactionKind kind);

}  // namespace kestrova
