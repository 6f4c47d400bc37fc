#include "decode/gps_time.h"

#include <gtest/gtest.h>

#include <tuple>

#include "decode/byte_reader.h"

namespace {

TEST(GpsTime, WeekAndTimeOfWeekToCalendar)
{
    // week, ms of week, date, time, year
    const std::tuple<std::uint32_t, std::uint64_t, const char*, const char*, int> cases[] = {
        {0, 0, "060180", "000000", 1980},
        {2048, 0, "070419", "000000", 2019},         // the second week-number rollover
        {2346, 86399999, "221224", "235959", 2024},  // last second of a Sunday
        {2346, 86400000, "231224", "000000", 2024},  // midnight
        {2303, 4 * 86400000 + 3723000, "290224", "010203", 2024},  // leap day
        {1355, 604799000, "311205", "235959", 2005},               // a year's end
    };
    for (const auto& [week, ms, date, time, year] : cases) {
        const CalendarTime t = GpsToCalendar(week, ms);
        EXPECT_EQ(std::tuple(DateText(t), TimeText(t), t.year), std::tuple(date, time, year))
            << week << " " << ms;
    }
}

TEST(ByteReader, FieldsOutsideTheFrameReadAsNothing)
{
    const std::uint8_t bytes[] = {0x01, 0x02, 0x03, 0x04, 0x3F, 0xF0, 0, 0, 0, 0, 0, 0};
    const CByteReader r(bytes);
    EXPECT_EQ(std::tuple(r.Le<std::uint16_t>(0), r.Be<std::uint16_t>(0), r.Le<std::int32_t>(0),
                         r.Be<double>(4)),
              std::tuple(0x0201, 0x0102, 0x04030201, 1.0));
    EXPECT_FALSE(r.Be<double>(5) || r.Le<std::uint8_t>(12) || r.Le<std::uint32_t>(SIZE_MAX - 1));
    EXPECT_TRUE(r.Sub(10, 3).empty());
}

}  // namespace
