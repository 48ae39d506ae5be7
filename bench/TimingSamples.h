// Wall and CPU times of repeated calls, for the benchmarks that compare two
// sizes of one job. The CPU time (user and system time of this process)
// stays steady when other work shares the machine; the fastest wall time is
// the least disturbed one.
#pragma once

#include <algorithm>
#include <chrono>
#include <ctime>
#include <functional>
#include <vector>

namespace kestrova::bench {

inline double cpuMilliseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

struct Samples {
    std::vector<double> wall;
    std::vector<double> cpu;

    void time(const std::function<void()>& body) {
        const auto start = std::chrono::steady_clock::now();
        const auto cpuStart = cpuMilliseconds();
        body();
        cpu.push_back(cpuMilliseconds() - cpuStart);
        wall.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    static double median(std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    }
    double wallMedian() const { return median(wall); }
    double wallMinimum() const { return *std::min_element(wall.begin(), wall.end()); }
    double cpuMedian() const { return median(cpu); }
};

}  // namespace kestrova::bench
