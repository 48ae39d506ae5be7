// The open channel to KestrovaHelper, in the shape of an XPC connection:
// calls are queued and answered in order on the connection's own thread,
// each with exactly one reply or one error; interruption (the daemon went
// away) and invalidation (the connection is over) are reported to handlers.
#pragma once

#include "model/JsonCoding.h"
#include "platform/Result.h"
#include "platform/ServiceRegistration.h"
#include "platform/UnixSocket.h"
#include "protocol/HelperWire.h"

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>

namespace kestrova {

// How long the client waits on the daemon. A daemon that stalls must not
// hang the front end, so every call has a deadline, and it covers the whole
// call: the request going out and the last byte of the reply coming back (a
// daemon that trickles its reply is one that stalls). The daemon reports no
// progress while it works, so a transaction's deadline is generous and grows
// with its items (each is a walk of its folders and one rename).
struct HelperDeadlines {
    std::chrono::milliseconds connect{5'000};
    std::chrono::milliseconds handshake{10'000};
    std::chrono::milliseconds transaction{60'000};
    std::chrono::milliseconds transactionPerItem{1'000};
};

std::chrono::milliseconds replyDeadline(const HelperDeadlines& deadlines, HelperCall call, std::size_t itemCount);

// The code of the error a call gets when its reply did not come in time. The
// request had been sent, so whether the daemon acted on it is unknown.
inline constexpr int replyTimedOutCode = -ETIMEDOUT;

class HelperConnection {
public:
    using ReplyHandler = std::function<void(const Json& reply)>;
    using ErrorHandler = std::function<void(const Error& error)>;

    virtual ~HelperConnection() = default;

    virtual void setInterruptionHandler(std::function<void()> handler) = 0;
    virtual void setInvalidationHandler(std::function<void()> handler) = 0;
    // Starts delivering calls; the daemon is reached on the first call.
    virtual void resume() = 0;
    // Ends the connection: queued and running calls get their error handler,
    // then the invalidation handler runs. Later calls are refused.
    virtual void invalidate() = 0;
    // Queues a call whose argument is already JSON text (the caller found out
    // whether it encodes); `itemCount` sizes its deadline. False, and no
    // handler will run, when the connection can no longer carry calls;
    // otherwise exactly one handler runs later, on the connection's thread.
    virtual bool call(HelperCall call, std::string argument, std::size_t itemCount, ReplyHandler onReply,
                      ErrorHandler onError) = 0;
};

using HelperConnectionFactory = std::function<std::unique_ptr<HelperConnection>()>;

// A connection over the helper's Unix domain socket.
std::unique_ptr<HelperConnection> makeSocketHelperConnection(HelperEndpoint endpoint, HelperDeadlines deadlines = {});

// Connects to the daemon after checking, standing in for the code-signing
// requirement, that only the daemon's user can have made the socket: its
// folder is a real folder owned by that user and writable by no one else,
// the socket belongs to that user, and the kernel reports that user as the
// peer. The socket is reached through the opened folder, so the folder
// cannot be swapped between the check and the connect.
Result<FileDescriptor> connectToVerifiedHelper(const HelperEndpoint& endpoint,
                                               std::chrono::milliseconds timeout = HelperDeadlines{}.connect);

}  // namespace kestrova
