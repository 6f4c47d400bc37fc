#include "logio/missing_check.h"

#include <cstdio>

#include "decode/nmea_parser.h"
#include "logio/epoch_index.h"

namespace {

constexpr std::uint64_t kDayMs = 86'400'000;
constexpr std::uint64_t kHalfDayMs = kDayMs / 2;

}  // namespace

std::string FormatMissingTime(std::int64_t timeMs)
{
    if (timeMs < 0) timeMs = 0;
    const auto ms = static_cast<long long>(timeMs);
    char text[32];
    std::snprintf(text, sizeof text, "%02lld%02lld%02lld.%03lld", ms / 3'600'000, ms / 60'000 % 60,
                  ms / 1000 % 60, ms % 1000);
    return text;
}

std::string MissingLine(std::string_view sentenceName, std::int64_t timeMs)
{
    std::string line;
    if (!sentenceName.empty()) {
        line.append(sentenceName);
        line += "  ";
    }
    line += FormatMissingTime(timeMs);
    line += " is missing!!";
    return line;
}

bool IsListedMissingLine(std::string_view line)
{
    return line.find("GGA") != std::string_view::npos || line.find("RMC") != std::string_view::npos;
}

CMissingCheck::CMissingCheck() : times_(CNmeaParser::kPositionTypeCount) {}

void CMissingCheck::Clear()
{
    times_.Clear();
    lastMs_.fill(0);
    dayOffsetMs_.fill(0);
}

void CMissingCheck::AddNmeaBlock(const CNmeaParser& nmea)
{
    for (std::int32_t type = 0; type < times_.TypeCount(); ++type) {
        const auto t = static_cast<std::size_t>(type);
        for (const auto& [time, entry] : nmea.GetTimeIndex(type)) {
            std::uint64_t monotonic = time + dayOffsetMs_[t];
            // A time far behind the last one is the next day's.
            if (monotonic + kHalfDayMs < lastMs_[t]) {
                dayOffsetMs_[t] += kDayMs;
                monotonic += kDayMs;
            }
            if (times_.Add(type, monotonic, entry.filePosition, entry.length))
                lastMs_[t] = std::max(lastMs_[t], monotonic);
        }
    }
}

std::vector<std::string> CMissingCheck::NmeaLines(const CNmeaParser& nmea) const
{
    std::vector<std::string> lines;
    for (std::int32_t type = 0; type < times_.TypeCount(); ++type) {
        std::vector<IndexGap> gaps;
        times_.FindGaps(type, gaps);
        for (const IndexGap& gap : gaps)
            lines.push_back(MissingLine(nmea.GetPositionTypeNameAt(type),
                                        static_cast<std::int64_t>(gap.expectedTimeMs)));
    }
    return lines;
}

std::vector<std::string> CMissingCheck::GenericLines(const CEpochIndex& index,
                                                     std::int64_t intervalMs)
{
    std::vector<std::string> lines;
    for (std::size_t n = 1; n < index.Size(); ++n) {
        const std::int64_t previous = index.TimeAt(n - 1);
        if (index.TimeAt(n) - previous != intervalMs)
            lines.push_back(MissingLine({}, previous + intervalMs));
    }
    return lines;
}
