#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "decode/time_index_set.h"

class CEpochIndex;
class CNmeaParser;

// Time of a missing epoch as "hhmmss.sss"; hours go on past 23 after midnight.
std::string FormatMissingTime(std::int64_t timeMs);
// "GGA  123456.000 is missing!!", or without a sentence name "123456.000 is missing!!".
std::string MissingLine(std::string_view sentenceName, std::int64_t timeMs);
// The missing-message window lists only lines that name GGA or RMC.
bool IsListedMissingLine(std::string_view line);

// Finds epochs absent from a log: for NMEA per position sentence type from the time indexes
// of every block, otherwise from the gaps between consecutive epochs of the replay index.
class CMissingCheck {
public:
    CMissingCheck();

    void Clear();
    // Takes the position sentences the NMEA decoder indexed in one block.
    void AddNmeaBlock(const CNmeaParser& nmea);
    // One line per gap and sentence type, in type order.
    std::vector<std::string> NmeaLines(const CNmeaParser& nmea) const;
    // One line per gap between consecutive epochs that differ by anything but intervalMs.
    static std::vector<std::string> GenericLines(const CEpochIndex& index, std::int64_t intervalMs);

private:
    CTimeIndexSet times_;
    // Per type: the last time taken and the days added so far (midnight crossings).
    std::array<std::uint64_t, CTimeIndexSet::kMaxTypes> lastMs_{};
    std::array<std::uint64_t, CTimeIndexSet::kMaxTypes> dayOffsetMs_{};
};
