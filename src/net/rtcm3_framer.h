#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// RTCM 3 transport frames: preamble 0xD3, six reserved bits and a 10-bit length, the message,
// then CRC-24Q over everything before it.
namespace rtcm3 {

inline constexpr std::uint8_t kPreamble = 0xD3;
inline constexpr std::size_t kHeaderLength = 3;
inline constexpr std::size_t kCrcLength = 3;
inline constexpr std::size_t kMaxMessageLength = 1023;

std::uint32_t Crc24q(std::span<const std::uint8_t> bytes);

// The 12-bit message number of a whole frame (0 when the message is shorter than that).
std::uint16_t MessageType(std::span<const std::uint8_t> frame);

// Reference station of messages 1005 and 1006: ECEF coordinates in metres and, for 1006, the
// antenna height.
struct StationPosition {
    std::uint16_t stationId = 0;
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    double antennaHeight = 0.0;
};
std::optional<StationPosition> DecodeStationPosition(std::span<const std::uint8_t> frame);

}  // namespace rtcm3

// Cuts a byte stream into RTCM 3 frames in arbitrary pieces: bytes between frames are
// skipped, a frame whose CRC fails is counted and the search goes on one byte behind its
// preamble, an unfinished frame waits for the next piece.
class CRtcm3Framer {
public:
    // Calls onFrame(frame) for each whole frame with a good CRC; the span lives for the call.
    template <class OnFrame>
    void Feed(std::span<const std::uint8_t> bytes, OnFrame&& onFrame)
    {
        pending_.insert(pending_.end(), bytes.begin(), bytes.end());
        std::size_t at = 0;
        while (true) {
            std::size_t frameLength = 0;
            const std::size_t start = NextFrame(at, frameLength);
            if (frameLength == 0) {
                at = start;
                break;
            }
            onFrame(std::span<const std::uint8_t>(pending_).subspan(start, frameLength));
            ++frames_;
            at = start + frameLength;
        }
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(at));
    }

    std::uint64_t Frames() const { return frames_; }
    std::uint64_t CrcFailures() const { return crcFailures_; }
    // Bytes held back for a frame still arriving.
    std::size_t Pending() const { return pending_.size(); }

private:
    // The start of the next good frame at or behind 'from' with its length; length 0 when
    // none is whole yet, the start then being where to keep bytes from.
    std::size_t NextFrame(std::size_t from, std::size_t& frameLength);

    std::vector<std::uint8_t> pending_;
    std::uint64_t frames_ = 0;
    std::uint64_t crcFailures_ = 0;
};
