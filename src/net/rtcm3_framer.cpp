#include "net/rtcm3_framer.h"

#include <algorithm>

namespace rtcm3 {
namespace {

constexpr std::uint32_t kCrc24qPolynomial = 0x1864CFB;

constexpr std::array<std::uint32_t, 256> MakeCrcTable()
{
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t crc = i << 16;
        for (int bit = 0; bit < 8; ++bit) {
            crc <<= 1;
            if (crc & 0x1000000) crc ^= kCrc24qPolynomial;
        }
        table[i] = crc & 0xFFFFFF;
    }
    return table;
}

constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

// Big-endian bit field of up to 64 bits, 'bit' counted from the message start.
std::uint64_t Bits(std::span<const std::uint8_t> message, std::size_t bit, std::size_t count)
{
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < count; ++i, ++bit)
        value = value << 1 | ((message[bit / 8] >> (7 - bit % 8)) & 1u);
    return value;
}

std::int64_t SignedBits(std::span<const std::uint8_t> message, std::size_t bit, std::size_t count)
{
    const std::uint64_t value = Bits(message, bit, count);
    const std::uint64_t sign = std::uint64_t{1} << (count - 1);
    return static_cast<std::int64_t>(value ^ sign) - static_cast<std::int64_t>(sign);
}

std::span<const std::uint8_t> Message(std::span<const std::uint8_t> frame)
{
    if (frame.size() < kHeaderLength + kCrcLength) return {};
    return frame.subspan(kHeaderLength, frame.size() - kHeaderLength - kCrcLength);
}

}  // namespace

std::uint32_t Crc24q(std::span<const std::uint8_t> bytes)
{
    std::uint32_t crc = 0;
    for (const std::uint8_t b : bytes) crc = ((crc << 8) & 0xFFFFFF) ^ kCrcTable[(crc >> 16) ^ b];
    return crc;
}

std::uint16_t MessageType(std::span<const std::uint8_t> frame)
{
    const auto message = Message(frame);
    if (message.size() < 2) return 0;
    return static_cast<std::uint16_t>(Bits(message, 0, 12));
}

std::optional<StationPosition> DecodeStationPosition(std::span<const std::uint8_t> frame)
{
    // 1005: type 12, station 12, ITRF year 6, four flags, X 38, one flag, oscillator 1, Y 38,
    // quarter cycle 2, Z 38 = 152 bits; 1006 adds a 16-bit antenna height.
    constexpr double kUnit = 0.0001;
    const std::uint16_t type = MessageType(frame);
    const auto message = Message(frame);
    const std::size_t needed = type == 1005 ? 19 : 21;
    if ((type != 1005 && type != 1006) || message.size() < needed) return std::nullopt;
    StationPosition p;
    p.stationId = static_cast<std::uint16_t>(Bits(message, 12, 12));
    p.x = static_cast<double>(SignedBits(message, 34, 38)) * kUnit;
    p.y = static_cast<double>(SignedBits(message, 74, 38)) * kUnit;
    p.z = static_cast<double>(SignedBits(message, 114, 38)) * kUnit;
    if (type == 1006) p.antennaHeight = static_cast<double>(Bits(message, 152, 16)) * kUnit;
    return p;
}

}  // namespace rtcm3

std::size_t CRtcm3Framer::NextFrame(std::size_t from, std::size_t& frameLength)
{
    using namespace rtcm3;
    frameLength = 0;
    const std::span<const std::uint8_t> bytes(pending_);
    for (std::size_t at = from; at < bytes.size(); ++at) {
        if (bytes[at] != kPreamble) continue;
        if (bytes.size() - at < kHeaderLength) return at;
        // Six reserved bits are zero in every frame; a preamble byte without them is data.
        if (bytes[at + 1] & 0xFC) continue;
        const std::size_t length = (std::size_t{bytes[at + 1]} & 0x03) << 8 | bytes[at + 2];
        const std::size_t whole = kHeaderLength + length + kCrcLength;
        if (bytes.size() - at < whole) return at;
        const auto frame = bytes.subspan(at, whole);
        const std::uint32_t sent = std::uint32_t{frame[whole - 3]} << 16 |
                                   std::uint32_t{frame[whole - 2]} << 8 | frame[whole - 1];
        if (Crc24q(frame.first(whole - kCrcLength)) != sent) {
            ++crcFailures_;
            continue;
        }
        frameLength = whole;
        return at;
    }
    return bytes.size();
}
