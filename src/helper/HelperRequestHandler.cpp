#include "helper/HelperRequestHandler.h"

#include "helper/PausePoint.h"
#include "helper/RequestValidation.h"
#include "helper/TopdirTrash.h"
#include "protocol/HelperWire.h"
#include "protocol/PrivilegedRecords.h"
#include "protocol/TransactionKinds.h"

#include "planning/PathRules.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

#include <fmt/format.h>
#include <algorithm>
#include <type_traits>

namespace kestrova {
namespace {

constexpr std::size_t maximumEchoedTransactionID = 128;

template <typename Request>
Json refusal(const std::string& transactionID, const std::string& message) {
    using ResultRecord = typename PrivilegedRequestTraits<Request>::ResultRecord;
    return JsonCoder<ResultRecord>::encode(madeUpFailureResult<ResultRecord>(transactionID, message));
}

template <typename Request>
bool movesIntoOrOutOfTrash() {
    const auto& kind = describe<Request>();
    return kind.source == MoveArea::trashFolder || kind.destination == MoveArea::trashFolder;
}

// Linux: the Trash folders of the other file systems this request's bundles
// are on. Only stats are made; validation decides what may move.
template <typename Request>
std::vector<std::string> topdirTrashFoldersOf(const Request& request, const std::optional<std::string>& homeTrash,
                                              uid_t uid) {
    std::vector<std::string> folders;
    if (!homeTrash) {
        return folders;
    }
    for (const auto& item : request.items) {
        if (!isAbsolutePath(item.sourcePath) || standardizedPath(item.sourcePath) != item.sourcePath) {
            continue;
        }
        auto folder = freedesktopTrashFolderFor(item.sourcePath, *homeTrash, uid, realFileSystem());
        if (folder != *homeTrash && std::find(folders.begin(), folders.end(), folder) == folders.end()) {
            folders.push_back(std::move(folder));
        }
    }
    return folders;
}

// The Trash folders of other file systems that the moves go into, made now
// if missing; the first that cannot be used refuses the request.
Status prepareTopdirTrashes(const ValidatedTransaction& transaction, const HelperAreas& areas, uid_t uid, gid_t gid) {
    for (const auto& folder : areas.topdirTrashFolders) {
        const bool used = std::any_of(transaction.moves.begin(), transaction.moves.end(), [&](const auto& move) {
            return deletingLastPathComponent(move.destination) == folder;
        });
        if (used) {
            if (auto prepared = prepareTopdirTrash(folder, uid, gid); !prepared.ok()) {
                return prepared;
            }
        }
    }
    return {};
}

}  // namespace

Json HelperRequestHandler::handle(std::string_view frame, const PeerContext& peer,
                                  const std::function<bool()>& clientConnected) {
    const Json envelope = Json::parse(frame, nullptr, false);
    if (envelope.is_discarded() || !envelope.is_object()) {
        log_.write(fmt::format("pid {}: refused a message that is not a JSON object", peer.credentials.pid));
        return errorEnvelope(helpererror::malformedRequest, "The request is not a JSON object.");
    }
    const auto protocol = envelope.find("protocol");
    if (protocol == envelope.end() || !protocol->is_number_integer() ||
        protocol->get<std::int64_t>() != helperwire::protocolVersion) {
        log_.write(fmt::format("pid {}: refused a request of another protocol version", peer.credentials.pid));
        return errorEnvelope(helpererror::unsupportedProtocol,
                             fmt::format("KestrovaHelper speaks protocol version {}.", helperwire::protocolVersion));
    }
    const auto name = envelope.find("call");
    const auto call =
        name != envelope.end() && name->is_string() ? helperCallFromName(name->get<std::string>()) : std::nullopt;
    if (!call) {
        log_.write(fmt::format("pid {}: refused an unknown call", peer.credentials.pid));
        return errorEnvelope(helpererror::unknownCall, "KestrovaHelper does not know this call.");
    }
    const auto argument = envelope.find("argument");
    if (argument == envelope.end()) {
        return errorEnvelope(helpererror::malformedRequest, "The request has no argument.");
    }
    switch (*call) {
        case HelperCall::handshake: {
            if (!argument->is_string()) {
                return errorEnvelope(helpererror::malformedRequest, "The handshake argument is not a string.");
            }
            log_.write(fmt::format("pid {} ({}): handshake from “{}”", peer.credentials.pid, peer.executable,
                                   argument->get<std::string>()));
            return replyEnvelope(*call, encodeHandshakeReply({configuration_.identity, configuration_.build}));
        }
        case HelperCall::quarantine:
            return transaction<PrivilegedQuarantineRequest>(*argument, peer, clientConnected);
        case HelperCall::restore:
            return transaction<PrivilegedRestoreRequest>(*argument, peer, clientConnected);
        case HelperCall::moveToTrash:
            return transaction<PrivilegedTrashRequest>(*argument, peer, clientConnected);
        case HelperCall::restoreFromTrash:
            return transaction<PrivilegedTrashRestoreRequest>(*argument, peer, clientConnected);
        case HelperCall::transactionStatus:
            return transactionStatus(*argument, peer);
    }
    return errorEnvelope(helpererror::unknownCall, "KestrovaHelper does not know this call.");
}

Json HelperRequestHandler::transactionStatus(const Json& argument, const PeerContext& peer) {
    const auto transactionID = decodeTransactionStatusArgument(argument);
    if (!transactionID || transactionID->size() > maximumEchoedTransactionID) {
        return errorEnvelope(helpererror::malformedRequest,
                             "The transactionStatus argument names no transactionID of at most 128 bytes.");
    }
    const auto reply = ledger_.status(*transactionID);
    log_.write(fmt::format("pid {}: status of transaction {}: {}{}", peer.credentials.pid, *transactionID,
                           rawValue(reply.state),
                           reply.state == HelperTransactionState::unknown ? " (now fenced)" : ""));
    return replyEnvelope(HelperCall::transactionStatus, encodeTransactionStatusReply(reply));
}

template <typename Request>
Json HelperRequestHandler::transaction(const Json& argument, const PeerContext& peer,
                                       const std::function<bool()>& clientConnected) {
    const auto call = describe<Request>().call;
    const auto what = describe<Request>().action;
    const auto request = decodePrivilegedJson<Request>(argument);
    if (!request) {
        // A request we cannot read still gets a result when it names its
        // transaction, so the client can match the refusal to its journal.
        const auto id = argument.is_object() ? argument.find("transactionID") : argument.end();
        log_.write(fmt::format("pid {}: refused a malformed {} request: {}", peer.credentials.pid, what,
                               request.error().message));
        // Only an ID the size of a real one is echoed, so the refusal always
        // fits in a frame.
        if (argument.is_object() && id != argument.end() && id->is_string() &&
            id->get_ref<const std::string&>().size() <= maximumEchoedTransactionID) {
            return replyEnvelope(
                call, refusal<Request>(id->get<std::string>(), "KestrovaHelper could not read the request: " +
                                                                   request.error().message + " No files were moved."));
        }
        return errorEnvelope(helpererror::malformedRequest,
                             "KestrovaHelper could not read the request: " + request.error().message);
    }
    log_.write(fmt::format("pid {} uid {} ({}): {} transaction {} with {} item(s)", peer.credentials.pid,
                           peer.credentials.uid, peer.executable, what, request->transactionID, request->items.size()));
    const auto arrival = ledger_.receive(request->transactionID, call);
    switch (arrival.admission) {
        case TransactionLedger::Admission::accepted:
            break;
        case TransactionLedger::Admission::fenced:
            log_.write(fmt::format("transaction {} refused: it is fenced", request->transactionID));
            return replyEnvelope(call, refusal<Request>(request->transactionID,
                                                        "KestrovaHelper fenced this transaction after Kestrova asked "
                                                        "about it, so it will never run. No files were moved."));
        case TransactionLedger::Admission::finished:
            if (arrival.previousCall == call && arrival.previous) {
                log_.write(fmt::format("transaction {} arrived again; answered with its recorded result",
                                       request->transactionID));
                return replyEnvelope(call, *arrival.previous);
            }
            [[fallthrough]];
        case TransactionLedger::Admission::duplicate:
            log_.write(fmt::format("transaction {} refused: its ID was used before", request->transactionID));
            return replyEnvelope(call, refusal<Request>(request->transactionID,
                                                        "KestrovaHelper has already received a transaction with this "
                                                        "ID. No files were moved."));
        case TransactionLedger::Admission::unrecorded:
            log_.write(fmt::format("transaction {} refused: no ledger: {}", request->transactionID,
                                   ledger_.unavailableReason()));
            return replyEnvelope(
                call, refusal<Request>(request->transactionID, "KestrovaHelper cannot keep its transaction ledger (" +
                                                                   ledger_.unavailableReason() +
                                                                   "). No files were moved. Run “kestrova-cli helper "
                                                                   "repair”."));
    }
    pausePoint(pausePoints::requestRead);
    const auto finish = [&](Json result) {
        ledger_.finish(request->transactionID, call, result);
        pausePoint(pausePoints::transactionFinished);
        return replyEnvelope(call, std::move(result));
    };
    std::unique_lock lock(transactionMutex_, std::try_to_lock);
    if (!lock.owns_lock()) {
        log_.write(fmt::format("transaction {} refused: another transaction is running", request->transactionID));
        return finish(refusal<Request>(request->transactionID,
                                       "Another privileged plugin transaction is in progress. No files were moved."));
    }
    // Each side's helper serves only its own side's requests, so a request
    // sent to the wrong one is refused instead of being checked against the
    // wrong folders.
    if (request->side != configuration_.role) {
        log_.write(fmt::format("transaction {} refused: it is for the {} side", request->transactionID,
                               sideName(request->side)));
        return finish(refusal<Request>(request->transactionID,
                                       fmt::format("This transaction is for the {} side’s helper; this KestrovaHelper "
                                                   "serves the {} side. No files were moved.",
                                                   sideName(request->side), sideName(configuration_.role))));
    }
    auto areas = configuration_.role == BundleSide::user
                     ? HelperAreas::ofUser(configuration_.sessionHome.value_or("/"), configuration_.sessionDataHome,
                                           peer.trashFolder)
                     : HelperAreas::under(configuration_.systemRoot, peer.trashFolder, configuration_.profile);
    if (movesIntoOrOutOfTrash<Request>()) {
        if (configuration_.profile == PlatformProfile::gnuLinux) {
            areas.topdirTrashFolders = topdirTrashFoldersOf(*request, areas.trashFolder, peer.credentials.uid);
        }
    }
    auto validated = validateRequest(*request, areas);
    if constexpr (std::is_same_v<Request, PrivilegedTrashRequest>) {
        if (validated) {
            if (auto prepared = prepareTopdirTrashes(*validated, areas, peer.credentials.uid, peer.credentials.gid);
                !prepared.ok()) {
                validated = prepared.error();
            }
        }
    }
    if (!validated) {
        log_.write(fmt::format("transaction {} refused: {}", request->transactionID, validated.error().message));
        return finish(refusal<Request>(request->transactionID, validated.error().message + " No files were moved."));
    }
    std::vector<LedgerMove> moves;
    for (const auto& move : validated->moves) {
        moves.emplace_back(move.source, move.destination);
    }
    switch (ledger_.start(request->transactionID, clientConnected, moves)) {
        case TransactionLedger::Start::started:
            break;
        case TransactionLedger::Start::clientGone:
            log_.write(fmt::format("transaction {} not started: its client left; fenced", request->transactionID));
            return replyEnvelope(call, refusal<Request>(request->transactionID,
                                                        "The client left before the transaction started. No files "
                                                        "were moved."));
        case TransactionLedger::Start::fenced:
            log_.write(fmt::format("transaction {} not started: it is fenced", request->transactionID));
            return replyEnvelope(call, refusal<Request>(request->transactionID,
                                                        "KestrovaHelper fenced this transaction after Kestrova asked "
                                                        "about it, so it will never run. No files were moved."));
        case TransactionLedger::Start::unrecorded:
            log_.write(fmt::format("transaction {} not started: no ledger", request->transactionID));
            return finish(refusal<Request>(request->transactionID,
                                           "KestrovaHelper cannot keep its transaction ledger (" +
                                               ledger_.unavailableReason() +
                                               "). No files were moved. Run “kestrova-cli helper repair”."));
    }
    pausePoint(pausePoints::transactionStarted);
    TransactionRunner runner(operations_, log_);
    const auto outcome = runner.run(*validated);
    log_.write(fmt::format("transaction {} {}: {}", request->transactionID,
                           outcome.succeeded          ? "succeeded"
                           : outcome.rollbackComplete ? "failed, rolled back"
                                                      : "failed, rollback incomplete",
                           outcome.message));
    typename PrivilegedRequestTraits<Request>::ResultRecord result;
    result.transactionID = request->transactionID;
    result.succeeded = outcome.succeeded;
    result.rollbackComplete = outcome.rollbackComplete;
    destinationPaths(result) = outcome.movedDestinations;
    result.message = outcome.message;
    return finish(JsonCoder<decltype(result)>::encode(result));
}

}  // namespace kestrova
