#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

#include "decode/gnss_receiver_state.h"

// Where a message of each protocol may begin in a stream of bytes. These look only at start
// signatures; the decoder decides whether a whole message follows.

// 0xB5 0x62; the start is the 0xB5.
std::optional<std::size_t> FindUbxStart(std::span<const std::uint8_t> bytes);
// STX followed by a status byte with bit 3 set; the start is the STX.
std::optional<std::size_t> FindGsofStart(std::span<const std::uint8_t> bytes);
// "$@"; the start is the '$'.
std::optional<std::size_t> FindSbfStart(std::span<const std::uint8_t> bytes);
// The first sentence start: a line end (CR, or LF where the bytes hold no CR) with '*' three
// bytes before it, and the last '$' before that line end that is followed by 'B', 'G' or 'P'
// and lies less than 121 bytes before it.
std::optional<std::size_t> FindNmeaStart(std::span<const std::uint8_t> bytes);
// FindNmeaStart looking at the line ends (lineEndByte) from index 'from' on only; returns the
// size of bytes when there is no start, else sets lineEnd to the line end that gave it.
std::size_t FindNmeaStartFrom(std::span<const std::uint8_t> bytes, std::size_t from,
                              std::uint8_t lineEndByte, std::size_t& lineEnd);

// Whether offset is the first byte or directly follows a line end.
bool StartsLine(std::span<const std::uint8_t> bytes, std::size_t offset);

// Where byte first occurs in bytes[from, to), or to. Arrivals are often a few bytes: those
// are looked at directly, without a library call.
inline std::size_t FindByteIn(std::span<const std::uint8_t> bytes, std::size_t from, std::size_t to,
                              std::uint8_t byte)
{
    constexpr std::size_t kShort = 16;
    if (to - from < kShort) {
        while (from < to && bytes[from] != byte) ++from;
        return from;
    }
    const void* hit = std::memchr(bytes.data() + from, byte, to - from);
    if (hit == nullptr) return to;
    return static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - bytes.data());
}

// The byte a binary protocol's start signature begins with (SBF's '$' begins sentences too).
constexpr std::uint8_t SignatureLead(ProtocolId id)
{
    constexpr std::uint8_t kUbxSync1 = 0xB5;
    constexpr std::uint8_t kStx = 0x02;
    return id == ProtocolId::Ubx ? kUbxSync1 : id == ProtocolId::Gsof ? kStx : '$';
}

// The start signature of a binary protocol from index 'from' on; the size of bytes when none.
inline std::size_t FindBinarySignature(ProtocolId id, std::span<const std::uint8_t> bytes,
                                       std::size_t from)
{
    constexpr std::uint8_t kUbxSync2 = 0x62;
    constexpr std::uint8_t kGsofStatusBit = 0x08;
    if (bytes.size() < 2 || id == ProtocolId::Nmea) return bytes.size();
    const std::uint8_t lead = SignatureLead(id);
    const std::size_t last = bytes.size() - 1;  // a signature needs its second byte
    for (std::size_t i = from; i < last; ++i) {
        i = FindByteIn(bytes, i, last, lead);
        if (i == last) break;
        const std::uint8_t second = bytes[i + 1];
        const bool completes = id == ProtocolId::Ubx    ? second == kUbxSync2
                               : id == ProtocolId::Gsof ? (second & kGsofStatusBit) != 0
                                                        : second == '@';
        if (completes) return i;
    }
    return bytes.size();
}
