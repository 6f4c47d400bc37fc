#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "decode/gnss_receiver_state.h"
#include "decode/gsof_parser.h"
#include "decode/nmea_parser.h"
#include "decode/sbf_parser.h"
#include "decode/ubx_parser.h"

// Tells whether a message start signature at some offset begins a whole, intact frame, so
// that a signature that happens to lie inside another protocol's frame is not taken for a
// message: "$" with a talker and sentence name (NMEA), 0xB5 0x62 (UBX), STX with a status
// byte that has bit 3 set (GSOF), "$@" (SBF).
class CFrameCheck {
public:
    static constexpr std::size_t kNmeaMaxLength = 120;
    enum class Verdict { NoStart, NeedMore, Rejected, Confirmed };

    // protocol is set for every verdict but NoStart; frameLength once the header gives it.
    Verdict Check(std::span<const std::uint8_t> data, std::size_t at, ProtocolId& protocol,
                  std::size_t& frameLength);

private:
    // The decoders' own checks decide whether a frame holds; these never decode anything.
    CNmeaParser nmea_{nullptr};
    CUBXParser ubx_{nullptr};
    CSBFParser sbf_{nullptr};
    CGSOFParser gsof_{nullptr};
};
