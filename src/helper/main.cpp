// KestrovaHelper: the privileged daemon that performs every bundle move.
#include "helper/HelperConfiguration.h"
#include "helper/HelperLog.h"
#include "helper/HelperServer.h"
#include "helper/TransactionRunner.h"
#include "platform/UnixSocket.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

using namespace kestrova;

int main(int argc, char** argv) {
    HelperLog log;
    const auto configuration = parseHelperArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (!configuration) {
        log.write(configuration.error().message);
        return 2;
    }
    auto settings = *configuration;
    if (settings.allowedClients.empty()) {
        if (auto self = processExecutablePath(::getpid())) {
            settings.allowedClients = installedFrontEnds(*self);
        }
    }
    if (settings.allowedClients.empty()) {
        log.write("no Kestrova front end is installed next to the helper; refusing to start");
        return 2;
    }

    // Signals are taken by one thread that stops the server, so no handler
    // runs in the middle of a transaction.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    FileDescriptor listener;
    struct stat listeningSocket {};
    if (settings.socketPath) {
        // Session sockets are for their owner only.
        const auto previous = ::umask(0177);
        auto listening = listenOnUnixSocket(*settings.socketPath);
        ::umask(previous);
        if (!listening) {
            log.write(listening.error().message);
            return 1;
        }
        listener = std::move(*listening);
        ::lstat(settings.socketPath->c_str(), &listeningSocket);
    } else if (auto passed = socketFromSystemd()) {
        listener = std::move(*passed);
    } else {
        log.write("no --socket given and no socket passed by systemd");
        return 2;
    }

    MoveOperations operations;
    HelperServer server(settings, std::move(listener), operations, log);
    std::thread signalWaiter([&server, stopSignals] {
        int signalNumber = 0;
        sigwait(&stopSignals, &signalNumber);
        server.stop();
    });
    const auto served = server.run();
    // The waiter may still be blocked if the server stopped for another reason.
    pthread_kill(signalWaiter.native_handle(), SIGTERM);
    signalWaiter.join();
    // Remove the socket only if it is still ours, not a successor's.
    struct stat now {};
    if (settings.socketPath && ::lstat(settings.socketPath->c_str(), &now) == 0 &&
        now.st_dev == listeningSocket.st_dev && now.st_ino == listeningSocket.st_ino) {
        ::unlink(settings.socketPath->c_str());
    }
    if (!served) {
        log.write(served.error().message);
        return 1;
    }
    return 0;
}
