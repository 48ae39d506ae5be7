// What tells the four kinds of helper transaction apart, in one table shared
// by the application and the daemon: the call that carries it, the key its
// pending journal is saved under, the key of the result's path list, the
// folders each end of a move must be in, how its commit is undone and what
// it says to the user at each step. A new kind is one more row here, its
// records and its commit rule in the store.
#pragma once

#include "protocol/HelperWire.h"
#include "protocol/PrivilegedRecords.h"

#include <array>
#include <string_view>
#include <type_traits>

namespace kestrova {

enum class TransactionKind { quarantine, restore, trash, trashRestore };

inline constexpr std::array<TransactionKind, 4> transactionKinds{TransactionKind::quarantine, TransactionKind::restore,
                                                                 TransactionKind::trash, TransactionKind::trashRestore};

// Where one end of a move must lie, as the daemon checks it.
enum class MoveArea { pluginFolder, quarantineOperationFolder, trashFolder };

// What a kind says to the user at each step.
struct TransactionTexts {
    std::string_view blockedTitle;
    std::string_view countMismatch;
    std::string_view saveFailure;
    std::string_view attentionTitle;
    std::string_view mismatch;
    std::string_view keptJournalSuffix;
    std::string_view safeFailureTitle;
    std::string_view verifyFailure;
    std::string_view commitFailure;
    std::string_view successTitle;
    std::string_view successText;  // follows the item count
    std::string_view recoveryCompleted;
    std::string_view recoveryMixed;
    std::string_view recoveryName;  // "privileged quarantine" …, as the recovery texts name it
};

struct TransactionDescriptor {
    TransactionKind kind;
    HelperCall call;
    // How the daemon's log and ledger name the action.
    std::string_view action;
    // The state file's key of the pending journal.
    std::string_view journalKey;
    // The result's list of the paths the bundles reached.
    std::string_view resultPathsKey;
    // Crash-point scope, as KESTROVA_CRASH_AT names it.
    std::string_view crashScope;
    MoveArea source;
    MoveArea destination;
    // A quarantine commit can be applied again, so a commit that cannot be
    // saved is kept; the others are undone so the file keeps the state their
    // journal belongs to.
    bool commitUndoneWhenUnsaved;
    TransactionTexts texts;
};

const TransactionDescriptor& describe(TransactionKind kind);

// The records of each kind.
template <TransactionKind>
struct TransactionRecords;
template <>
struct TransactionRecords<TransactionKind::quarantine> {
    using Request = PrivilegedQuarantineRequest;
};
template <>
struct TransactionRecords<TransactionKind::restore> {
    using Request = PrivilegedRestoreRequest;
};
template <>
struct TransactionRecords<TransactionKind::trash> {
    using Request = PrivilegedTrashRequest;
};
template <>
struct TransactionRecords<TransactionKind::trashRestore> {
    using Request = PrivilegedTrashRestoreRequest;
};

template <typename Request>
constexpr TransactionKind kindOf() {
    if constexpr (std::is_same_v<Request, PrivilegedQuarantineRequest>) {
        return TransactionKind::quarantine;
    } else if constexpr (std::is_same_v<Request, PrivilegedRestoreRequest>) {
        return TransactionKind::restore;
    } else if constexpr (std::is_same_v<Request, PrivilegedTrashRequest>) {
        return TransactionKind::trash;
    } else {
        static_assert(std::is_same_v<Request, PrivilegedTrashRestoreRequest>);
        return TransactionKind::trashRestore;
    }
}

template <typename Request>
const TransactionDescriptor& describe() {
    return describe(kindOf<Request>());
}

}  // namespace kestrova
