#pragma once

#include <iosfwd>
#include <span>
#include <string_view>

// skarnet2-tool scan FILE [--error-base 0..3] [--ref LAT,LON] [--sync auto|non-nmea]
//                         [--check-missing] [--index]
// Runs the replay scan headless and prints "name: value" lines: frames, interval_ms, rate (the
// replay window's frame-rate text), horizontal_rms, vertical_rms, horizontal_cep,
// vertical_cep (metres); then the missing-message lines with --check-missing, and with --index
// one CSV line per epoch: time (hhmmss.sss), latitude, longitude, altitude, fix quality,
// offset, length. Returns 2 for bad arguments, 1 when the log cannot be scanned, else 0.
int RunScan(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);
