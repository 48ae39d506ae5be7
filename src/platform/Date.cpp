#include "platform/Date.h"

namespace kestrova {

Date Date::now() {
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    return fromUnixSeconds(std::chrono::duration<double>(since).count());
}

std::chrono::system_clock::time_point Date::timePoint() const {
    const auto unix = std::chrono::duration<double>(unixSeconds());
    return std::chrono::system_clock::time_point(std::chrono::duration_cast<std::chrono::system_clock::duration>(unix));
}

}  // namespace kestrova
