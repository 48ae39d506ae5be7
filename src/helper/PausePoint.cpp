#include "helper/PausePoint.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>
#include <thread>

namespace kestrova {

#ifdef KESTROVA_FAULT_INJECTION
namespace {

bool listNames(std::string_view list, std::string_view point) {
    while (!list.empty()) {
        const auto comma = list.find(',');
        if (list.substr(0, comma) == point) {
            return true;
        }
        if (comma == std::string_view::npos) {
            break;
        }
        list.remove_prefix(comma + 1);
    }
    return false;
}

// Each point stops the daemon once, so the test that resumed it can go on.
bool firstTime(std::string_view point) {
    static std::mutex mutex;
    static std::set<std::string, std::less<>> reached;
    std::lock_guard lock(mutex);
    return reached.emplace(point).second;
}

}  // namespace

void pausePoint(std::string_view point) {
    if (const char* pauses = std::getenv("KESTROVA_HELPER_PAUSE_AT");
        pauses && listNames(pauses, point) && firstTime(point)) {
        // Directed at this thread, so it stops before it goes on; a signal
        // to the process lets this thread run on until another takes it.
        ::raise(SIGSTOP);
    }
    const char* hold = std::getenv("KESTROVA_HELPER_HOLD_AT");
    if (!hold) {
        return;
    }
    const std::string_view held(hold);
    const auto colon = held.find(':');
    if (colon == std::string_view::npos || held.substr(0, colon) != point) {
        return;
    }
    const std::string release(held.substr(colon + 1));
    while (::access(release.c_str(), F_OK) != 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}
#else
void pausePoint(std::string_view) {}
#endif

}  // namespace kestrova
