#include "core/platform/local_time.h"

#include <cstdlib>
#include <limits>

namespace postloom::platform {

std::int32_t MakeLocalTime(std::int64_t year, int month, int day, int hour, int minute, int second)
{
    // Keeps tm_year within int; the other fields cannot bring such a year
    // back into the 32-bit range.
    if (year < -500'000'000 || year > 500'000'000)
        return -1;
    std::tm tm{};
    tm.tm_year = static_cast<int>(year - 1900);
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1) || t < std::numeric_limits<std::int32_t>::min() ||
        t > std::numeric_limits<std::int32_t>::max())
        return -1;
    return static_cast<std::int32_t>(t);
}

std::optional<std::tm> BreakDownLocal(std::int64_t seconds)
{
    const auto t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    if (localtime_r(&t, &tm) == nullptr)
        return std::nullopt;
    return tm;
}

void PinLocalTimeZone()
{
    // The library's own default when TZ is unset; a leading colon names a file.
    if (std::getenv("TZ") == nullptr)
        ::setenv("TZ", ":/etc/localtime", 0);
}

}  // namespace postloom::platform
