// A stand-in for KestrovaHelper on the sandbox's helper socket, for the
// client's deadlines: it answers handshakes, and takes a transaction without
// ever answering it, either before moving anything or after moving every
// item. Told to trickle, it answers a byte at a time instead, the handshake
// or the transaction (moving nothing), a pace at which a whole reply takes
// minutes.
#pragma once

#include "platform/UnixSocket.h"
#include "support/HelperSession.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace kestrova::testing {

class StandInHelper {
public:
    enum class Stall { beforeMoving, afterMoving, tricklingHandshake, tricklingReply };

    StandInHelper(const HelperSandbox& sandbox, Stall stall);
    // Listens at `socketPath`; `trickleInterval` is the pause before each
    // byte of a trickled reply.
    StandInHelper(const std::string& socketPath, Stall stall,
                  std::chrono::milliseconds trickleInterval = std::chrono::milliseconds(600));
    ~StandInHelper();
    StandInHelper(const StandInHelper&) = delete;
    StandInHelper& operator=(const StandInHelper&) = delete;

    // Waits (at most a generous while) until every item of the transaction
    // it took has been moved; false if that never happened.
    bool waitUntilMoved();

private:
    void run();
    void serve(int socketFd);
    // Blocks until the socket is readable or the stand-in is stopping.
    bool readable(int socketFd);
    // Sends the frame a byte per interval; stops early when the client has
    // gone or the stand-in is stopping.
    void trickle(int socketFd, const std::string& payload);

    Stall stall_;
    std::chrono::milliseconds trickleInterval_;
    FileDescriptor listener_;
    FileDescriptor stopReader_;
    FileDescriptor stopWriter_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool moved_ = false;
    std::thread thread_;
};

}  // namespace kestrova::testing
