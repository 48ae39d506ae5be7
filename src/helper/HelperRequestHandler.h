// Turns one request frame from an accepted peer into its one reply: the
// handshake, the four transactions, a transaction's status, or an error
// envelope for anything that is not a well-formed call. Transactions run one
// at a time across all connections; a second one arriving meanwhile is
// refused, not queued. Every transaction goes through the ledger: received,
// started only while its client is still there, finished with its reply.
#pragma once

#include "helper/HelperConfiguration.h"
#include "helper/HelperLog.h"
#include "helper/TransactionLedger.h"
#include "helper/TransactionRunner.h"
#include "model/JsonCoding.h"
#include "platform/UnixSocket.h"

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace kestrova {

// Who is asking, as the kernel reported it when the peer connected.
struct PeerContext {
    PeerCredentials credentials;
    std::string executable;
    std::optional<std::string> trashFolder;
};

class HelperRequestHandler {
public:
    HelperRequestHandler(const HelperConfiguration& configuration, MoveOperations& operations,
                         TransactionLedger& ledger, HelperLog& log)
        : configuration_(configuration), operations_(operations), ledger_(ledger), log_(log) {}

    // `clientConnected` says whether the peer is still there; it is asked
    // right before a transaction's first move.
    Json handle(std::string_view frame, const PeerContext& peer, const std::function<bool()>& clientConnected);

private:
    template <typename Request>
    Json transaction(const Json& argument, const PeerContext& peer, const std::function<bool()>& clientConnected);
    Json transactionStatus(const Json& argument, const PeerContext& peer);

    const HelperConfiguration& configuration_;
    MoveOperations& operations_;
    TransactionLedger& ledger_;
    HelperLog& log_;
    std::mutex transactionMutex_;
};

}  // namespace kestrova
