// Ways to reach a helper beyond the real daemon of support/HelperSession.h:
// the same server code on a thread when a test must stop it at an exact
// moment, and a raw socket for what no well-behaved client would send.
#pragma once

#include "helper/HelperLog.h"
#include "helper/HelperServer.h"
#include "helper/TransactionRunner.h"
#include "support/HelperSession.h"

#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace kestrova::testing {

class InProcessHelper {
public:
    InProcessHelper(const HelperSandbox& sandbox, MoveOperations& operations,
                    const std::function<void(HelperConfiguration&)>& adjust = {});
    ~InProcessHelper();

private:
    HelperLog log_;
    std::unique_ptr<HelperServer> server_;
    std::thread thread_;
};

class RawHelperClient {
public:
    explicit RawHelperClient(const HelperEndpoint& endpoint);
    bool connected() const { return socket_.valid(); }
    void sendBytes(std::string_view bytes) const;
    // The next reply envelope, or null when the helper closed the connection.
    Json receive() const;
    Json call(const Json& envelope) const;

private:
    FileDescriptor socket_;
};

}  // namespace kestrova::testing
