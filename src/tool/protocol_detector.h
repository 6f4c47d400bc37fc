#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "decode/frame_check.h"

enum class LogProtocol { Unknown, Nmea, Ubx, Gsof, Sbf };

// Finds which protocol a log speaks from the first message start in it: "$" with a talker
// and sentence name (NMEA), 0xB5 0x62 (UBX), STX with a status byte that has bit 3 set
// (GSOF), "$@" (SBF). A start counts once its whole frame is in and its checksum holds, so
// that a signature inside a frame cut by the start of the capture does not decide.
class CProtocolDetector {
public:
    using Verdict = CFrameCheck::Verdict;

    // data: the stream from its first byte, however much of it has arrived. Returns the
    // protocol once it is known; Unknown while more bytes are needed. With atEnd set the
    // answer is final: the first start whose frame never checked, else NMEA.
    LogProtocol Scan(std::span<const std::uint8_t> data, bool atEnd);

private:
    Verdict Check(std::span<const std::uint8_t> data, std::size_t at, LogProtocol& protocol);

    CFrameCheck frames_;

    std::size_t scanned_ = 0;
    LogProtocol firstUnconfirmed_ = LogProtocol::Unknown;
};
