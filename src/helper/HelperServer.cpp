#include "helper/HelperServer.h"

#include "helper/InterruptedRollback.h"
#include "helper/PausePoint.h"
#include "platform/Paths.h"
#include "platform/SystemLayout.h"
#include "protocol/HelperWire.h"

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fmt/format.h>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace kestrova {
namespace {

std::optional<std::string> homeOfUser(uid_t uid) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_dir) {
        return std::nullopt;
    }
    return standardizedPath(found->pw_dir);
}

// The peer's $XDG_DATA_HOME, where its Trash is, when it is an absolute
// path inside the peer's home. Anything else would let a client name a
// folder it does not own as its Trash; the default is used instead.
std::string peerDataHome(pid_t pid, const std::string& home) {
    const auto value = processEnvironmentValue(pid, "XDG_DATA_HOME");
    if (!value || !value->has_value() || !isAbsolutePath(**value)) {
        return {};
    }
    const auto path = standardizedPath(**value);
    const bool inside = home != "/" && path != home && isPathInside(path, home);
    return inside ? path : std::string();
}

// Device and inode of the socket file, to notice it being replaced.
std::optional<std::pair<dev_t, ino_t>> socketIdentity(const std::optional<std::string>& path) {
    struct stat info {};
    if (!path || ::lstat(path->c_str(), &info) != 0 || !S_ISSOCK(info.st_mode)) {
        return std::nullopt;
    }
    return std::pair{info.st_dev, info.st_ino};
}

// Whether the client is still there: a peer that closed its end (or died,
// which closes it) shows as a hang-up even while its request sits unread.
bool clientStillConnected(int socketFd) {
    pollfd entry{socketFd, POLLRDHUP, 0};
    if (::poll(&entry, 1, 0) < 0) {
        return false;
    }
    return (entry.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) == 0;
}

void sendError(int socketFd, std::string_view code, std::string_view message) {
    (void)writeFrame(socketFd, errorEnvelope(code, message).dump());
}

}  // namespace

HelperServer::HelperServer(HelperConfiguration configuration, FileDescriptor listener, MoveOperations& operations,
                           HelperLog& log)
    : configuration_(std::move(configuration)),
      listener_(std::move(listener)),
      log_(log),
      ledger_(configuration_.stateFolder, log),
      handler_(configuration_, operations, ledger_, log) {
    if (!ledger_.isAvailable()) {
        log_.write("no transaction will run: KestrovaHelper cannot keep its transaction ledger: " +
                   ledger_.unavailableReason());
    }
    // Before any client is served, so no one sees a half-done transaction.
    rollBackInterruptedTransactions(ledger_, log_);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        wakeReader_.reset(fds[0]);
        wakeWriter_.reset(fds[1]);
    }
}

HelperServer::~HelperServer() {
    stop();
    std::lock_guard lock(connectionsMutex_);
    for (auto& connection : connections_) {
        if (connection->thread.joinable()) {
            connection->thread.join();
        }
    }
}

void HelperServer::stop() {
    if (wakeWriter_.valid()) {
        const char byte = 0;
        (void)!::write(wakeWriter_.get(), &byte, 1);
    }
}

Status HelperServer::run() {
    if (!wakeReader_.valid()) {
        return Error{"KestrovaHelper could not set up its stop signal."};
    }
    log_.write(fmt::format("serving system root “{}”{}", configuration_.systemRoot,
                           configuration_.sessionHome ? " in session mode" : ""));
    // A session daemon whose socket was removed or replaced (its sandbox
    // deleted, another daemon started) has no one left to serve; it looks
    // every few seconds and leaves. systemd manages its own daemon.
    const auto ownSocket = socketIdentity(configuration_.socketPath);
    const int idleCheck = ownSocket ? 5000 : -1;
    while (true) {
        pollfd fds[2] = {{listener_.get(), POLLIN, 0}, {wakeReader_.get(), POLLIN, 0}};
        const int ready = ::poll(fds, 2, idleCheck);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Error{fmt::format("KestrovaHelper could not wait for connections: {}", std::strerror(errno))};
        }
        if (fds[1].revents != 0) {
            break;
        }
        if (ready == 0) {
            if (socketIdentity(configuration_.socketPath) != ownSocket) {
                log_.write("the socket was removed; stopping");
                break;
            }
            continue;
        }
        if ((fds[0].revents & POLLIN) == 0) {
            continue;
        }
        FileDescriptor accepted(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!accepted.valid()) {
            continue;
        }
        reapFinishedConnections();
        const auto credentials = socketPeerCredentials(accepted.get());
        const pid_t peer = credentials ? credentials->pid : 0;
        // A reply the peer never reads must not hold this thread.
        (void)setSocketIoTimeout(accepted.get(), configuration_.stalledFrameTimeout);
        std::lock_guard lock(connectionsMutex_);
        if (connections_.size() >= configuration_.maximumConnections) {
            log_.write("refused a connection: too many open connections");
            sendError(accepted.get(), helpererror::tooManyConnections, "KestrovaHelper is serving too many clients.");
            continue;
        }
        const auto fromPeer = std::count_if(connections_.begin(), connections_.end(), [peer](const auto& connection) {
            return !connection->finished && connection->peer == peer;
        });
        if (static_cast<std::size_t>(fromPeer) >= configuration_.maximumConnectionsPerClient) {
            log_.write(fmt::format("refused a connection: pid {} already has {} open", peer, fromPeer));
            sendError(accepted.get(), helpererror::tooManyConnections,
                      fmt::format("This client already has {} connections open to KestrovaHelper.", fromPeer));
            continue;
        }
        auto connection = std::make_unique<Connection>();
        connection->socket = std::move(accepted);
        connection->peer = peer;
        auto& slot = *connection;
        connections_.push_back(std::move(connection));
        slot.thread = std::thread([this, &slot] { serve(slot); });
    }
    std::lock_guard lock(connectionsMutex_);
    for (auto& connection : connections_) {
        ::shutdown(connection->socket.get(), SHUT_RDWR);
    }
    for (auto& connection : connections_) {
        if (connection->thread.joinable()) {
            connection->thread.join();
        }
    }
    connections_.clear();
    log_.write("stopped");
    return {};
}

void HelperServer::reapFinishedConnections() {
    std::lock_guard lock(connectionsMutex_);
    for (auto it = connections_.begin(); it != connections_.end();) {
        if ((*it)->finished) {
            (*it)->thread.join();
            it = connections_.erase(it);
        } else {
            ++it;
        }
    }
}

Result<PeerContext> HelperServer::admit(int socketFd) const {
    const auto credentials = socketPeerCredentials(socketFd);
    if (!credentials) {
        return credentials.error();
    }
    PeerContext peer;
    peer.credentials = *credentials;
    if (configuration_.allowedUid && *configuration_.allowedUid != credentials->uid) {
        return Error{fmt::format("uid {} may not use this helper.", credentials->uid)};
    }
    const auto executable = processExecutablePath(credentials->pid);
    if (!executable) {
        return executable.error();
    }
    peer.executable = *executable;
    if (std::find(configuration_.allowedClients.begin(), configuration_.allowedClients.end(), *executable) ==
        configuration_.allowedClients.end()) {
        return Error{fmt::format("“{}” is not a Kestrova front end.", *executable)};
    }
    const auto home = configuration_.sessionHome ? configuration_.sessionHome : homeOfUser(credentials->uid);
    if (home) {
        SystemLayout layout{configuration_.systemRoot, *home, configuration_.profile};
        if (configuration_.profile == PlatformProfile::gnuLinux) {
            layout.dataHome = configuration_.sessionHome ? configuration_.sessionDataHome.value_or("")
                                                         : peerDataHome(credentials->pid, *home);
        }
        peer.trashFolder = layout.trashFolder();
    }
    return peer;
}

void HelperServer::serve(Connection& connection) {
    const int socketFd = connection.socket.get();
    const auto peer = admit(socketFd);
    if (!peer) {
        log_.write("refused a client: " + peer.error().message);
        sendError(socketFd, helpererror::peerRejected,
                  "KestrovaHelper accepts only the Kestrova app installed with it. " + peer.error().message);
        ::shutdown(socketFd, SHUT_RDWR);
        connection.finished = true;
        return;
    }
    while (true) {
        // Between calls a client may stay as long as it likes; once a frame
        // starts, every read is bounded by the socket's timeout.
        Result<bool> waiting = false;
        do {
            waiting = waitUntilReadable(socketFd, std::chrono::hours(1));
        } while (waiting && !*waiting);
        if (!waiting) {
            break;
        }
        auto frame = readFrame(socketFd);
        if (!frame) {
            const auto& error = frame.error();
            if (error.failure == FrameFailure::tooLarge || error.failure == FrameFailure::empty) {
                // The stream cannot be resynchronised after a bad length.
                log_.write(fmt::format("pid {}: {}", peer->credentials.pid, error.message));
                sendError(
                    socketFd,
                    error.failure == FrameFailure::tooLarge ? helpererror::frameTooLarge : helpererror::malformedFrame,
                    error.message);
            } else if (error.failure == FrameFailure::truncated || error.failure == FrameFailure::io) {
                log_.write(fmt::format("pid {}: dropped a connection: {}", peer->credentials.pid, error.message));
            }
            break;
        }
        const auto reply = handler_.handle(*frame, *peer, [socketFd] { return clientStillConnected(socketFd); });
        if (!writeFrame(socketFd, reply.dump())) {
            log_.write(fmt::format("pid {}: the client left before its reply was sent", peer->credentials.pid));
            break;
        }
        if (reply.value("call", "") == callName(HelperCall::handshake)) {
            pausePoint(pausePoints::handshakeAnswered);
        }
    }
    // The peer sees the end now; the descriptor goes when the thread is reaped.
    ::shutdown(socketFd, SHUT_RDWR);
    connection.finished = true;
}

std::optional<FileDescriptor> socketFromSystemd() {
    const char* pid = std::getenv("LISTEN_PID");
    const char* count = std::getenv("LISTEN_FDS");
    if (!pid || !count || std::strtol(pid, nullptr, 10) != ::getpid() || std::strtol(count, nullptr, 10) != 1) {
        return std::nullopt;
    }
    constexpr int firstPassedFd = 3;
    ::fcntl(firstPassedFd, F_SETFD, FD_CLOEXEC);
    return FileDescriptor(firstPassedFd);
}

}  // namespace kestrova
