// The daemon's log: one line per event on stderr, which systemd's journal
// (or the session's log file) keeps. Lines from different connections never
// interleave.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

class HelperLog {
public:
    explicit HelperLog(int fd = 2);
    virtual ~HelperLog() = default;

    virtual void write(std::string_view line);
    // Several lines in one write, so a long transaction costs one system
    // call for its moves rather than one per bundle.
    virtual void write(const std::vector<std::string>& lines);

private:
    void writeText(std::string_view text);

    std::mutex mutex_;
    int fd_;
    std::string prefix_;
};

}  // namespace kestrova
