#pragma once

#include <cstdint>
#include <string>

namespace vel::platform {

struct DateTime {
    int year = 2000;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    int weekday = 6;  // 0 Sunday .. 6 Saturday
};

// A moment (seconds since 1970 UTC) in the system's local time.
DateTime LocalTimeOf(std::int64_t unixSeconds);

class Clock {
public:
    virtual ~Clock() = default;
    virtual DateTime now() = 0;
    // The current time in the system's long time format ("9:05:07" or "09:05:07").
    virtual std::string longTimeText() = 0;
    virtual void sleepMs(int milliseconds) = 0;
    // Milliseconds from an arbitrary start, never going back.
    virtual std::int64_t steadyMs() = 0;
};

}  // namespace vel::platform
