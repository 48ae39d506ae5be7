// The daemon's log: one line per event on stderr, which systemd's journal
// (or the session's log file) keeps. Lines from different connections never
// interleave.
#pragma once

#include <mutex>
#include <string>
#include <string_view>

namespace kestrova {

class HelperLog {
public:
    explicit HelperLog(int fd = 2);
    virtual ~HelperLog() = default;

    virtual void write(std::string_view line);

private:
    std::mutex mutex_;
    int fd_;
    std::string prefix_;
};

}  // namespace kestrova
