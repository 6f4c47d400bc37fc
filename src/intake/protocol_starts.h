#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

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

// Whether offset is the first byte or directly follows a line end.
bool StartsLine(std::span<const std::uint8_t> bytes, std::size_t offset);
