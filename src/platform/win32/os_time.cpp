#include "platform/clock.h"

#include <windows.h>

namespace vel::platform {

namespace {
// 100-nanosecond steps from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kEpochDifference = 116444736000000000LL;
}  // namespace

DateTime LocalTimeOf(std::int64_t unixSeconds) {
    const std::int64_t ticks = unixSeconds * 10000000LL + kEpochDifference;
    FILETIME utc{static_cast<DWORD>(ticks & 0xFFFFFFFF), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME u{}, local{};
    // The time zone rules of that date, not of today, as the file times of
    // the system's own listings show them.
    if (!FileTimeToSystemTime(&utc, &u) || !SystemTimeToTzSpecificLocalTime(nullptr, &u, &local)) return {};
    return {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond, local.wMilliseconds,
            local.wDayOfWeek};
}

}  // namespace vel::platform
