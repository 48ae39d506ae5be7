// The main thread. Every store, service and folder-access field is touched
// only by work posted here; background work (scans, daemon replies) hops back
// with post(). The GUI backs it with its event loop, the CLI and the tests
// with RunLoopExecutor.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace kestrova {

class Executor {
public:
    virtual ~Executor() = default;
    // Queues work to run on the main thread; safe from any thread.
    virtual void post(std::function<void()> work) = 0;
};

// A plain run loop: a queue drained by whichever thread calls run functions.
class RunLoopExecutor final : public Executor {
public:
    void post(std::function<void()> work) override;

    // Runs queued work until the queue is empty; returns how many ran.
    std::size_t drain();
    // Runs work as it arrives until `done` holds (checked after each item) or
    // stop() is called.
    void runUntil(const std::function<bool()>& done);
    void stop();

private:
    std::mutex mutex_;
    std::condition_variable wakeUp_;
    std::deque<std::function<void()>> queue_;
    bool stopped_ = false;
};

}  // namespace kestrova
