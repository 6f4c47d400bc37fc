#include "tool/protocol_detector.h"

namespace {

using Bytes = std::span<const std::uint8_t>;

bool IsUpper(std::uint8_t c) { return c >= 'A' && c <= 'Z'; }
bool IsDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }

int HexValue(std::uint8_t c)
{
    if (IsDigit(c)) return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::uint16_t Crc16(Bytes bytes)
{
    std::uint16_t crc = 0;
    for (const std::uint8_t byte : bytes) {
        crc = static_cast<std::uint16_t>(crc ^ (byte << 8));
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

std::size_t Le16(Bytes data, std::size_t at) { return data[at] | std::size_t{data[at + 1]} << 8; }

}  // namespace

CProtocolDetector::Verdict CProtocolDetector::Check(Bytes data, std::size_t at,
                                                    LogProtocol& protocol)
{
    const std::size_t left = data.size() - at;
    const std::uint8_t first = data[at];
    if (first != '$' && first != 0xB5 && first != 0x02) return Verdict::NoStart;
    if (left < 2) return Verdict::NeedMore;
    const std::uint8_t second = data[at + 1];

    if (first == '$' && second == '@') {
        protocol = LogProtocol::Sbf;
        if (left < 8) return Verdict::NeedMore;
        const std::size_t length = Le16(data, at + 6);
        if (length < 14 || length % 4 != 0) return Verdict::Rejected;
        if (left < length) return Verdict::NeedMore;
        return Crc16(data.subspan(at + 4, length - 4)) == Le16(data, at + 2) ? Verdict::Confirmed
                                                                             : Verdict::Rejected;
    }
    if (first == '$') {
        if (!IsUpper(second)) return Verdict::NoStart;
        protocol = LogProtocol::Nmea;
        // Address, fields, "*hh" on one line.
        std::uint8_t sum = 0;
        std::size_t i = at + 1;
        for (; i < data.size() && i - at < kNmeaMaxLength; ++i) {
            const std::uint8_t c = data[i];
            if (c == '*') break;
            if (c == '$' || c == '\r' || c == '\n') return Verdict::Rejected;
            if (i - at <= 2 && !(IsUpper(c) || IsDigit(c))) return Verdict::Rejected;
            sum ^= c;
        }
        if (i - at >= kNmeaMaxLength) return Verdict::Rejected;
        if (i + 3 > data.size()) return Verdict::NeedMore;
        const int high = HexValue(data[i + 1]);
        const int low = HexValue(data[i + 2]);
        return high >= 0 && low >= 0 && (high << 4 | low) == sum ? Verdict::Confirmed
                                                                 : Verdict::Rejected;
    }
    if (first == 0xB5) {
        if (second != 0x62) return Verdict::NoStart;
        protocol = LogProtocol::Ubx;
        if (left < 6) return Verdict::NeedMore;
        const std::size_t length = Le16(data, at + 4) + 8;
        if (left < length) return Verdict::NeedMore;
        std::uint8_t a = 0;
        std::uint8_t b = 0;
        for (std::size_t i = at + 2; i < at + length - 2; ++i) {
            a = static_cast<std::uint8_t>(a + data[i]);
            b = static_cast<std::uint8_t>(b + a);
        }
        return a == data[at + length - 2] && b == data[at + length - 1] ? Verdict::Confirmed
                                                                        : Verdict::Rejected;
    }
    if (!(second & 0x08)) return Verdict::NoStart;
    protocol = LogProtocol::Gsof;
    if (left < 4) return Verdict::NeedMore;
    const std::size_t length = std::size_t{data[at + 3]} + 6;
    if (left < length) return Verdict::NeedMore;
    if (data[at + length - 1] != 0x03) return Verdict::Rejected;
    std::uint8_t sum = 0;
    for (std::size_t i = at + 1; i < at + length - 2; ++i)
        sum = static_cast<std::uint8_t>(sum + data[i]);
    return sum == data[at + length - 2] ? Verdict::Confirmed : Verdict::Rejected;
}

LogProtocol CProtocolDetector::Scan(Bytes data, bool atEnd)
{
    for (; scanned_ < data.size(); ++scanned_) {
        LogProtocol protocol = LogProtocol::Unknown;
        const Verdict verdict = Check(data, scanned_, protocol);
        if (verdict == Verdict::Confirmed) return protocol;
        if (verdict == Verdict::NeedMore && !atEnd) return LogProtocol::Unknown;
        if (verdict != Verdict::NoStart && firstUnconfirmed_ == LogProtocol::Unknown)
            firstUnconfirmed_ = protocol;
    }
    if (!atEnd) return LogProtocol::Unknown;
    return firstUnconfirmed_ != LogProtocol::Unknown ? firstUnconfirmed_ : LogProtocol::Nmea;
}
