// Date arithmetic and formatting.
#include "platform/foundation/Date.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace foundation {

Date Date::now()
{
    return Date(std::chrono::time_point_cast<std::chrono::nanoseconds>(Clock::now()));
}

Date Date::fromTimeIntervalSince1970(double seconds)
{
    auto nanoseconds = static_cast<std::int64_t>(std::llround(seconds * 1e9));
    return Date(TimePoint(std::chrono::nanoseconds(nanoseconds)));
}

double Date::timeIntervalSince1970() const
{
    return std::chrono::duration<double>(m_point.time_since_epoch()).count();
}

std::string Date::iso8601() const
{
    auto sinceEpoch = m_point.time_since_epoch();
    auto milliseconds = std::chrono::floor<std::chrono::milliseconds>(sinceEpoch);
    auto seconds = std::chrono::floor<std::chrono::seconds>(milliseconds);
    std::time_t whole = seconds.count();
    std::tm parts {};
    gmtime_r(&whole, &parts);
    // Room for every field at its widest, whatever the year.
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", parts.tm_year + 1900,
        parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
        static_cast<int>((milliseconds - seconds).count()));
    return text;
}

std::string Date::httpDate() const
{
    std::time_t whole
        = std::chrono::floor<std::chrono::seconds>(m_point.time_since_epoch()).count();
    std::tm parts {};
    gmtime_r(&whole, &parts);
    // The names are English whatever the locale, as the header's grammar wants.
    static constexpr const char* days[] = { "Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat" };
    static constexpr const char* months[]
        = { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };
    char text[96];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", days[parts.tm_wday],
        parts.tm_mday, months[parts.tm_mon], parts.tm_year + 1900, parts.tm_hour, parts.tm_min,
        parts.tm_sec);
    return text;
}

}
