// Unix domain stream sockets and what the kernel says about the process at
// the other end. This is what stands in for XPC's code-signing check: the
// peer's uid and executable come from the kernel, not from anything the peer
// sends.
#pragma once

#include "platform/Result.h"

#include <sys/types.h>

#include <cerrno>

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kestrova {

// Owns one file descriptor; closes it when it goes.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { reset(); }

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release();
    void reset(int fd = -1);

private:
    int fd_ = -1;
};

// The credentials the kernel recorded when the peer connected (or listened).
struct PeerCredentials {
    pid_t pid = 0;
    uid_t uid = 0;
    gid_t gid = 0;

    friend bool operator==(const PeerCredentials&, const PeerCredentials&) = default;
};

Result<PeerCredentials> socketPeerCredentials(int socketFd);
// The absolute path of the program a process is running (/proc/PID/exe).
Result<std::string> processExecutablePath(pid_t pid);
// One variable of the environment a process was started with
// (/proc/PID/environ); absent when it has none by that name.
Result<std::optional<std::string>> processEnvironmentValue(pid_t pid, std::string_view name);

// A listening socket bound at `path`. A stale socket left at the path is
// replaced; anything else there is an error.
Result<FileDescriptor> listenOnUnixSocket(const std::string& path, int backlog = 16);
// Connects to the socket at `path`, which may be a /proc/self/fd/N/name path
// so the folder cannot be swapped after it was checked. A listener whose
// queue stays full past `timeout` fails with ETIMEDOUT.
Result<FileDescriptor> connectToUnixSocket(const std::string& path,
                                           std::chrono::milliseconds timeout = std::chrono::seconds(5));

// Bounds every single send and receive on the socket: one that makes no
// progress for `timeout` fails (EAGAIN) instead of blocking.
Status setSocketIoTimeout(int socketFd, std::chrono::milliseconds timeout);
// Waits until the socket has something to read (or has ended). False when
// `timeout` passed first.
Result<bool> waitUntilReadable(int socketFd, std::chrono::milliseconds timeout);

// The moment by which a whole transfer must be done. A bound on each single
// read (SO_RCVTIMEO) is not one: a peer that trickles a byte at a time never
// trips it.
using SocketDeadline = std::chrono::steady_clock::time_point;

// The code of the error a transfer gets when its deadline passed.
inline constexpr int socketTimedOutCode = ETIMEDOUT;

// Writes all bytes (no SIGPIPE on a closed peer), by `deadline` when given.
Status sendAll(int socketFd, std::string_view bytes, std::optional<SocketDeadline> deadline = std::nullopt);
// Reads exactly `size` bytes, by `deadline` when given. Returns how many
// arrived before the peer closed: fewer than `size` means end of stream.
Result<std::size_t> receiveExactly(int socketFd, char* buffer, std::size_t size,
                                   std::optional<SocketDeadline> deadline = std::nullopt);

}  // namespace kestrova
