#include "helperclient/TransactionLookup.h"

#include <fmt/format.h>

#include <cerrno>
#include <cstdlib>
#include <thread>

namespace kestrova {
namespace {

TransactionStatusFailure failure(TransactionStatusProblem problem, std::string message) {
    return TransactionStatusFailure{problem, std::move(message)};
}

}  // namespace

Result<TransactionStatusReply, TransactionStatusFailure> askTransactionStatus(const HelperEndpoint& endpoint,
                                                                              const std::string& transactionID,
                                                                              const HelperDeadlines& deadlines) {
    auto connected = connectToVerifiedHelper(endpoint, deadlines.connect);
    if (!connected) {
        const int code = connected.error().code;
        const bool absent = code == ENOENT || code == ECONNREFUSED || code == ENOTDIR;
        return failure(absent ? TransactionStatusProblem::notRunning : TransactionStatusProblem::noAnswer,
                       connected.error().message);
    }
    const int socketFd = connected->get();
    if (auto bounded = setSocketIoTimeout(socketFd, deadlines.handshake); !bounded) {
        return failure(TransactionStatusProblem::noAnswer, bounded.error().message);
    }
    const auto argument = encodeTransactionStatusArgument(transactionID).dump();
    if (!writeFrame(socketFd, callEnvelopeText(HelperCall::transactionStatus, argument))) {
        return failure(TransactionStatusProblem::noAnswer, "KestrovaHelper closed the connection before the question.");
    }
    const auto answered = waitUntilReadable(socketFd, deadlines.handshake);
    if (!answered || !*answered) {
        return failure(TransactionStatusProblem::noAnswer,
                       fmt::format("KestrovaHelper did not answer within {} ms.", deadlines.handshake.count()));
    }
    const auto frame = readFrame(socketFd);
    if (!frame) {
        return failure(TransactionStatusProblem::noAnswer,
                       "KestrovaHelper closed the connection: " + frame.error().message);
    }
    const auto payload = replyPayload(*frame, HelperCall::transactionStatus);
    if (!payload) {
        return failure(TransactionStatusProblem::notUnderstood, payload.error().message);
    }
    auto reply = decodeTransactionStatusReply(*payload);
    if (!reply) {
        return failure(TransactionStatusProblem::notUnderstood, reply.error().message);
    }
    if (reply->transactionID != transactionID) {
        return failure(TransactionStatusProblem::notUnderstood, "KestrovaHelper answered about another transaction.");
    }
    return std::move(*reply);
}

TransactionLookup makeDaemonTransactionLookup(std::shared_ptr<ServiceRegistration> registration,
                                              HelperDeadlines deadlines, TransactionLookupWaiting waiting) {
    return [registration = std::move(registration), deadlines,
            waiting = std::move(waiting)](const std::string& transactionID) -> TransactionLookupAnswer {
        switch (registration->status()) {
            case ServiceRegistrationState::notRegistered:
            case ServiceRegistrationState::notFound:
            case ServiceRegistrationState::requiresApproval:
                return {JournalVerdict::noDaemon, std::nullopt, std::nullopt, "not registered"};
            case ServiceRegistrationState::enabled:
            case ServiceRegistrationState::unknown:
                break;
        }
        const auto started = std::chrono::steady_clock::now();
        while (true) {
            const auto asked = askTransactionStatus(registration->endpoint(), transactionID, deadlines);
            if (!asked) {
                const auto& problem = asked.error();
                switch (problem.problem) {
                    case TransactionStatusProblem::notRunning:
                    case TransactionStatusProblem::notUnderstood:
                        // A daemon that is not there, or one too old to keep
                        // a ledger, leaves the disk as the only witness.
                        return {JournalVerdict::noDaemon, std::nullopt, std::nullopt, problem.message};
                    case TransactionStatusProblem::noAnswer:
                        return {JournalVerdict::unanswered, std::nullopt, std::nullopt, problem.message};
                }
            }
            const auto& reply = *asked;
            const std::string state(rawValue(reply.state));
            switch (reply.state) {
                case HelperTransactionState::finished:
                    return {JournalVerdict::finished, reply.call, reply.result, state};
                case HelperTransactionState::unknown:
                case HelperTransactionState::fenced:
                case HelperTransactionState::interrupted:
                    return {JournalVerdict::settledOnDisk, reply.call, std::nullopt, state};
                case HelperTransactionState::running:
                    break;
            }
            const auto waited =
                std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
            if (waited >= waiting.limit) {
                return {JournalVerdict::stillRunning, reply.call, std::nullopt, state};
            }
            if (waiting.progress) {
                waiting.progress(transactionID, waited);
            }
            std::this_thread::sleep_for(std::min(waiting.interval, waiting.limit - waited));
        }
    };
}

Result<TransactionLookupWaiting> transactionLookupWaitingFromEnvironment() {
    TransactionLookupWaiting waiting;
    const char* given = std::getenv("KESTROVA_RECOVERY_WAIT_MS");
    if (!given || !*given) {
        return waiting;
    }
    char* end = nullptr;
    errno = 0;
    const auto milliseconds = std::strtoll(given, &end, 10);
    if (errno != 0 || *end != '\0' || milliseconds < 0) {
        return Error{fmt::format("KESTROVA_RECOVERY_WAIT_MS must be a number of milliseconds, not “{}”.", given)};
    }
    waiting.limit = std::chrono::milliseconds(milliseconds);
    return waiting;
}

}  // namespace kestrova
