// Turns one request frame from an accepted peer into its one reply: the
// handshake, the four transactions, or an error envelope for anything that
// is not a well-formed call. Transactions run one at a time across all
// connections; a second one arriving meanwhile is refused, not queued.
#pragma once

#include "helper/HelperConfiguration.h"
#include "helper/HelperLog.h"
#include "helper/TransactionRunner.h"
#include "model/JsonCoding.h"
#include "platform/UnixSocket.h"

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
    HelperRequestHandler(const HelperConfiguration& configuration, MoveOperations& operations, HelperLog& log)
        : configuration_(configuration), operations_(operations), log_(log) {}

    Json handle(std::string_view frame, const PeerContext& peer);

private:
    template <typename Request>
    Json transaction(const Json& argument, const PeerContext& peer, std::string_view call);

    const HelperConfiguration& configuration_;
    MoveOperations& operations_;
    HelperLog& log_;
    std::mutex transactionMutex_;
};

}  // namespace kestrova
