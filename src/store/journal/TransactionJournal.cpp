#include "store/journal/TransactionJournal.h"

#include "model/History.h"
#include "model/PluginLocations.h"
#include "model/ProductStatus.h"
#include "model/TrashRecovery.h"
#include "planning/BundleActionPlanner.h"
#include "planning/PathRules.h"
#include "platform/Paths.h"
#include "store/PluginInventoryStore.h"
#include "store/journal/CrashPoint.h"
#include "store/journal/JournalRequests.h"

#include <fmt/format.h>

#include <algorithm>
#include <set>
#include <unordered_set>

namespace kestrova {
namespace {

constexpr std::string_view storageBlockedFileActions =
    "The Build 39 inventory could not be upgraded safely. Plugin file actions are blocked.";

constexpr std::string_view mixedSidesText =
    "The selection has bundles in both the system and the home plug-in folders, which separate helpers move. Kestrova "
    "runs one transaction per side; no plugin files were moved.";

// The parts of a result every kind has.
struct ResultView {
    const std::string& transactionID;
    bool succeeded;
    bool rollbackComplete;
    const std::vector<std::string>& destinationPaths;
    const std::string& message;
};

ResultView viewOf(const PrivilegedResult& result) {
    return std::visit(
        [](const auto& record) {
            return ResultView{record.transactionID, record.succeeded, record.rollbackComplete, destinationPaths(record),
                              record.message};
        },
        result);
}

Result<PrivilegedResult> decodeResult(TransactionKind kind, const Json& json) {
    const auto decode = [&json]<typename Record>(Record*) -> Result<PrivilegedResult> {
        auto decoded = decodePrivilegedJson<Record>(json);
        if (!decoded) {
            return decoded.error();
        }
        return PrivilegedResult(std::move(*decoded));
    };
    switch (kind) {
        case TransactionKind::quarantine:
            return decode(static_cast<PrivilegedQuarantineResult*>(nullptr));
        case TransactionKind::restore:
            return decode(static_cast<PrivilegedRestoreResult*>(nullptr));
        case TransactionKind::trash:
            return decode(static_cast<PrivilegedTrashResult*>(nullptr));
        case TransactionKind::trashRestore:
            break;
    }
    return decode(static_cast<PrivilegedTrashRestoreResult*>(nullptr));
}

// The user side's moves are made by a helper that runs as the user, not
// one an administrator approved.
std::string helperWording(std::string_view text, BundleSide side) {
    constexpr std::string_view approved = "the administrator-approved helper";
    std::string worded(text);
    if (const auto at = worded.find(approved); side == BundleSide::user && at != std::string::npos) {
        worded.replace(at, approved.size(), "the helper that runs as you");
    }
    return worded;
}

void put(PersistedInventory& state, const PrivilegedRequest& journal) {
    std::visit(
        [&state](const auto& record) {
            using Record = std::decay_t<decltype(record)>;
            if constexpr (std::is_same_v<Record, PrivilegedQuarantineRequest>) {
                state.pendingPrivilegedQuarantine = record;
            } else if constexpr (std::is_same_v<Record, PrivilegedRestoreRequest>) {
                state.pendingPrivilegedRestore = record;
            } else if constexpr (std::is_same_v<Record, PrivilegedTrashRequest>) {
                state.pendingPrivilegedTrash = record;
            } else {
                state.pendingPrivilegedTrashRestore = record;
            }
        },
        journal);
}

void commitToInventory(JournalHost& host, const PrivilegedRequest& journal) {
    const auto& rule = commitRule(kindOf(journal));
    const auto now = Date::now();
    rule.apply(host.inventoryFields(), journal, CommitMoment{now, historyTimeText(now)});
    for (const auto field : rule.changedFields) {
        if (!field.empty()) {
            host.published(field);
        }
    }
}

}  // namespace

TransactionJournal::TransactionJournal(JournalHost& host, TransactionLookup lookup, TransactionLookup userLookup)
    : host_(host), lookup_(std::move(lookup)), userLookup_(std::move(userLookup)) {}

void TransactionJournal::takeOverLoaded(std::vector<PrivilegedRequest> journals) {
    pending_.reset();
    held_ = std::move(journals);
}

void TransactionJournal::writeInto(PersistedInventory& state) const {
    if (pending_) {
        put(state, *pending_);
    }
    for (const auto& journal : held_) {
        put(state, journal);
    }
}

namespace {

BundleActionPlan fileActionPlan(const JournalHost& host, bool hasPending, BundleActionKind kind,
                                const std::vector<PluginBundleSelection>& selections,
                                const std::optional<InventoryRevisionToken>& expectedRevision,
                                const std::optional<Uuid>& presetRunID) {
    return planBundleAction(kind, selections, host.plugins(), host.inventoryRevision(), expectedRevision, presetRunID,
                            hasPending,
                            PlanDiskContext(host.files(), host.layout(), defaultTrashFolder(host.layout()), true));
}

}  // namespace

std::optional<std::string> TransactionJournal::blockingReason(
    TransactionKind kind, const std::vector<PluginBundleSelection>& selections,
    const std::optional<InventoryRevisionToken>& expectedRevision) const {
    if (host_.fileActionsBlockedByStorage()) {
        return std::string(storageBlockedFileActions);
    }
    return planBlockingReason(
        fileActionPlan(host_, hasPending(), actionKind(kind), selections, expectedRevision, std::nullopt));
}

std::optional<PrivilegedRequest> TransactionJournal::prepare(
    TransactionKind kind, const std::vector<PluginBundleSelection>& selections,
    const std::optional<InventoryRevisionToken>& expectedRevision, const std::optional<Uuid>& presetRunID) {
    const auto& texts = describe(kind).texts;
    if (kind == TransactionKind::trashRestore) {
        // Chosen by recovery record, not by bundle: see prepareTrashRestore.
        host_.showWarning(std::string(texts.blockedTitle), std::string(texts.countMismatch));
        return std::nullopt;
    }
    if (host_.fileActionsBlockedByStorage()) {
        host_.showWarning(std::string(texts.blockedTitle), std::string(storageBlockedFileActions));
        return std::nullopt;
    }
    const auto& layout = host_.layout();
    if (kind == TransactionKind::trash && layout.profile == PlatformProfile::gnuLinux) {
        // An account has no freedesktop Trash until something is first
        // trashed; make it as a file manager would, or the plan refuses.
        const auto trash = deletingLastPathComponent(defaultTrashFolder(layout));
        host_.files().createDirectories(appendingPathComponent(trash, "files"));
        host_.files().createDirectories(appendingPathComponent(trash, "info"));
    }
    const auto plan = fileActionPlan(host_, hasPending(), actionKind(kind), selections, expectedRevision, presetRunID);
    if (const auto reason = planBlockingReason(plan)) {
        host_.showWarning(std::string(texts.blockedTitle), *reason);
        return std::nullopt;
    }
    auto request = requestFromPlan(kind, plan, host_.plugins(), layout);
    if (itemCount(request) < plan.items.size()) {
        host_.showWarning(std::string(texts.blockedTitle), std::string(texts.countMismatch));
        return std::nullopt;
    }
    return writePending(std::move(request), presetRunID);
}

std::optional<std::string> TransactionJournal::trashRestoreBlockingReason(const std::vector<Uuid>& recordIDs) const {
    if (host_.fileActionsBlockedByStorage()) {
        return "The local inventory state is unavailable. Trash recovery is blocked.";
    }
    if (hasPending()) {
        return "A privileged plugin transaction still needs reconciliation.";
    }
    if (recordIDs.empty()) {
        return "No Finder Trash recovery records are selected.";
    }
    if (recordIDs.size() > maximumBundlesPerTransaction) {
        return fmt::format("A Trash recovery transaction can contain no more than {} bundles.",
                           maximumBundlesPerTransaction);
    }
    if (std::unordered_set<Uuid>(recordIDs.begin(), recordIDs.end()).size() != recordIDs.size()) {
        return "The Trash recovery selection contains a duplicate record.";
    }
    const auto& records = host_.trashedBundles();
    for (const auto& id : recordIDs) {
        const auto record = std::find_if(records.begin(), records.end(),
                                         [&](const TrashedBundleRecord& candidate) { return candidate.id == id; });
        if (record == records.end()) {
            return "A selected Trash recovery record no longer exists.";
        }
        const auto name = record->pluginName + " — " + record->format;
        if (record->reconciledDate) {
            return name + " has already been reconciled.";
        }
        const auto state = evaluateTrashRecoveryState(*record, host_.layout(), host_.files());
        if (state != TrashRecoveryState::readyToRestore) {
            return name + ": " + std::string(title(state)) + ".";
        }
        if (!host_.isVerifiedTrashRecord(*record)) {
            return name + " needs path verification before restore.";
        }
    }
    return std::nullopt;
}

std::optional<PrivilegedRequest> TransactionJournal::prepareTrashRestore(const std::vector<Uuid>& recordIDs) {
    const auto& texts = describe(TransactionKind::trashRestore).texts;
    if (const auto reason = trashRestoreBlockingReason(recordIDs)) {
        host_.showWarning(std::string(texts.blockedTitle), *reason);
        return std::nullopt;
    }
    std::vector<PrivilegedTrashRestoreItem> items;
    for (const auto& id : recordIDs) {
        for (const auto& record : host_.trashedBundles()) {
            if (record.id == id) {
                items.push_back({record.trashPath, record.originalPath, record.id.string(),
                                 lastPathComponent(record.originalPath), record.format});
                break;
            }
        }
    }
    if (items.size() < recordIDs.size()) {
        host_.showWarning(std::string(texts.blockedTitle), std::string(texts.countMismatch));
        return std::nullopt;
    }
    return writePending(PrivilegedTrashRestoreRequest{Uuid::random().string(), std::move(items)}, std::nullopt);
}

// The journal (and a preset run's child transaction) is saved before the
// request may be sent; a failed save puts everything back and nothing is
// sent.
std::optional<PrivilegedRequest> TransactionJournal::writePending(PrivilegedRequest request,
                                                                  const std::optional<Uuid>& presetRunID) {
    const auto& descriptor = describe(kindOf(request));
    const auto& texts = descriptor.texts;
    const auto side = requestSide(request, host_.layout());
    if (!side) {
        host_.showWarning(std::string(texts.blockedTitle), std::string(mixedSidesText));
        return std::nullopt;
    }
    setSide(request, *side);
    auto fields = host_.inventoryFields();
    auto previousJournal = pending_;
    auto previousRuns = fields.formatCleanupRuns;
    pending_ = request;

    if (presetRunID) {
        const auto transactionUuid = Uuid::parse(transactionIDOf(request));
        const auto run =
            std::find_if(fields.formatCleanupRuns.begin(), fields.formatCleanupRuns.end(),
                         [&](const FormatCleanupRunRecord& candidate) {
                             return candidate.id == *presetRunID && candidate.status == FormatCleanupRunStatus::pending;
                         });
        if (run == fields.formatCleanupRuns.end() || !transactionUuid) {
            pending_ = std::move(previousJournal);
            host_.showWarning("Cleanup Preset Blocked",
                              "The preset-run journal no longer matches this helper transaction.");
            return std::nullopt;
        }
        run->childTransactionIDs.push_back(*transactionUuid);
        host_.published(storeField::formatCleanupRuns);
    }

    if (const auto saved = host_.persistState(); !saved) {
        pending_ = std::move(previousJournal);
        if (fields.formatCleanupRuns != previousRuns) {
            fields.formatCleanupRuns = std::move(previousRuns);
            host_.published(storeField::formatCleanupRuns);
        }
        host_.setLastStorageError(saved.error().message);
        host_.showWarning(std::string(texts.blockedTitle), std::string(texts.saveFailure));
        return std::nullopt;
    }
    host_.setLastStorageError(std::nullopt);
    crashPoint(descriptor.crashScope, crashPoints::journalSaved);
    return request;
}

bool TransactionJournal::complete(const PrivilegedResult& result) {
    if (!completePending(result)) {
        return false;
    }
    if (commitRule(kindOf(result)).prunesOperationFolders) {
        host_.pruneEmptyTransactionFolders();
    }
    return true;
}

// The result must belong to the journal and the disk must show what it
// claims before anything is committed.
bool TransactionJournal::completePending(const PrivilegedResult& result) {
    const auto& descriptor = describe(kindOf(result));
    const auto& texts = descriptor.texts;
    crashPoint(descriptor.crashScope, crashPoints::helperReplied);
    const auto attention = [&](const std::string& message) {
        host_.showWarning(std::string(texts.attentionTitle), message);
        return false;
    };
    const auto reply = viewOf(result);
    if (!pending_ || kindOf(*pending_) != kindOf(result) || transactionIDOf(*pending_) != reply.transactionID) {
        return attention(std::string(texts.mismatch));
    }
    const PrivilegedRequest journal = *pending_;
    const auto& fileSystem = host_.files();

    if (!reply.succeeded) {
        if (!reply.rollbackComplete || !allAtSource(journal, fileSystem)) {
            return attention(reply.message + std::string(texts.keptJournalSuffix));
        }
        pending_.reset();
        (void)host_.persistState();  // nothing moved, so a stale journal would only be discarded at the next launch
        host_.showWarning(std::string(texts.safeFailureTitle), reply.message);
        return false;
    }

    const bool verified =
        destinations(journal) == std::set<std::string>(reply.destinationPaths.begin(), reply.destinationPaths.end()) &&
        allMoved(journal, fileSystem);
    if (!verified) {
        return attention(std::string(texts.verifyFailure));
    }

    // A repeatable commit stays applied when it cannot be saved; the others
    // are undone so the file keeps the state the journal belongs to.
    auto fields = host_.inventoryFields();
    const auto savedPlugins = fields.plugins;
    const auto savedHistory = fields.history;
    const auto savedTrashedBundles = fields.trashedBundles;
    std::optional<std::string> failure;
    try {
        commitToInventory(host_, journal);
        crashPoint(descriptor.crashScope, crashPoints::commitApplied);
        pending_.reset();
        if (const auto saved = host_.persistState(); !saved) {
            failure = saved.error().message;
        }
    } catch (const PrivilegedInventoryCommitError& error) {
        failure = error.what();
    }
    if (failure) {
        if (descriptor.commitUndoneWhenUnsaved) {
            fields.plugins = savedPlugins;
            fields.history = savedHistory;
            fields.trashedBundles = savedTrashedBundles;
        }
        host_.published(storeField::plugins);
        host_.published(storeField::history);
        host_.published(storeField::trashedBundles);
        pending_ = journal;
        host_.setLastStorageError(*failure);
        (void)host_.persistState();
        return attention(std::string(texts.commitFailure));
    }

    host_.setLastStorageError(std::nullopt);
    host_.renewInventoryRevision();
    host_.showSuccess(std::string(texts.successTitle),
                      fmt::format("{}{}", itemCount(journal), helperWording(texts.successText, sideOf(journal))));
    host_.noteHostCaches(installedLocations(journal));
    return true;
}

void TransactionJournal::recover() {
    // Each loaded journal in the order of the kinds; one kept waits beside
    // the others, all of them still saved under their keys meanwhile.
    for (const auto kind : transactionKinds) {
        if (pending_) {
            held_.push_back(std::move(*pending_));
            pending_.reset();
        }
        const auto found = std::find_if(held_.begin(), held_.end(),
                                        [kind](const PrivilegedRequest& journal) { return kindOf(journal) == kind; });
        if (found == held_.end()) {
            continue;
        }
        pending_ = std::move(*found);
        held_.erase(found);
        recoverPending();
    }
    if (pending_) {
        held_.push_back(std::move(*pending_));
        pending_.reset();
    }
    std::stable_sort(held_.begin(), held_.end(), [](const PrivilegedRequest& left, const PrivilegedRequest& right) {
        return left.index() < right.index();
    });
    if (!held_.empty()) {
        pending_ = std::move(held_.front());
        held_.erase(held_.begin());
    }
}

// The daemon is asked first: while it may still act on the transaction the
// disk shows a moment, not an outcome. Its recorded reply completes the
// journal exactly as the reply would have; a transaction it fenced, never
// saw or lost to a restart is left to the disk; one still running, or a
// daemon that does not answer, keeps the journal untouched. True when that
// settled the journal's fate (committed, failed safely, or kept with a
// message), false when the disk is to decide.
bool TransactionJournal::recoverFromDaemon() {
    if (!pending_) {
        return false;
    }
    const auto kind = kindOf(*pending_);
    const auto& texts = describe(kind).texts;
    // Each side's helper keeps its own ledger.
    const auto& lookup = sideOf(*pending_) == BundleSide::user ? userLookup_ : lookup_;
    if (!lookup) {
        return false;
    }
    const auto answer = lookup(transactionIDOf(*pending_));
    switch (answer.verdict) {
        case JournalVerdict::noDaemon:
        case JournalVerdict::settledOnDisk:
            return false;
        case JournalVerdict::stillRunning:
            host_.setLastOperationError(fmt::format(
                "KestrovaHelper is still carrying out the pending {}. Kestrova kept its journal and changed nothing; "
                "start Kestrova again once the helper has finished (“kestrova-cli helper status” shows it).",
                texts.recoveryName));
            return true;
        case JournalVerdict::unanswered:
            host_.setLastOperationError(fmt::format(
                "KestrovaHelper is registered but did not answer about the pending {} ({}). It may still be moving "
                "bundles, so Kestrova kept the journal and changed nothing. Check the helper with “kestrova-cli "
                "helper status”; if it stays silent, restart it with “kestrova-cli helper repair”, then start "
                "Kestrova again.",
                texts.recoveryName, answer.detail));
            return true;
        case JournalVerdict::finished:
            break;
    }
    const auto decoded = answer.result && answer.call == describe(kind).call
                             ? decodeResult(kind, *answer.result)
                             : Result<PrivilegedResult>(Error{"the helper recorded another kind of transaction"});
    if (!decoded) {
        host_.setLastOperationError(fmt::format(
            "KestrovaHelper’s record of the pending {} cannot be read ({}). Kestrova kept the journal; stop and verify "
            "plugin locations before taking another file action.",
            texts.recoveryName, decoded.error().message));
        return true;
    }
    const auto transactionID = transactionIDOf(*pending_);
    const bool committed = completePending(*decoded);
    const auto& rule = commitRule(kind);
    if (rule.prunesOperationFolders) {
        host_.pruneEmptyTransactionFolders();
    }
    if (rule.correctsClosedCleanupRun && committed) {
        host_.correctClosedCleanupRun(transactionID);
    }
    return true;
}

// Unless the daemon settles it, the disk alone decides whether the
// journal's transaction happened, never happened, or needs a person.
void TransactionJournal::recoverPending() {
    if (!pending_) {
        return;
    }
    const auto kind = kindOf(*pending_);
    const auto& texts = describe(kind).texts;
    const auto& rule = commitRule(kind);
    if (recoverFromDaemon()) {
        return;
    }
    switch (journalDiskState(*pending_, host_.files())) {
        case JournalDiskState::allMoved: {
            const auto transactionID = transactionIDOf(*pending_);
            try {
                commitToInventory(host_, *pending_);
            } catch (const PrivilegedInventoryCommitError& error) {
                host_.setLastOperationError(std::string(texts.recoveryCompleted));
                host_.setLastStorageError(error.what());
                return;
            }
            if (rule.prunesOperationFolders) {
                host_.pruneEmptyTransactionFolders();
            }
            pending_.reset();
            if (const auto saved = host_.persistState(); !saved) {
                host_.setLastOperationError(std::string(texts.recoveryCompleted));
                host_.setLastStorageError(saved.error().message);
                return;
            }
            host_.setLastStorageError(std::nullopt);
            if (rule.correctsClosedCleanupRun) {
                host_.correctClosedCleanupRun(transactionID);
            }
            return;
        }
        case JournalDiskState::allAtSource:
            if (rule.clearUnmoved) {
                rule.clearUnmoved(*pending_, host_.layout(), host_.files());
            }
            pending_.reset();
            (void)host_.persistState();
            return;
        case JournalDiskState::mixed:
            host_.setLastOperationError(std::string(texts.recoveryMixed));
            return;
    }
}

}  // namespace kestrova
