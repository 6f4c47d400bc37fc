#pragma once

#include <cstdint>
#include <string>

// A moment of GPS time written as a calendar date and time of day. No leap seconds are
// applied: receivers that report GPS time are shown as they report it.
struct CalendarTime {
    std::int32_t year = 0;
    std::int32_t month = 0;
    std::int32_t day = 0;
    std::int32_t hour = 0;
    std::int32_t minute = 0;
    std::int32_t second = 0;
};

CalendarTime GpsToCalendar(std::uint32_t week, std::uint64_t msOfWeek);

// "hhmmss" and "ddmmyy", the forms the state's time and date texts take.
std::string SixDigits(std::int32_t a, std::int32_t b, std::int32_t c);
std::string TimeText(const CalendarTime& t);
std::string DateText(const CalendarTime& t);
