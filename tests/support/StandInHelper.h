// A stand-in for KestrovaHelper, for the client's deadlines: it answers the
// handshake or a transaction (moving nothing) a byte every 0.6 s, a pace at
// which a whole reply takes minutes.
#pragma once

#include "platform/UnixSocket.h"

#include <string>
#include <thread>

namespace kestrova::testing {

class StandInHelper {
public:
    enum class Stall { tricklingHandshake, tricklingReply };

    StandInHelper(const std::string& socketPath, Stall stall);
    ~StandInHelper();
    StandInHelper(const StandInHelper&) = delete;
    StandInHelper& operator=(const StandInHelper&) = delete;

private:
    void run();
    void serve(int socketFd);
    // Blocks until the socket is readable or the stand-in is stopping.
    bool readable(int socketFd);
    // Sends the frame a byte per interval; stops early when the client has
    // gone or the stand-in is stopping.
    void trickle(int socketFd, const std::string& payload);

    Stall stall_;
    FileDescriptor listener_;
    FileDescriptor stopReader_;
    FileDescriptor stopWriter_;
    std::thread thread_;
};

}  // namespace kestrova::testing
