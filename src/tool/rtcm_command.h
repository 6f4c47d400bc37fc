#pragma once

#include <iosfwd>
#include <span>
#include <string_view>

// skarnet2-tool rtcm FILE
// Frames an RTCM 3 stream (a caster's corrections as logged to "rtcm.txt", or any capture)
// and prints one CSV line per message number (count, bytes), the reference stations of
// messages 1005/1006 with their ECEF and WGS84 positions, and a summary line. Returns 2 for
// bad arguments, 1 when the file cannot be read.
int RunRtcm(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);
