#include "helperclient/HelperConnection.h"
#include "platform/Paths.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fmt/format.h>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace kestrova {

std::chrono::milliseconds replyDeadline(const HelperDeadlines& deadlines, HelperCall call, std::size_t itemCount) {
    if (call == HelperCall::handshake || call == HelperCall::transactionStatus) {
        return deadlines.handshake;
    }
    return deadlines.transaction + deadlines.transactionPerItem * static_cast<std::int64_t>(itemCount);
}

Result<FileDescriptor> connectToVerifiedHelper(const HelperEndpoint& endpoint, std::chrono::milliseconds timeout) {
    const auto folderPath = deletingLastPathComponent(endpoint.socketPath);
    const auto name = lastPathComponent(endpoint.socketPath);
    FileDescriptor folder(::open(folderPath.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.valid()) {
        return Error{fmt::format("KestrovaHelper is not running: its socket folder “{}” cannot be opened.", folderPath),
                     errno};
    }
    struct stat info {};
    if (::fstat(folder.get(), &info) != 0 || info.st_uid != endpoint.daemonUid ||
        (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return Error{
            fmt::format("The helper socket folder “{}” can be changed by users other than the helper’s "
                        "own, so Kestrova does not trust it.",
                        folderPath)};
    }
    if (::fstatat(folder.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return Error{fmt::format("KestrovaHelper is not running: there is no socket at “{}”.", endpoint.socketPath),
                     errno};
    }
    if (!S_ISSOCK(info.st_mode) || info.st_uid != endpoint.daemonUid) {
        return Error{fmt::format("“{}” is not a socket made by the helper’s user, so Kestrova does not trust it.",
                                 endpoint.socketPath)};
    }
    auto connected = connectToUnixSocket(fmt::format("/proc/self/fd/{}/{}", folder.get(), name), timeout);
    if (!connected) {
        return Error{"Kestrova could not connect to KestrovaHelper: " + connected.error().message,
                     connected.error().code};
    }
    const auto peer = socketPeerCredentials(connected->get());
    if (!peer) {
        return peer.error();
    }
    if (peer->uid != endpoint.daemonUid) {
        return Error{fmt::format("The process behind the helper socket runs as uid {}, not as the helper’s uid {}.",
                                 peer->uid, endpoint.daemonUid)};
    }
    return connected;
}

namespace {

const Error invalidatedError{"The connection to KestrovaHelper was invalidated."};
const Error interruptedError{"The connection to KestrovaHelper was interrupted."};

// "1.5 seconds", "60 seconds".
std::string secondsText(std::chrono::milliseconds duration) {
    const auto count = duration.count();
    return count % 1000 == 0 ? fmt::format("{} seconds", count / 1000)
                             : fmt::format("{:.1f} seconds", static_cast<double>(count) / 1000.0);
}

struct PendingCall {
    HelperCall call;
    std::string argument;
    std::size_t itemCount = 0;
    HelperConnection::ReplyHandler onReply;
    HelperConnection::ErrorHandler onError;
};

// What the connection and its thread share; the thread keeps it alive.
struct ConnectionState {
    HelperEndpoint endpoint;
    HelperDeadlines deadlines;
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<PendingCall> queue;
    bool invalidated = false;
    int activeSocket = -1;
    std::function<void()> onInterruption;
    std::function<void()> onInvalidation;

    std::function<void()> handler(std::function<void()> ConnectionState::*which) {
        std::lock_guard lock(mutex);
        return this->*which;
    }

    // Fails whatever is still queued, then reports the end once.
    void finish() {
        std::deque<PendingCall> left;
        {
            std::lock_guard lock(mutex);
            invalidated = true;
            left.swap(queue);
        }
        for (auto& pending : left) {
            pending.onError(invalidatedError);
        }
        if (auto report = handler(&ConnectionState::onInvalidation)) {
            report();
        }
    }

    void forgetSocket(FileDescriptor& socket) {
        {
            std::lock_guard lock(mutex);
            activeSocket = -1;
        }
        socket.reset();
    }

    bool isInvalidated() {
        std::lock_guard lock(mutex);
        return invalidated;
    }

    void reportInterruption() {
        if (auto report = handler(&ConnectionState::onInterruption)) {
            report();
        }
    }

    void run() {
        FileDescriptor socket;
        while (true) {
            PendingCall pending;
            {
                std::unique_lock lock(mutex);
                wake.wait(lock, [&] { return invalidated || !queue.empty(); });
                if (invalidated) {
                    break;
                }
                pending = std::move(queue.front());
                queue.pop_front();
            }
            // Between calls the daemon sends nothing; anything to read now
            // means it ended this connection before our request, so a fresh
            // one carries it without doubt about what the daemon did.
            if (socket.valid()) {
                const auto ended = waitUntilReadable(socket.get(), std::chrono::milliseconds(0));
                if (!ended || *ended) {
                    forgetSocket(socket);
                }
            }
            if (!socket.valid()) {
                auto connected = connectToVerifiedHelper(endpoint, deadlines.connect);
                if (connected) {
                    if (auto bounded = setSocketIoTimeout(connected->get(), deadlines.handshake); !bounded) {
                        connected = bounded.error();
                    }
                }
                if (!connected) {
                    pending.onError(connected.error());
                    break;
                }
                std::lock_guard lock(mutex);
                if (invalidated) {
                    pending.onError(invalidatedError);
                    break;
                }
                socket = std::move(*connected);
                activeSocket = socket.get();
            }
            // One deadline for the whole call: the request going out and the
            // whole reply coming back, however the daemon paces either.
            const auto limit = replyDeadline(deadlines, pending.call, pending.itemCount);
            const auto deadline = std::chrono::steady_clock::now() + limit;
            if (auto written = writeFrame(socket.get(), callEnvelopeText(pending.call, pending.argument), deadline);
                !written) {
                if (written.error().code == socketTimedOutCode) {
                    // Only part of the request went out, and a daemon acts on
                    // whole frames only: nothing was done.
                    forgetSocket(socket);
                    pending.onError(
                        Error{fmt::format("KestrovaHelper did not take the {} request within {}, so it "
                                          "was not carried out.",
                                          callName(pending.call), secondsText(limit))});
                    reportInterruption();
                    continue;
                }
                // A daemon that refused us wrote why before it closed; that
                // error is still there to read after our write failed.
                ::shutdown(socket.get(), SHUT_WR);
            }
            auto frame = readFrame(socket.get(), helperwire::maximumFrameSize, deadline);
            if (!frame) {
                forgetSocket(socket);
                if (isInvalidated()) {
                    pending.onError(invalidatedError);
                    break;
                }
                if (frame.error().failure == FrameFailure::timedOut) {
                    // A late reply would be taken for the next call's: this
                    // connection is done. The daemon may still be at work.
                    pending.onError(Error{fmt::format("KestrovaHelper did not answer the {} request within {}.",
                                                      callName(pending.call), secondsText(limit)),
                                          replyTimedOutCode});
                } else if (frame.error().failure == FrameFailure::tooLarge) {
                    pending.onError(Error{"KestrovaHelper sent a reply larger than Kestrova accepts."});
                } else {
                    pending.onError(interruptedError);
                }
                reportInterruption();
                continue;
            }
            auto payload = replyPayload(*frame, pending.call);
            if (payload) {
                pending.onReply(*payload);
            } else {
                // An error envelope may end the daemon's side; start afresh.
                forgetSocket(socket);
                pending.onError(payload.error());
            }
        }
        forgetSocket(socket);
        finish();
    }
};

class SocketHelperConnection final : public HelperConnection {
public:
    SocketHelperConnection(HelperEndpoint endpoint, HelperDeadlines deadlines)
        : state_(std::make_shared<ConnectionState>()) {
        state_->endpoint = std::move(endpoint);
        state_->deadlines = deadlines;
    }
    ~SocketHelperConnection() override { invalidate(); }

    void setInterruptionHandler(std::function<void()> handler) override {
        std::lock_guard lock(state_->mutex);
        state_->onInterruption = std::move(handler);
    }
    void setInvalidationHandler(std::function<void()> handler) override {
        std::lock_guard lock(state_->mutex);
        state_->onInvalidation = std::move(handler);
    }

    void resume() override {
        if (worker_.joinable()) {
            return;
        }
        {
            std::lock_guard lock(state_->mutex);
            if (state_->invalidated) {
                return;
            }
        }
        worker_ = std::thread([state = state_] { state->run(); });
    }

    void invalidate() override {
        {
            std::lock_guard lock(state_->mutex);
            if (state_->invalidated && !worker_.joinable()) {
                return;
            }
            state_->invalidated = true;
            if (state_->activeSocket >= 0) {
                ::shutdown(state_->activeSocket, SHUT_RDWR);
            }
        }
        state_->wake.notify_all();
        if (!worker_.joinable()) {
            state_->finish();
            return;
        }
        if (worker_.get_id() == std::this_thread::get_id()) {
            worker_.detach();  // invalidated from one of its own handlers
        } else {
            worker_.join();
        }
    }

    bool call(HelperCall call, std::string argument, std::size_t itemCount, ReplyHandler onReply,
              ErrorHandler onError) override {
        {
            std::lock_guard lock(state_->mutex);
            if (state_->invalidated) {
                return false;
            }
            state_->queue.push_back({call, std::move(argument), itemCount, std::move(onReply), std::move(onError)});
        }
        state_->wake.notify_all();
        return true;
    }

private:
    std::shared_ptr<ConnectionState> state_;
    std::thread worker_;
};

}  // namespace

std::unique_ptr<HelperConnection> makeSocketHelperConnection(HelperEndpoint endpoint, HelperDeadlines deadlines) {
    return std::make_unique<SocketHelperConnection>(std::move(endpoint), deadlines);
}

}  // namespace kestrova
