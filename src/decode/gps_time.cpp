#include "decode/gps_time.h"

namespace {

// Seconds from 1970-01-01 to the GPS epoch, 1980-01-06.
constexpr std::int64_t kGpsEpochUnixSeconds = 315964800;
constexpr std::int64_t kSecondsPerWeek = 604800;
constexpr std::int64_t kSecondsPerDay = 86400;

// Days since 1970-01-01 to a proleptic Gregorian date, by 400-year eras.
void CivilFromDays(std::int64_t days, std::int32_t& year, std::int32_t& month, std::int32_t& day)
{
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    day = static_cast<std::int32_t>(dayOfYear - (153 * mp + 2) / 5 + 1);
    month = static_cast<std::int32_t>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<std::int32_t>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

}  // namespace

CalendarTime GpsToCalendar(std::uint32_t week, std::uint64_t msOfWeek)
{
    const std::int64_t seconds = kGpsEpochUnixSeconds + std::int64_t{week} * kSecondsPerWeek +
                                 static_cast<std::int64_t>(msOfWeek / 1000);
    CalendarTime t;
    CivilFromDays(seconds / kSecondsPerDay, t.year, t.month, t.day);
    const std::int64_t secondOfDay = seconds % kSecondsPerDay;
    t.hour = static_cast<std::int32_t>(secondOfDay / 3600);
    t.minute = static_cast<std::int32_t>(secondOfDay / 60 % 60);
    t.second = static_cast<std::int32_t>(secondOfDay % 60);
    return t;
}

// Three numbers as two digits each ("%02d%02d%02d" of each modulo 100), without the cost of
// a formatted print on every epoch.
std::string SixDigits(std::int32_t a, std::int32_t b, std::int32_t c)
{
    std::string text;
    for (std::int32_t v : {a, b, c}) {
        v = (v % 100 + 100) % 100;
        text += static_cast<char>('0' + v / 10);
        text += static_cast<char>('0' + v % 10);
    }
    return text;
}

std::string TimeText(const CalendarTime& t) { return SixDigits(t.hour, t.minute, t.second); }

std::string DateText(const CalendarTime& t) { return SixDigits(t.day, t.month, t.year); }
