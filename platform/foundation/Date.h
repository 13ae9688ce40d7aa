// Date: a point in time with nanosecond resolution, as file modification dates carry it.
#pragma once

#include <chrono>
#include <compare>
#include <string>

namespace foundation {

class Date {
public:
    using Clock = std::chrono::system_clock;
    using TimePoint = std::chrono::time_point<Clock, std::chrono::nanoseconds>;

    Date() = default;
    explicit Date(TimePoint point)
        : m_point(point)
    {
    }

    static Date now();
    static Date fromTimeIntervalSince1970(double seconds);

    TimePoint timePoint() const { return m_point; }
    double timeIntervalSince1970() const;

    // ISO 8601 in UTC with milliseconds: 2026-12-06T19:37:09.123Z.
    std::string iso8601() const;
    // As HTTP headers carry it, in whole seconds: Sun, 06 Nov 1994 08:49:37 GMT.
    std::string httpDate() const;

    auto operator<=>(const Date&) const = default;

private:
    TimePoint m_point {};
};

}
