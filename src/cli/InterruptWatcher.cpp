#include "cli/InterruptWatcher.h"

#include <pthread.h>

#include <ctime>

namespace kestrova::cli {
namespace {

sigset_t interruptSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    return set;
}

}  // namespace

InterruptWatcher::InterruptWatcher(std::function<void()> onInterrupt) {
    const auto set = interruptSet();
    pthread_sigmask(SIG_BLOCK, &set, &previousMask_);
    thread_ = std::thread([this, onInterrupt = std::move(onInterrupt), set] {
        // Polls so that it notices when it is no longer wanted.
        const timespec interval{0, 100'000'000};
        while (!stopping_.load()) {
            if (sigtimedwait(&set, nullptr, &interval) == SIGINT) {
                onInterrupt();
            }
        }
    });
}

InterruptWatcher::~InterruptWatcher() {
    stopping_.store(true);
    thread_.join();
    const auto set = interruptSet();
    const timespec now{0, 0};
    while (sigtimedwait(&set, nullptr, &now) == SIGINT) {
    }
    pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

}  // namespace kestrova::cli
