#pragma once

#include <cstdint>

// Stand-in for the system's UTC time record: the traffic log's time stamps use only hour, minute,
// second and milliseconds.
struct SystemTime
{
    std::uint16_t year = 0;
    std::uint16_t month = 0;
    std::uint16_t dayOfWeek = 0;
    std::uint16_t day = 0;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
    std::uint16_t milliseconds = 0;

    static SystemTime nowUtc();
};
