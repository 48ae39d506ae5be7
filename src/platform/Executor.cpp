#include "platform/Executor.h"

namespace kestrova {

void RunLoopExecutor::post(std::function<void()> work) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(work));
    }
    wakeUp_.notify_one();
}

std::size_t RunLoopExecutor::drain() {
    std::size_t count = 0;
    while (true) {
        std::function<void()> work;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) {
                return count;
            }
            work = std::move(queue_.front());
            queue_.pop_front();
        }
        work();
        ++count;
    }
}

void RunLoopExecutor::runUntil(const std::function<bool()>& done) {
    while (!done()) {
        std::function<void()> work;
        {
            std::unique_lock lock(mutex_);
            wakeUp_.wait(lock, [&] { return stopped_ || !queue_.empty(); });
            if (stopped_) {
                stopped_ = false;
                return;
            }
            work = std::move(queue_.front());
            queue_.pop_front();
        }
        work();
    }
}

void RunLoopExecutor::stop() {
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    wakeUp_.notify_all();
}

}  // namespace kestrova
