#pragma once

#include <iosfwd>
#include <span>
#include <string_view>

// skarnet2-tool stats FILE [--error-base 0..3] [--ref LAT,LON] [--sync auto|non-nmea]
// Decodes the log as the decode command does, feeds every completed epoch to the replay
// statistics and prints the counts, the average point and the RMS and CEP against the chosen
// error reference: 0 average point, 1 reference station (only with --ref, there being no
// station table), 2 previous epoch, 3 the --ref point (default 37.473125,126.881210).
// Returns 2 for bad arguments, 1 for an unreadable file, else 0.
int RunStats(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);
