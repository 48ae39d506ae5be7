// The daemon's socket side: accepts connections, locks each one to an
// allowed peer by its kernel credentials, and answers framed calls one at a
// time per connection, each connection on its own thread.
#pragma once

#include "helper/HelperConfiguration.h"
#include "helper/HelperLog.h"
#include "helper/HelperRequestHandler.h"
#include "helper/TransactionLedger.h"
#include "helper/TransactionRunner.h"
#include "platform/UnixSocket.h"

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace kestrova {

class HelperServer {
public:
    HelperServer(HelperConfiguration configuration, FileDescriptor listener, MoveOperations& operations,
                 HelperLog& log);
    ~HelperServer();
    HelperServer(const HelperServer&) = delete;
    HelperServer& operator=(const HelperServer&) = delete;

    // Serves until stop(); returns after every connection has ended.
    Status run();
    // Safe from any thread.
    void stop();

private:
    struct Connection {
        FileDescriptor socket;
        pid_t peer = 0;
        std::thread thread;
        std::atomic<bool> finished = false;
    };

    void serve(Connection& connection);
    // The peer as the kernel reports it, or why it is refused.
    Result<PeerContext> admit(int socketFd) const;
    void reapFinishedConnections();

    HelperConfiguration configuration_;
    FileDescriptor listener_;
    FileDescriptor wakeReader_;
    FileDescriptor wakeWriter_;
    HelperLog& log_;
    TransactionLedger ledger_;
    HelperRequestHandler handler_;
    std::mutex connectionsMutex_;
    std::list<std::unique_ptr<Connection>> connections_;
};

// The listening socket systemd passed (LISTEN_FDS), if any.
std::optional<FileDescriptor> socketFromSystemd();

}  // namespace kestrova
