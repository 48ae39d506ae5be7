// The open channel to KestrovaHelper, in the shape of an XPC connection:
// calls are queued and answered in order on the connection's own thread,
// each with exactly one reply or one error; interruption (the daemon went
// away) and invalidation (the connection is over) are reported to handlers.
#pragma once

#include "helperclient/HelperWire.h"
#include "model/JsonCoding.h"
#include "platform/Result.h"
#include "platform/ServiceRegistration.h"
#include "platform/UnixSocket.h"

#include <functional>
#include <memory>

namespace kestrova {

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
    // whether it encodes). False, and no handler will run, when the connection
    // can no longer carry calls; otherwise exactly one handler runs later, on
    // the connection's thread.
    virtual bool call(HelperCall call, std::string argument, ReplyHandler onReply, ErrorHandler onError) = 0;
};

using HelperConnectionFactory = std::function<std::unique_ptr<HelperConnection>()>;

// A connection over the helper's Unix domain socket.
std::unique_ptr<HelperConnection> makeSocketHelperConnection(HelperEndpoint endpoint);

// Connects to the daemon after checking, standing in for the code-signing
// requirement, that only the daemon's user can have made the socket: its
// folder is a real folder owned by that user and writable by no one else,
// the socket belongs to that user, and the kernel reports that user as the
// peer. The socket is reached through the opened folder, so the folder
// cannot be swapped between the check and the connect.
Result<FileDescriptor> connectToVerifiedHelper(const HelperEndpoint& endpoint);

}  // namespace kestrova
