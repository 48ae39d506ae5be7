#include "platform/UnixSocket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <fmt/format.h>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <limits>
#include <thread>

namespace kestrova {
namespace {

Error socketError(std::string_view what, int code = errno) {
    return Error{fmt::format("{}: {}", what, std::strerror(code)), code};
}

Result<sockaddr_un> socketAddress(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof(address.sun_path)) {
        return Error{fmt::format("The socket path “{}” is too long for a Unix domain socket.", path), ENAMETOOLONG};
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

// Waits until the socket is ready for `events` (or has ended), failing with
// socketTimedOutCode once the deadline has passed.
Status waitForEvent(int socketFd, short events, SocketDeadline deadline) {
    while (true) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
            return Error{"The transfer on the socket did not finish in time.", socketTimedOutCode};
        }
        pollfd entry{socketFd, events, 0};
        const int ready =
            ::poll(&entry, 1, static_cast<int>(std::min<std::int64_t>(left, std::numeric_limits<int>::max())));
        if (ready > 0) {
            return {};
        }
        if (ready < 0 && errno != EINTR) {
            return socketError("Could not wait on the socket");
        }
    }
}

}  // namespace

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        reset(other.release());
    }
    return *this;
}

int FileDescriptor::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void FileDescriptor::reset(int fd) {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = fd;
}

Result<PeerCredentials> socketPeerCredentials(int socketFd) {
    ucred credentials{};
    socklen_t length = sizeof(credentials);
    if (::getsockopt(socketFd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0) {
        return socketError("Could not read the peer credentials of the socket");
    }
    return PeerCredentials{credentials.pid, credentials.uid, credentials.gid};
}

Result<std::string> processExecutablePath(pid_t pid) {
    const auto link = fmt::format("/proc/{}/exe", pid);
    char buffer[PATH_MAX];
    const auto length = ::readlink(link.c_str(), buffer, sizeof(buffer) - 1);
    if (length < 0) {
        return socketError(fmt::format("Could not read the executable of process {}", pid));
    }
    return std::string(buffer, static_cast<std::size_t>(length));
}

Result<std::optional<std::string>> processEnvironmentValue(pid_t pid, std::string_view name) {
    const auto file = fmt::format("/proc/{}/environ", pid);
    FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        return socketError(fmt::format("Could not read the environment of process {}", pid));
    }
    // An environment block is bounded by the kernel's argument limit; read
    // at most that, whatever the file claims.
    constexpr std::size_t limit = 2 * 1024 * 1024;
    std::string block;
    char buffer[8192];
    while (block.size() < limit) {
        const auto count = ::read(fd.get(), buffer, sizeof(buffer));
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            return socketError(fmt::format("Could not read the environment of process {}", pid));
        }
        if (count == 0) {
            break;
        }
        block.append(buffer, static_cast<std::size_t>(count));
    }
    std::string_view rest(block);
    while (!rest.empty()) {
        const auto end = rest.find('\0');
        const auto entry = rest.substr(0, end);
        if (entry.size() > name.size() && entry.starts_with(name) && entry[name.size()] == '=') {
            return std::optional<std::string>(entry.substr(name.size() + 1));
        }
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    return std::optional<std::string>();
}

Result<FileDescriptor> listenOnUnixSocket(const std::string& path, int backlog) {
    auto address = socketAddress(path);
    if (!address) {
        return address.error();
    }
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0) {
        if (!S_ISSOCK(existing.st_mode)) {
            return Error{fmt::format("Something other than a socket is at “{}”.", path), EEXIST};
        }
        ::unlink(path.c_str());
    }
    // Bound under a temporary name and renamed into place once listening,
    // so a client that sees the socket can connect to it.
    const auto temporaryPath = fmt::format("{}.{}", path, ::getpid());
    auto temporaryAddress = socketAddress(temporaryPath);
    if (!temporaryAddress) {
        return temporaryAddress.error();
    }
    ::unlink(temporaryPath.c_str());
    FileDescriptor socketFd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socketFd.valid()) {
        return socketError("Could not create a socket");
    }
    if (::bind(socketFd.get(), reinterpret_cast<const sockaddr*>(&*temporaryAddress), sizeof(sockaddr_un)) != 0) {
        return socketError(fmt::format("Could not bind the socket “{}”", path));
    }
    if (::listen(socketFd.get(), backlog) != 0 || ::rename(temporaryPath.c_str(), path.c_str()) != 0) {
        const int code = errno;
        ::unlink(temporaryPath.c_str());
        return socketError(fmt::format("Could not listen on the socket “{}”", path), code);
    }
    return socketFd;
}

Result<FileDescriptor> connectToUnixSocket(const std::string& path, std::chrono::milliseconds timeout) {
    auto address = socketAddress(path);
    if (!address) {
        return address.error();
    }
    // A Unix socket connect blocks only while the listener's queue is full,
    // and a non-blocking one then fails with EAGAIN and cannot be waited on:
    // try again until the deadline.
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        FileDescriptor socketFd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (!socketFd.valid()) {
            return socketError("Could not create a socket");
        }
        int result;
        do {
            result = ::connect(socketFd.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof(sockaddr_un));
        } while (result != 0 && errno == EINTR);
        if (result == 0) {
            const int flags = ::fcntl(socketFd.get(), F_GETFL);
            if (flags < 0 || ::fcntl(socketFd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
                return socketError("Could not set up the helper socket");
            }
            return socketFd;
        }
        if (errno != EAGAIN) {
            return socketError("Could not connect to the helper socket");
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return socketError("Could not connect to the helper socket", ETIMEDOUT);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

Status setSocketIoTimeout(int socketFd, std::chrono::milliseconds timeout) {
    const auto count = timeout.count();
    const timeval value{static_cast<time_t>(count / 1000), static_cast<suseconds_t>((count % 1000) * 1000)};
    if (::setsockopt(socketFd, SOL_SOCKET, SO_RCVTIMEO, &value, sizeof(value)) != 0 ||
        ::setsockopt(socketFd, SOL_SOCKET, SO_SNDTIMEO, &value, sizeof(value)) != 0) {
        return socketError("Could not set the socket timeouts");
    }
    return {};
}

Result<bool> waitUntilReadable(int socketFd, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd entry{socketFd, POLLIN, 0};
        const auto wait = std::clamp<std::int64_t>(left.count(), 0, std::numeric_limits<int>::max());
        const int ready = ::poll(&entry, 1, static_cast<int>(wait));
        if (ready > 0) {
            return true;
        }
        if (ready == 0) {
            return false;
        }
        if (errno != EINTR) {
            return socketError("Could not wait on the socket");
        }
    }
}

Status sendAll(int socketFd, std::string_view bytes, std::optional<SocketDeadline> deadline) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        if (deadline) {
            if (auto ready = waitForEvent(socketFd, POLLOUT, *deadline); !ready) {
                return ready;
            }
        }
        const auto count =
            ::send(socketFd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | (deadline ? MSG_DONTWAIT : 0));
        if (count < 0) {
            if (errno == EINTR || (deadline && (errno == EAGAIN || errno == EWOULDBLOCK))) {
                continue;
            }
            return socketError("Could not send on the socket");
        }
        sent += static_cast<std::size_t>(count);
    }
    return {};
}

Result<std::size_t> receiveExactly(int socketFd, char* buffer, std::size_t size,
                                   std::optional<SocketDeadline> deadline) {
    std::size_t received = 0;
    while (received < size) {
        if (deadline) {
            if (auto ready = waitForEvent(socketFd, POLLIN, *deadline); !ready) {
                return ready.error();
            }
        }
        const auto count = ::recv(socketFd, buffer + received, size - received, deadline ? MSG_DONTWAIT : 0);
        if (count < 0) {
            if (errno == EINTR || (deadline && (errno == EAGAIN || errno == EWOULDBLOCK))) {
                continue;
            }
            return socketError("Could not receive on the socket");
        }
        if (count == 0) {
            break;
        }
        received += static_cast<std::size_t>(count);
    }
    return received;
}

}  // namespace kestrova
