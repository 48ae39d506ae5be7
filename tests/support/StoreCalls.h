// The store's transaction calls for one kind, as the tests speak of them:
// prepare gives that kind's request, complete takes that kind's result (the
// store checks it against its own journal), pending gives the journal if it
// is of that kind.
#pragma once

#include "store/PluginInventoryStore.h"
#include "support/ServiceCalls.h"

#include <optional>
#include <vector>

namespace kestrova::testing {

template <typename Request>
std::optional<Request> prepareAs(PluginInventoryStore& store, const std::vector<PluginBundleSelection>& selections,
                                 const std::optional<InventoryRevisionToken>& expectedRevision = std::nullopt,
                                 const std::optional<Uuid>& presetRunID = std::nullopt) {
    return recordOf<Request>(store.prepare(kindOf<Request>(), selections, expectedRevision, presetRunID));
}

inline std::optional<PrivilegedQuarantineRequest> prepareQuarantine(
    PluginInventoryStore& store, const std::vector<PluginBundleSelection>& selections,
    const std::optional<InventoryRevisionToken>& expectedRevision = std::nullopt,
    const std::optional<Uuid>& presetRunID = std::nullopt) {
    return prepareAs<PrivilegedQuarantineRequest>(store, selections, expectedRevision, presetRunID);
}
inline std::optional<PrivilegedRestoreRequest> prepareRestore(
    PluginInventoryStore& store, const std::vector<PluginBundleSelection>& selections,
    const std::optional<InventoryRevisionToken>& expectedRevision = std::nullopt) {
    return prepareAs<PrivilegedRestoreRequest>(store, selections, expectedRevision);
}
inline std::optional<PrivilegedTrashRequest> prepareTrash(
    PluginInventoryStore& store, const std::vector<PluginBundleSelection>& selections,
    const std::optional<InventoryRevisionToken>& expectedRevision = std::nullopt) {
    return prepareAs<PrivilegedTrashRequest>(store, selections, expectedRevision);
}
inline std::optional<PrivilegedTrashRestoreRequest> prepareTrashRestore(PluginInventoryStore& store,
                                                                        const std::vector<Uuid>& recordIDs) {
    return recordOf<PrivilegedTrashRestoreRequest>(store.prepareTrashRestore(recordIDs));
}
inline std::optional<PrivilegedQuarantineRequest> prepareCleanupRunChunk(
    PluginInventoryStore& store, const Uuid& runID, const std::vector<PluginBundleSelection>& chunk) {
    return recordOf<PrivilegedQuarantineRequest>(store.prepareCleanupRunChunk(runID, chunk));
}

template <typename ResultRecord>
bool complete(PluginInventoryStore& store, const ResultRecord& result) {
    return store.complete(PrivilegedResult(result));
}

template <typename Request>
std::optional<Request> pendingAs(const PluginInventoryStore& store) {
    return recordOf<Request>(store.pendingTransaction());
}
inline std::optional<PrivilegedQuarantineRequest> pendingQuarantine(const PluginInventoryStore& store) {
    return pendingAs<PrivilegedQuarantineRequest>(store);
}
inline std::optional<PrivilegedRestoreRequest> pendingRestore(const PluginInventoryStore& store) {
    return pendingAs<PrivilegedRestoreRequest>(store);
}
inline std::optional<PrivilegedTrashRequest> pendingTrash(const PluginInventoryStore& store) {
    return pendingAs<PrivilegedTrashRequest>(store);
}
inline std::optional<PrivilegedTrashRestoreRequest> pendingTrashRestore(const PluginInventoryStore& store) {
    return pendingAs<PrivilegedTrashRestoreRequest>(store);
}

}  // namespace kestrova::testing
