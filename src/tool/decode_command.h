#pragma once

#include <iosfwd>
#include <span>
#include <string_view>

// skarnet2-tool decode FILE [--block N] [--protocol auto|nmea|ubx|sbf|gsof]
// Decodes the log with the decoder of its protocol (by default the protocol of the first
// message start in it). Prints one CSV line per completed epoch and a summary; returns the
// process exit code.
int RunDecode(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);
