// A stand-in for KestrovaHelper on the sandbox's helper socket, for the
// client's deadlines: it answers handshakes (unless told to stall on them
// too), and takes a transaction without ever answering it, either before
// moving anything or after moving every item.
#pragma once

#include "platform/UnixSocket.h"
#include "support/HelperSession.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace kestrova::testing {

class StandInHelper {
public:
    enum class Stall { onHandshake, beforeMoving, afterMoving };

    StandInHelper(const HelperSandbox& sandbox, Stall stall);
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

    Stall stall_;
    FileDescriptor listener_;
    FileDescriptor stopReader_;
    FileDescriptor stopWriter_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool moved_ = false;
    std::thread thread_;
};

}  // namespace kestrova::testing
