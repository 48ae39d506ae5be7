// The two-phase road every privileged move takes, written once for the four
// kinds: the journal is saved before anything is sent, a result is trusted
// only when it matches the journal and the disk agrees, and a commit that
// cannot be saved leaves the journal for the next launch. Included by the
// store's transaction and recovery files only.
#pragma once

#include "model/ProductStatus.h"
#include "planning/PathRules.h"
#include "platform/FreedesktopTrash.h"
#include "platform/Paths.h"
#include "protocol/TransactionKinds.h"
#include "store/PluginInventoryStore.h"
#include "store/journal/CrashPoint.h"
#include "store/journal/PrivilegedInventoryCommit.h"

#include <fmt/format.h>

#include <algorithm>
#include <set>
#include <string_view>
#include <type_traits>

namespace kestrova {

inline constexpr std::string_view storageBlockedFileActions =
    "The Build 39 inventory could not be upgraded safely. Plugin file actions are blocked.";

inline constexpr std::string_view mixedSidesText =
    "The selection has bundles in both the system and the home plug-in folders, which separate helpers move. Kestrova "
    "runs one transaction per side; no plugin files were moved.";

// The one side every move of a request is on, nothing for a mix. A move is
// the user's when either end is in the user's plug-in folders or quarantine.
template <typename Item>
std::optional<BundleSide> requestSide(const std::vector<Item>& items, const SystemLayout& layout) {
    std::optional<BundleSide> side;
    for (const auto& item : items) {
        const auto itemSide = sideOfPath(item.sourcePath, layout) == BundleSide::user ||
                                      sideOfPath(item.destinationPath, layout) == BundleSide::user
                                  ? BundleSide::user
                                  : BundleSide::system;
        if (side && *side != itemSide) {
            return std::nullopt;
        }
        side = itemSide;
    }
    return side.value_or(BundleSide::system);
}

// Where the items of a journal stand on the disk. A bundle is "there" when
// anything, even a dangling link, occupies its path: the helper refuses to
// move onto an occupied path, so that is what counts for its outcome too.
enum class JournalDiskState { allMoved, allAtSource, mixed };

template <typename Item>
bool movedOnDisk(const Item& item, const FileSystem& fileSystem) {
    return !fileSystem.existsWithoutFollowing(item.sourcePath) &&
           fileSystem.existsWithoutFollowing(item.destinationPath);
}

template <typename Item>
bool atSourceOnDisk(const Item& item, const FileSystem& fileSystem) {
    return fileSystem.existsWithoutFollowing(item.sourcePath) &&
           !fileSystem.existsWithoutFollowing(item.destinationPath);
}

// Where a moved bundle is or was installed: the path hosts know it by.
inline std::optional<std::string> installedLocation(const PrivilegedQuarantineItem& item) { return item.sourcePath; }
inline std::optional<std::string> installedLocation(const PrivilegedRestoreItem& item) { return item.destinationPath; }
inline std::optional<std::string> installedLocation(const PrivilegedTrashItem& item) { return item.originalPath; }
inline std::optional<std::string> installedLocation(const PrivilegedTrashRestoreItem& item) {
    return item.destinationPath;
}

template <typename Item>
JournalDiskState journalDiskState(const std::vector<Item>& items, const FileSystem& fileSystem) {
    bool allMoved = true;
    bool allAtSource = true;
    for (const auto& item : items) {
        allMoved = allMoved && movedOnDisk(item, fileSystem);
        allAtSource = allAtSource && atSourceOnDisk(item, fileSystem);
    }
    if (allMoved) {
        return JournalDiskState::allMoved;  // also an empty journal
    }
    return allAtSource ? JournalDiskState::allAtSource : JournalDiskState::mixed;
}

// A freedesktop Trash move writes its record before the bundle moves, so a
// move that never happened (no helper answered, the disk decided) may have
// left one in the Trash; a file manager would list a bundle that is not
// there. The record's name was free when the move was planned, so it is the
// move's own.
inline void removeTrashRecordsLeftBy(const std::vector<PrivilegedTrashItem>& items, const SystemLayout& layout,
                                     FileSystem& fileSystem) {
    if (layout.profile != PlatformProfile::gnuLinux) {
        return;
    }
    for (const auto& item : items) {
        const auto info = trashInfoPath(item.destinationPath);
        if (!fileSystem.existsWithoutFollowing(item.destinationPath) && fileSystem.existsWithoutFollowing(info)) {
            (void)fileSystem.removeFile(info);
        }
    }
}

template <>
inline std::optional<PrivilegedQuarantineRequest>& PluginInventoryStore::pendingJournal<PrivilegedQuarantineRequest>() {
    return pendingPrivilegedQuarantine_;
}
template <>
inline std::optional<PrivilegedRestoreRequest>& PluginInventoryStore::pendingJournal<PrivilegedRestoreRequest>() {
    return pendingPrivilegedRestore_;
}
template <>
inline std::optional<PrivilegedTrashRequest>& PluginInventoryStore::pendingJournal<PrivilegedTrashRequest>() {
    return pendingPrivilegedTrash_;
}
template <>
inline std::optional<PrivilegedTrashRestoreRequest>&
PluginInventoryStore::pendingJournal<PrivilegedTrashRestoreRequest>() {
    return pendingPrivilegedTrashRestore_;
}

// Steps 5 to 8 of every prepare: the journal (and a preset run's child
// transaction) is saved before the request may be sent; a failed save puts
// everything back and nothing is sent.
template <typename Request>
std::optional<Request> PluginInventoryStore::writePendingJournal(Request request,
                                                                 const std::optional<Uuid>& presetRunID) {
    const auto& texts = describe<Request>().texts;
    const auto side = requestSide(request.items, layout_);
    if (!side) {
        showWarning(std::string(texts.blockedTitle), std::string(mixedSidesText));
        return std::nullopt;
    }
    request.side = *side;
    auto& journal = pendingJournal<Request>();
    auto previousJournal = journal;
    auto previousRuns = formatCleanupRuns_;
    journal = request;

    if (presetRunID) {
        const auto transactionUuid = Uuid::parse(request.transactionID);
        const auto run = std::find_if(
            formatCleanupRuns_.begin(), formatCleanupRuns_.end(), [&](const FormatCleanupRunRecord& candidate) {
                return candidate.id == *presetRunID && candidate.status == FormatCleanupRunStatus::pending;
            });
        if (run == formatCleanupRuns_.end() || !transactionUuid) {
            journal = std::move(previousJournal);
            showWarning("Cleanup Preset Blocked", "The preset-run journal no longer matches this helper transaction.");
            return std::nullopt;
        }
        run->childTransactionIDs.push_back(*transactionUuid);
        published(storeField::formatCleanupRuns);
    }

    if (const auto saved = persistState(); !saved) {
        journal = std::move(previousJournal);
        if (formatCleanupRuns_ != previousRuns) {
            assign(formatCleanupRuns_, std::move(previousRuns), storeField::formatCleanupRuns);
        }
        setLastStorageError(saved.error().message);
        showWarning(std::string(texts.blockedTitle), std::string(texts.saveFailure));
        return std::nullopt;
    }
    setLastStorageError(std::nullopt);
    crashPoint(describe<Request>().crashScope, crashPoints::journalSaved);
    return request;
}

// The user side's moves are made by a helper that runs as the user, not
// one an administrator approved.
inline std::string helperWording(std::string_view text, BundleSide side) {
    constexpr std::string_view approved = "the administrator-approved helper";
    std::string worded(text);
    if (const auto at = worded.find(approved); side == BundleSide::user && at != std::string::npos) {
        worded.replace(at, approved.size(), "the helper that runs as you");
    }
    return worded;
}

// Every complete: the result must belong to the journal and the disk must
// show what it claims before anything is committed.
template <typename Request>
bool PluginInventoryStore::completeTransaction(
    const typename PrivilegedRequestTraits<Request>::ResultRecord& result, const std::string& transactionID,
    const std::vector<typename PrivilegedRequestTraits<Request>::Item>& items) {
    const auto& texts = describe<Request>().texts;
    crashPoint(describe<Request>().crashScope, crashPoints::helperReplied);
    auto& journal = pendingJournal<Request>();
    const auto attention = [&](const std::string& message) {
        showWarning(std::string(texts.attentionTitle), message);
        return false;
    };

    if (!journal || journal->transactionID != transactionID || result.transactionID != transactionID) {
        return attention(std::string(texts.mismatch));
    }

    if (!result.succeeded) {
        const bool rolledBack = result.rollbackComplete &&
                                std::all_of(items.begin(), items.end(),
                                            [&](const auto& item) { return atSourceOnDisk(item, *fileSystem_); });
        if (!rolledBack) {
            return attention(result.message + std::string(texts.keptJournalSuffix));
        }
        journal.reset();
        (void)persistState();  // nothing moved, so a stale journal would only be discarded at the next launch
        showWarning(std::string(texts.safeFailureTitle), result.message);
        return false;
    }

    std::set<std::string> expected;
    for (const auto& item : items) {
        expected.insert(item.destinationPath);
    }
    const auto& reported = destinationPaths(result);
    const bool verified =
        expected == std::set<std::string>(reported.begin(), reported.end()) &&
        std::all_of(items.begin(), items.end(), [&](const auto& item) { return movedOnDisk(item, *fileSystem_); });
    if (!verified) {
        return attention(std::string(texts.verifyFailure));
    }

    // A repeatable commit stays applied when it cannot be saved; the others
    // are undone so the file keeps the state the journal belongs to.
    const auto savedPlugins = plugins_;
    const auto savedHistory = history_;
    const auto savedTrashedBundles = trashedBundles_;
    const Request committed{transactionID, items, journal->side};
    std::optional<std::string> failure;
    try {
        commitToInventory(committed);
        crashPoint(describe<Request>().crashScope, crashPoints::commitApplied);
        journal.reset();
        if (const auto saved = persistState(); !saved) {
            failure = saved.error().message;
        }
    } catch (const PrivilegedInventoryCommitError& error) {
        failure = error.what();
    }
    if (failure) {
        if (describe<Request>().commitUndoneWhenUnsaved) {
            plugins_ = savedPlugins;
            history_ = savedHistory;
            trashedBundles_ = savedTrashedBundles;
        }
        published(storeField::plugins);
        published(storeField::history);
        published(storeField::trashedBundles);
        journal = committed;
        setLastStorageError(*failure);
        (void)persistState();
        return attention(std::string(texts.commitFailure));
    }

    setLastStorageError(std::nullopt);
    renewInventoryRevision();
    showSuccess(std::string(texts.successTitle),
                fmt::format("{}{}", items.size(), helperWording(texts.successText, committed.side)));
    std::vector<std::string> installedLocations;
    for (const auto& item : items) {
        if (auto location = installedLocation(item)) {
            installedLocations.push_back(std::move(*location));
        }
    }
    noteHostCaches(installedLocations);
    return true;
}

// The daemon is asked first: while it may still act on the transaction the
// disk shows a moment, not an outcome. Its recorded reply completes the
// journal exactly as the reply would have; a transaction it fenced, never
// saw or lost to a restart is left to the disk; one still running, or a
// daemon that does not answer, keeps the journal untouched.
template <typename Request>
bool PluginInventoryStore::recoverFromDaemon() {
    using ResultRecord = typename PrivilegedRequestTraits<Request>::ResultRecord;
    const auto& texts = describe<Request>().texts;
    auto& journal = pendingJournal<Request>();
    if (!journal) {
        return false;
    }
    // Each side's helper keeps its own ledger.
    const auto& lookup = journal->side == BundleSide::user ? userTransactionLookup_ : transactionLookup_;
    if (!lookup) {
        return false;
    }
    const auto answer = lookup(journal->transactionID);
    switch (answer.verdict) {
        case JournalVerdict::noDaemon:
        case JournalVerdict::settledOnDisk:
            return false;
        case JournalVerdict::stillRunning:
            setLastOperationError(fmt::format(
                "KestrovaHelper is still carrying out the pending {}. Kestrova kept its journal and changed nothing; "
                "start Kestrova again once the helper has finished (“kestrova-cli helper status” shows it).",
                texts.recoveryName));
            return true;
        case JournalVerdict::unanswered:
            setLastOperationError(fmt::format(
                "KestrovaHelper is registered but did not answer about the pending {} ({}). It may still be moving "
                "bundles, so Kestrova kept the journal and changed nothing. Check the helper with “kestrova-cli "
                "helper status”; if it stays silent, restart it with “kestrova-cli helper repair”, then start "
                "Kestrova again.",
                texts.recoveryName, answer.detail));
            return true;
        case JournalVerdict::finished:
            break;
    }
    const auto decoded = answer.result && answer.call == describe<Request>().call
                             ? decodePrivilegedJson<ResultRecord>(*answer.result)
                             : Result<ResultRecord>(Error{"the helper recorded another kind of transaction"});
    if (!decoded) {
        setLastOperationError(fmt::format(
            "KestrovaHelper’s record of the pending {} cannot be read ({}). Kestrova kept the journal; stop and verify "
            "plugin locations before taking another file action.",
            texts.recoveryName, decoded.error().message));
        return true;
    }
    const Request request = *journal;
    const bool committed = completeTransaction<Request>(*decoded, request.transactionID, request.items);
    if constexpr (std::is_same_v<Request, PrivilegedTrashRequest>) {
        pruneEmptyTransactionFolders();
    }
    if constexpr (std::is_same_v<Request, PrivilegedQuarantineRequest>) {
        if (committed) {
            correctClosedCleanupRun(request.transactionID);
        }
    }
    return true;
}

// One member of the launch-time recovery: unless the daemon settles it, the
// disk alone decides whether the journal's transaction happened, never
// happened, or needs a person.
template <typename Request>
void PluginInventoryStore::recoverPendingJournal() {
    const auto& texts = describe<Request>().texts;
    auto& journal = pendingJournal<Request>();
    if (!journal) {
        return;
    }
    if (recoverFromDaemon<Request>()) {
        return;
    }
    switch (journalDiskState(journal->items, *fileSystem_)) {
        case JournalDiskState::allMoved: {
            const auto transactionID = journal->transactionID;
            try {
                commitToInventory(*journal);
            } catch (const PrivilegedInventoryCommitError& error) {
                setLastOperationError(std::string(texts.recoveryCompleted));
                setLastStorageError(error.what());
                return;
            }
            if constexpr (std::is_same_v<Request, PrivilegedTrashRequest>) {
                pruneEmptyTransactionFolders();
            }
            journal.reset();
            if (const auto saved = persistState(); !saved) {
                setLastOperationError(std::string(texts.recoveryCompleted));
                setLastStorageError(saved.error().message);
                return;
            }
            setLastStorageError(std::nullopt);
            if constexpr (std::is_same_v<Request, PrivilegedQuarantineRequest>) {
                correctClosedCleanupRun(transactionID);
            }
            return;
        }
        case JournalDiskState::allAtSource:
            if constexpr (std::is_same_v<Request, PrivilegedTrashRequest>) {
                removeTrashRecordsLeftBy(journal->items, layout_, *fileSystem_);
            }
            journal.reset();
            (void)persistState();
            return;
        case JournalDiskState::mixed:
            setLastOperationError(std::string(texts.recoveryMixed));
            return;
    }
}

}  // namespace kestrova
