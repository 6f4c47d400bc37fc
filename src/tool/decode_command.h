#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <span>
#include <string_view>

#include "decode/gnss_receiver_state.h"
#include "tool/protocol_detector.h"

// skarnet2-tool decode FILE [--block N] [--protocol auto|nmea|ubx|sbf|gsof]
// Decodes the log with the decoder of its protocol (by default the protocol of the first
// message start in it). Prints one CSV line per completed epoch and a summary; returns the
// process exit code.
int RunDecode(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);

inline constexpr std::size_t kDefaultDecodeBlock = 10240;

struct LogDecodeSummary {
    std::uint64_t epochs = 0;
    std::uint64_t bytes = 0;
    std::uint64_t checksumErrors = 0;
};

// Reads the whole stream in blocks through the decoder of its protocol (forced, or the
// detected one for Unknown) and hands every completed epoch to onEpoch, the state being
// cleared after the call. False on a read error.
bool DecodeLog(std::istream& in, std::size_t block, LogProtocol forced,
               const std::function<void(const GnssReceiverState&)>& onEpoch,
               LogDecodeSummary& summary);
