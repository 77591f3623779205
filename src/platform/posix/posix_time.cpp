#include "platform/clock.h"

#include <ctime>

namespace vel::platform {

DateTime LocalTimeOf(std::int64_t unixSeconds) {
    const std::time_t t = static_cast<std::time_t>(unixSeconds);
    std::tm tm{};
    localtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, 0, tm.tm_wday};
}

}  // namespace vel::platform
