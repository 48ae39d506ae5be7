#include "support/StandInHelper.h"

#include "protocol/HelperWire.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <cerrno>
#include <chrono>
#include <filesystem>

namespace kestrova::testing {

StandInHelper::StandInHelper(const HelperSandbox& sandbox, Stall stall) : StandInHelper(sandbox.socketPath(), stall) {}

StandInHelper::StandInHelper(const std::string& socketPath, Stall stall, std::chrono::milliseconds trickleInterval)
    : stall_(stall), trickleInterval_(trickleInterval) {
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

bool StandInHelper::waitUntilMoved() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(60), [this] { return moved_; });
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
        if (::poll(&stop, 1, static_cast<int>(trickleInterval_.count())) != 0) {
            return;  // stopping
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
        const auto handshakeReply =
            replyEnvelope(HelperCall::handshake, encodeHandshakeReply({"KestrovaHelper", "40"})).dump();
        if (call == HelperCall::handshake && stall_ == Stall::tricklingHandshake) {
            trickle(socketFd, handshakeReply);
            return;
        }
        if (call != HelperCall::handshake && stall_ == Stall::tricklingReply) {
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
        if (call == HelperCall::handshake) {
            (void)writeFrame(socketFd, handshakeReply);
            continue;
        }
        if (call != HelperCall::handshake && stall_ == Stall::afterMoving) {
            for (const auto& item : envelope.at("argument").at("items")) {
                const std::filesystem::path destination = item.at("destinationPath").get<std::string>();
                std::filesystem::create_directories(destination.parent_path());
                std::filesystem::rename(item.at("sourcePath").get<std::string>(), destination);
            }
            std::lock_guard lock(mutex_);
            moved_ = true;
            changed_.notify_all();
        }
        // Never answers; stays until stopped.
        while (readable(socketFd)) {
            char byte;
            if (::read(socketFd, &byte, 1) <= 0) {
                break;
            }
        }
        return;
    }
}

}  // namespace kestrova::testing
