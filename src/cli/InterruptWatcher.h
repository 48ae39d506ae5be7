// Ctrl-C during a long command, turned into an ordinary request on the main
// thread instead of the end of the process. While a watcher lives, SIGINT is
// blocked in the thread that made it and in every thread started after it; a
// thread of its own waits for the signal and hands it to `onInterrupt`.
#pragma once

#include <atomic>
#include <csignal>
#include <functional>
#include <thread>

namespace kestrova::cli {

class InterruptWatcher {
public:
    // `onInterrupt` runs on the watcher's thread: it should only post work.
    explicit InterruptWatcher(std::function<void()> onInterrupt);
    // Stops watching; an interrupt that arrived but was not yet taken is
    // discarded rather than delivered, then the signal mask is restored.
    ~InterruptWatcher();
    InterruptWatcher(const InterruptWatcher&) = delete;
    InterruptWatcher& operator=(const InterruptWatcher&) = delete;

private:
    sigset_t previousMask_{};
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace kestrova::cli
