// The one pending transaction journal and the two-phase road every privileged
// move takes, written once for the four kinds: the journal is saved before
// anything is sent, a result is trusted only when it matches the journal and
// the disk agrees, and a commit that cannot be saved leaves the journal for
// the next launch, whose recovery asks the helper first and the disk second.
// What sets the kinds apart comes from describe(kind) and commitRule(kind).
#pragma once

#include "helperclient/TransactionLookup.h"
#include "model/InventoryRevisionToken.h"
#include "model/PluginBundleSelection.h"
#include "platform/FileSystem.h"
#include "platform/Result.h"
#include "platform/SystemLayout.h"
#include "platform/Uuid.h"
#include "protocol/TransactionKinds.h"
#include "store/journal/CommitRules.h"
#include "store/state/PersistedInventory.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

// What the journal may use of the store that owns it: its fields, its saving
// and its notices.
class JournalHost {
public:
    virtual const SystemLayout& layout() const = 0;
    virtual FileSystem& files() const = 0;
    virtual const std::vector<Plugin>& plugins() const = 0;
    virtual const std::vector<TrashedBundleRecord>& trashedBundles() const = 0;
    virtual const InventoryRevisionToken& inventoryRevision() const = 0;
    virtual bool fileActionsBlockedByStorage() const = 0;
    virtual bool isVerifiedTrashRecord(const TrashedBundleRecord& record) const = 0;
    virtual InventoryFields inventoryFields() = 0;
    // Tells observers of an in-place change to a published field.
    virtual void published(std::string_view field) const = 0;
    virtual Status persistState() = 0;
    virtual void renewInventoryRevision() = 0;
    virtual void showWarning(std::string title, std::string message) = 0;
    virtual void showSuccess(std::string title, std::string message) = 0;
    virtual void setLastStorageError(std::optional<std::string> error) = 0;
    virtual void setLastOperationError(std::optional<std::string> error) = 0;
    virtual void noteHostCaches(const std::vector<std::string>& installedLocations) = 0;
    virtual void pruneEmptyTransactionFolders() = 0;
    virtual void correctClosedCleanupRun(const std::string& transactionID) = 0;

protected:
    ~JournalHost() = default;
};

class TransactionJournal {
public:
    // With a lookup, recovery first asks the helper (of the journal's side)
    // what became of the journal.
    TransactionJournal(JournalHost& host, TransactionLookup lookup, TransactionLookup userLookup);

    const std::optional<PrivilegedRequest>& pending() const { return pending_; }
    // Also true while a state file that carried more than one journal still
    // holds the others.
    bool hasPending() const { return pending_.has_value() || !held_.empty(); }
    // The journals a loaded state file carried (at most one of each kind).
    void takeOverLoaded(std::vector<PrivilegedRequest> journals);
    // Puts each journal under its key.
    void writeInto(PersistedInventory& state) const;

    std::optional<std::string> blockingReason(TransactionKind kind,
                                              const std::vector<PluginBundleSelection>& selections,
                                              const std::optional<InventoryRevisionToken>& expectedRevision) const;
    std::optional<std::string> trashRestoreBlockingReason(const std::vector<Uuid>& recordIDs) const;
    std::optional<PrivilegedRequest> prepare(TransactionKind kind, const std::vector<PluginBundleSelection>& selections,
                                             const std::optional<InventoryRevisionToken>& expectedRevision,
                                             const std::optional<Uuid>& presetRunID);
    std::optional<PrivilegedRequest> prepareTrashRestore(const std::vector<Uuid>& recordIDs);
    bool complete(const PrivilegedResult& result);
    // Resolves every loaded journal, in the order of the kinds.
    void recover();

private:
    std::optional<PrivilegedRequest> writePending(PrivilegedRequest request, const std::optional<Uuid>& presetRunID);
    bool completePending(const PrivilegedResult& result);
    void recoverPending();
    bool recoverFromDaemon();

    JournalHost& host_;
    TransactionLookup lookup_;
    TransactionLookup userLookup_;
    std::optional<PrivilegedRequest> pending_;
    // Loaded journals beside the pending one; none once recovery has run,
    // unless a journal it kept sits beside another it kept.
    std::vector<PrivilegedRequest> held_;
};

}  // namespace kestrova
