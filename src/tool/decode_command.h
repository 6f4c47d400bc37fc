#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <span>
#include <string_view>

#include "decode/gnss_receiver_state.h"
#include "tool/intake_choice.h"

// skarnet2-tool decode FILE [--block N] [--sync auto|non-nmea]
//                           [--protocol auto|nmea|ubx|sbf|gsof]
// Decodes the log through the window's intake and prints one CSV line per epoch it shows and
// a summary; returns the process exit code.
int RunDecode(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);

inline constexpr std::size_t kDefaultDecodeBlock = 10240;

struct LogDecodeSummary {
    std::uint64_t epochs = 0;
    std::uint64_t bytes = 0;
    std::uint64_t checksumErrors = 0;  // the decoders' error lines
};

// Hands the stream to the intake block by block as serial arrivals, then flushes it as the
// window does when the line goes quiet; every epoch the intake shows goes to onEpoch. False
// on a read error.
bool DecodeLog(std::istream& in, std::size_t block, const IntakeChoice& choice,
               const std::function<void(const GnssReceiverState&)>& onEpoch,
               LogDecodeSummary& summary);
