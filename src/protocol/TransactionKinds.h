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
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

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
    using ResultRecord = PrivilegedQuarantineResult;
};
template <>
struct TransactionRecords<TransactionKind::restore> {
    using Request = PrivilegedRestoreRequest;
    using ResultRecord = PrivilegedRestoreResult;
};
template <>
struct TransactionRecords<TransactionKind::trash> {
    using Request = PrivilegedTrashRequest;
    using ResultRecord = PrivilegedTrashResult;
};
template <>
struct TransactionRecords<TransactionKind::trashRestore> {
    using Request = PrivilegedTrashRestoreRequest;
    using ResultRecord = PrivilegedTrashRestoreResult;
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

// Any one request or result, its alternatives in the order of TransactionKind.
using PrivilegedRequest = std::variant<PrivilegedQuarantineRequest, PrivilegedRestoreRequest, PrivilegedTrashRequest,
                                       PrivilegedTrashRestoreRequest>;
using PrivilegedResult = std::variant<PrivilegedQuarantineResult, PrivilegedRestoreResult, PrivilegedTrashResult,
                                      PrivilegedTrashRestoreResult>;

static_assert(std::is_same_v<
              std::variant_alternative_t<static_cast<std::size_t>(TransactionKind::trashRestore), PrivilegedRequest>,
              PrivilegedTrashRestoreRequest>);
static_assert(
    std::is_same_v<std::variant_alternative_t<static_cast<std::size_t>(TransactionKind::trash), PrivilegedResult>,
                   PrivilegedTrashResult>);

inline TransactionKind kindOf(const PrivilegedRequest& request) { return transactionKinds.at(request.index()); }
inline TransactionKind kindOf(const PrivilegedResult& result) { return transactionKinds.at(result.index()); }

inline const std::string& transactionIDOf(const PrivilegedRequest& request) {
    return std::visit([](const auto& record) -> const std::string& { return record.transactionID; }, request);
}
inline const std::string& transactionIDOf(const PrivilegedResult& result) {
    return std::visit([](const auto& record) -> const std::string& { return record.transactionID; }, result);
}

inline BundleSide sideOf(const PrivilegedRequest& request) {
    return std::visit([](const auto& record) { return record.side; }, request);
}

inline std::size_t itemCount(const PrivilegedRequest& request) {
    return std::visit([](const auto& record) { return record.items.size(); }, request);
}

// A request or result of one kind, nothing when there is none or it is of
// another kind.
template <typename Record, typename Variant>
std::optional<Record> recordOf(const std::optional<Variant>& value) {
    if (value) {
        if (const auto* record = std::get_if<Record>(&*value)) {
            return *record;
        }
    }
    return std::nullopt;
}

// The failure result of `kind` the application makes itself when it gets no
// real reply (see madeUpFailureResult).
PrivilegedResult madeUpFailure(TransactionKind kind, std::string transactionID, std::string message);

}  // namespace kestrova
