#include "support/StandInHelper.h"

#include "protocol/HelperWire.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <cerrno>

namespace kestrova::testing {

StandInHelper::StandInHelper(const std::string& socketPath, Stall stall) : stall_(stall) {
    auto listening = listenOnUnixSocket(socketPath);
    EXPECT_TRUE(listening.ok()) << listening.error().message;
    if (listening) {
        listener_ = std::move(*listening);
    }
    int fds[2];
    EXPECT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    stopReader_.reset(fds[0]);
    stopWriter_.reset(fds[1]);
    thread_ = std::thread([this] { run(); });
}

StandInHelper::~StandInHelper() {
    const char byte = 0;
    (void)!::write(stopWriter_.get(), &byte, 1);
    thread_.join();
}

bool StandInHelper::readable(int socketFd) {
    pollfd fds[2] = {{socketFd, POLLIN, 0}, {stopReader_.get(), POLLIN, 0}};
    int ready;
    do {
        ready = ::poll(fds, 2, -1);
    } while (ready < 0 && errno == EINTR);
    return ready > 0 && fds[1].revents == 0;
}

void StandInHelper::run() {
    while (listener_.valid() && readable(listener_.get())) {
        FileDescriptor client(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (client.valid()) {
            serve(client.get());
        }
    }
}

void StandInHelper::trickle(int socketFd, const std::string& payload) {
    for (const char byte : encodeFrame(payload)) {
        pollfd stop{stopReader_.get(), POLLIN, 0};
        if (::poll(&stop, 1, 600) != 0) {  // 0.6 s before each byte
            return;                        // stopping
        }
        if (!sendAll(socketFd, std::string_view(&byte, 1))) {
            return;  // the client gave up on this connection
        }
    }
}

void StandInHelper::serve(int socketFd) {
    while (readable(socketFd)) {
        const auto frame = readFrame(socketFd);
        if (!frame) {
            return;  // the client gave up on this connection
        }
        const auto envelope = Json::parse(*frame);
        const auto call = helperCallFromName(envelope.at("call").get<std::string>());
        if (call == HelperCall::handshake) {
            const auto reply =
                replyEnvelope(HelperCall::handshake, encodeHandshakeReply({"KestrovaHelper", "40"})).dump();
            if (stall_ == Stall::tricklingHandshake) {
                trickle(socketFd, reply);
                return;
            }
            (void)writeFrame(socketFd, reply);
            continue;
        }
        // A refusal that moved nothing; the client never gets to read it.
        Json reply{{"transactionID", envelope.at("argument").at("transactionID")},
                   {"succeeded", false},
                   {"rollbackComplete", true},
                   {"movedDestinationPaths", Json::array()},
                   {"restoredDestinationPaths", Json::array()},
                   {"trashedDestinationPaths", Json::array()},
                   {"message", "The stand-in moved nothing."}};
        trickle(socketFd, replyEnvelope(*call, std::move(reply)).dump());
        return;
    }
}

}  // namespace kestrova::testing
