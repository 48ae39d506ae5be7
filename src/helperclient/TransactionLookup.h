// Start-up's question to the daemon about a journaled transaction, asked
// before the disk is read: a front end that lost its reply cannot tell from
// the disk alone whether the daemon is still about to act. The lookup is
// synchronous and bounded: it asks over its own connection (not the
// service's queue, which answers through the main thread's executor), and
// while the daemon reports the transaction running it asks again until its
// wait runs out, reporting how long it has waited.
#pragma once

#include "helperclient/HelperConnection.h"
#include "platform/Result.h"
#include "platform/ServiceRegistration.h"
#include "protocol/TransactionStatus.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kestrova {

// Why a status question got no usable answer.
enum class TransactionStatusProblem {
    // Nothing listens: no socket, or the connection was refused.
    notRunning,
    // Something listens but gave no answer in time, or closed on us.
    noAnswer,
    // It answered, but not in a way this client reads (an older daemon).
    notUnderstood,
};

struct TransactionStatusFailure {
    TransactionStatusProblem problem = TransactionStatusProblem::noAnswer;
    std::string message;
};

// One question over a fresh, verified connection, bounded by the connect
// deadline and the handshake deadline for the reply.
Result<TransactionStatusReply, TransactionStatusFailure> askTransactionStatus(const HelperEndpoint& endpoint,
                                                                              const std::string& transactionID,
                                                                              const HelperDeadlines& deadlines);

// What start-up recovery does with a journal, by what the daemon said.
enum class JournalVerdict {
    // No daemon is registered or running: the disk decides, as after a crash.
    noDaemon,
    // The daemon replied to it; `result` is the record it sent.
    finished,
    // Fenced, never seen (now fenced) or interrupted by a daemon restart:
    // nothing will move any more, so the disk decides.
    settledOnDisk,
    // Still running when the wait ran out.
    stillRunning,
    // A daemon is registered and listening but did not answer.
    unanswered,
};

struct TransactionLookupAnswer {
    JournalVerdict verdict = JournalVerdict::noDaemon;
    std::optional<HelperCall> call;
    std::optional<Json> result;
    // The daemon's own state word, or why there was no answer.
    std::string detail;
};

using TransactionLookup = std::function<TransactionLookupAnswer(const std::string& transactionID)>;

struct TransactionLookupWaiting {
    // How long a running transaction is waited for before the journal is kept.
    std::chrono::milliseconds limit{120'000};
    std::chrono::milliseconds interval{250};
    // Told the transaction ID and the time waited so far, once per question
    // that found it still running.
    std::function<void(const std::string& transactionID, std::chrono::milliseconds waited)> progress;
};

// The lookup a front end hands its store: the registration says whether a
// daemon should be there at all (and, for a session daemon, starts it).
TransactionLookup makeDaemonTransactionLookup(std::shared_ptr<ServiceRegistration> registration,
                                              HelperDeadlines deadlines, TransactionLookupWaiting waiting);

// KESTROVA_RECOVERY_WAIT_MS, for tests, sets the wait limit.
Result<TransactionLookupWaiting> transactionLookupWaitingFromEnvironment();

}  // namespace kestrova
