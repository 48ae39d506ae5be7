// Points in time as the state file keeps them: seconds since
// 2001-01-01 00:00:00 UTC, with fractions. Kept as the stored double so a
// saved date reads back bit for bit.
#pragma once

#include <chrono>
#include <compare>

namespace kestrova {

struct Date {
    // Unix time of 2001-01-01 00:00:00 UTC.
    static constexpr double referenceDateUnixSeconds = 978307200.0;

    double secondsSinceReferenceDate = 0;

    static Date now();
    static Date fromUnixSeconds(double seconds) { return Date{seconds - referenceDateUnixSeconds}; }
    double unixSeconds() const { return secondsSinceReferenceDate + referenceDateUnixSeconds; }
    std::chrono::system_clock::time_point timePoint() const;

    friend auto operator<=>(const Date&, const Date&) = default;
};

}  // namespace kestrova
