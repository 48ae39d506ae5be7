// The daemon's own record of every transaction it was sent, so a client
// that lost a reply can ask what happened instead of guessing from the
// disk. Each step (received, started, finished with the exact result sent,
// fenced, interrupted) is appended as one JSON line and synced before the
// daemon acts on it: nothing moves unless "started" is on the disk first.
//
// The file lives in the daemon's private state folder. A torn last line (a
// crash in the middle of an append) is dropped. Any other unreadable line
// makes the file "damaged": it is set aside as transactions.ledger.damaged,
// the readable lines are kept in a fresh file, and an entry whose later
// steps were lost reads as interrupted, so its client falls back on the
// disk, which is sound once no daemon can act on it. When no ledger can be
// written at all the daemon refuses every transaction (it cannot keep the
// promise above) and still answers questions from memory.
#pragma once

#include "helper/HelperLog.h"
#include "platform/Result.h"
#include "platform/UnixSocket.h"
#include "protocol/TransactionStatus.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kestrova {

// One move of a transaction, as the daemon validated it: source, destination.
using LedgerMove = std::pair<std::string, std::string>;

inline constexpr std::string_view transactionLedgerFileName = "transactions.ledger";
inline constexpr std::string_view damagedLedgerFileName = "transactions.ledger.damaged";

struct TransactionLedgerLimits {
    // Settled entries kept; the oldest are dropped first. Running ones are
    // never dropped.
    std::size_t keptEntries = 1024;
};

class TransactionLedger {
public:
    // Opens the ledger in `folder` (made, mode 0700, when missing; it must
    // be a real folder of this uid that no one else can write). Entries that
    // were received or running when the last daemon stopped become
    // interrupted. Without a usable folder the ledger is unavailable: see
    // isAvailable.
    TransactionLedger(std::optional<std::string> folder, HelperLog& log, TransactionLedgerLimits limits = {});
    TransactionLedger(const TransactionLedger&) = delete;
    TransactionLedger& operator=(const TransactionLedger&) = delete;

    // Whether steps can be written; without it no transaction may start.
    bool isAvailable() const;
    // Why not, for the refusal message.
    std::string unavailableReason() const;

    enum class Admission {
        // Recorded as received; go on.
        accepted,
        // Fenced: refuse without moving anything.
        fenced,
        // The ID was used before and has finished: answer with `previous`.
        finished,
        // The ID was used before and is still in hand: refuse.
        duplicate,
        // The step could not be written: refuse.
        unrecorded,
    };
    struct Arrival {
        Admission admission = Admission::unrecorded;
        std::optional<HelperCall> previousCall;
        std::optional<Json> previous;
    };
    Arrival receive(const std::string& transactionID, HelperCall call);

    // Right before the first move: the transaction is started only if it is
    // not fenced and its client is still connected (`clientConnected` is
    // asked under the ledger's lock, so a status question cannot slip in
    // between). A client that has gone fences the transaction instead.
    // The moves are recorded with the start, so a daemon started after a
    // crash can put back what an interrupted transaction had moved.
    enum class Start { started, fenced, clientGone, unrecorded };
    Start start(const std::string& transactionID, const std::function<bool()>& clientConnected,
                const std::vector<LedgerMove>& moves = {});

    // Interrupted transactions whose moves have not been put back yet.
    std::vector<std::pair<std::string, std::vector<LedgerMove>>> interruptedWithMoves() const;
    // Records that the moves of an interrupted transaction were put back
    // (or could not all be; it then stays as the disk shows it).
    void markRolledBack(const std::string& transactionID);

    // The reply is about to be sent: kept exactly as sent, also for refusals.
    void finish(const std::string& transactionID, HelperCall call, const Json& result);

    // The answer to transactionStatus. An unknown ID is fenced here (synced
    // before the answer) and reported as unknown.
    TransactionStatusReply status(const std::string& transactionID);

    std::size_t entryCount() const;

private:
    enum class Step { received, started, finished, fenced, interrupted };
    struct Entry {
        Step step = Step::received;
        std::optional<HelperCall> call;
        std::optional<Json> result;
        std::vector<LedgerMove> moves;
        std::uint64_t order = 0;
    };

    void load();
    // Folds one record line into the entries; false when it cannot be read.
    bool apply(const std::string& line);
    // Appends and syncs one record; false (and the ledger unavailable) when
    // it cannot.
    bool append(const std::string& transactionID, const Entry& entry);
    // Rewrites the file with one line per kept entry.
    bool compact();
    void prune();
    static Json recordOf(const std::string& transactionID, const Entry& entry);

    mutable std::mutex mutex_;
    HelperLog& log_;
    TransactionLedgerLimits limits_;
    FileDescriptor folder_;
    FileDescriptor file_;
    std::string problem_;
    std::map<std::string, Entry> entries_;
    std::uint64_t nextOrder_ = 0;
    std::size_t linesInFile_ = 0;
};

}  // namespace kestrova
