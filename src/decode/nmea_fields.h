#pragma once

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string_view>

#include "decode/gnss_receiver_state.h"

// Text fields of NMEA sentences to numbers. Fields are short and numerous, so these stay
// inline in the decoder's hot loop.
namespace nmea {

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

inline bool ParseDouble(std::string_view s, double& value)
{
    if (s.empty()) return false;
    double v = 0.0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc{} || end == s.data() || !std::isfinite(v)) return false;
    value = v;
    return true;
}

// Empty or unreadable text reads as 0, as an empty NMEA field does.
inline double ToDouble(std::string_view s)
{
    double v = 0.0;
    ParseDouble(s, v);
    return v;
}

// Out-of-range values are clamped: a float conversion that overflows is undefined.
inline float ToFloat(double v)
{
    constexpr double kMax = std::numeric_limits<float>::max();
    return static_cast<float>(std::clamp(v, -kMax, kMax));
}

inline float ToFloat(std::string_view s) { return ToFloat(ToDouble(s)); }

// Leading decimal digits with an optional minus, like from_chars.
inline bool ParseInt(std::string_view s, std::int32_t& value)
{
    std::size_t i = 0;
    const bool negative = !s.empty() && s[0] == '-';
    if (negative) ++i;
    std::int64_t v = 0;
    const std::size_t first = i;
    for (; i < s.size() && IsDigit(s[i]); ++i) {
        v = v * 10 + (s[i] - '0');
        if (v > std::numeric_limits<std::int32_t>::max()) return false;
    }
    if (i == first) return false;
    value = static_cast<std::int32_t>(negative ? -v : v);
    return true;
}

inline std::int32_t ToInt(std::string_view s)
{
    std::int32_t v = 0;
    ParseInt(s, v);
    return v;
}

// hhmmss[.ss] to milliseconds of the day; kNoTime when empty or not a time.
inline std::uint64_t ParseTimeOfDay(std::string_view s)
{
    if (s.size() < 6) return kNoTime;
    for (std::size_t i = 0; i < 6; ++i)
        if (!IsDigit(s[i])) return kNoTime;
    const auto two = [&](std::size_t i) {
        return std::uint64_t((s[i] - '0') * 10 + (s[i + 1] - '0'));
    };
    const std::uint64_t hh = two(0), mm = two(2), ss = two(4);
    if (mm > 59 || ss > 60) return kNoTime;  // 60: leap second
    std::uint64_t ms = (((hh % 24) * 60 + mm) * 60 + ss) * 1000;
    if (s.size() > 7 && s[6] == '.' && IsDigit(s[7])) {
        ms += 100 * std::uint64_t(s[7] - '0');
        if (s.size() > 8 && IsDigit(s[8])) ms += 10 * std::uint64_t(s[8] - '0');
    }
    return ms;
}

// ddmm.mmmm (degreeDigits 2) or dddmm.mmmm (3) with its hemisphere; false when empty or
// not a coordinate.
inline bool ParseCoordinate(std::string_view text, std::string_view hemisphere,
                            std::size_t degreeDigits, char positive, double limit, double& value)
{
    if (text.size() <= degreeDigits) return false;
    std::int32_t degrees = 0;
    for (std::size_t i = 0; i < degreeDigits; ++i) {
        if (!IsDigit(text[i])) return false;
        degrees = degrees * 10 + (text[i] - '0');
    }
    double minutes = 0.0;
    if (!ParseDouble(text.substr(degreeDigits), minutes) || minutes < 0.0 || minutes >= 60.0)
        return false;
    double v = degrees + minutes / 60.0;
    if (v > limit) return false;
    if (!hemisphere.empty() && hemisphere[0] != positive) v = -v;
    value = v;
    return true;
}

inline std::int32_t GnsModeToFixQuality(char mode)
{
    switch (mode) {
        case 'A': return 1;
        case 'D': return 2;
        case 'P': return 3;
        case 'R': return 4;
        case 'F': return 5;
        case 'E': return 6;
        default: return 0;
    }
}

// GSA system id (NMEA 4.11) to constellation row.
inline std::int32_t SystemIdToConstellation(std::string_view id)
{
    if (id.size() != 1) return 0;
    switch (id[0]) {
        case '0': return static_cast<std::int32_t>(Constellation::Qzss);
        case '1': return static_cast<std::int32_t>(Constellation::Gps);
        case '2': return static_cast<std::int32_t>(Constellation::Glonass);
        case '3': return static_cast<std::int32_t>(Constellation::Galileo);
        case '4': return static_cast<std::int32_t>(Constellation::BeiDou);
        case '5': return static_cast<std::int32_t>(Constellation::Qzss);
        default: return 0;
    }
}

// GSV talker "G?" to constellation row; kUnknownConstellation for the others.
inline std::int32_t TalkerToConstellation(std::string_view address)
{
    if (address.size() < 3 || address[1] != 'G') return kUnknownConstellation;
    switch (address[2]) {
        case 'P': return static_cast<std::int32_t>(Constellation::Gps);
        case 'L': return static_cast<std::int32_t>(Constellation::Glonass);
        case 'A': return static_cast<std::int32_t>(Constellation::Galileo);
        case 'Q': return static_cast<std::int32_t>(Constellation::Qzss);
        case 'B': return static_cast<std::int32_t>(Constellation::BeiDou);
        default: return kUnknownConstellation;
    }
}

}  // namespace nmea
