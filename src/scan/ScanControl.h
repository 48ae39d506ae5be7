// The one object a running scan shares with whoever started it: a
// cancellation flag read and written only under its lock. Create a fresh one
// per scan and keep it in a shared_ptr for as long as either side needs it.
#pragma once

#include <mutex>

namespace kestrova {

class ScanControl {
public:
    void requestCancellation() {
        const std::lock_guard guard(lock_);
        cancellationRequested_ = true;
    }
    bool cancellationRequested() const {
        const std::lock_guard guard(lock_);
        return cancellationRequested_;
    }

private:
    mutable std::mutex lock_;
    bool cancellationRequested_ = false;
};

}  // namespace kestrova
