#include "tool/protocol_detector.h"

namespace {

using Bytes = std::span<const std::uint8_t>;

bool IsUpper(std::uint8_t c) { return c >= 'A' && c <= 'Z'; }
bool IsDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }

std::size_t Le16(Bytes data, std::size_t at) { return data[at] | std::size_t{data[at + 1]} << 8; }

CProtocolDetector::Verdict Holds(bool valid)
{
    return valid ? CProtocolDetector::Verdict::Confirmed : CProtocolDetector::Verdict::Rejected;
}

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
        return Holds(sbf_.VerifyChecksum(data.subspan(at, length)));
    }
    if (first == '$') {
        if (!IsUpper(second)) return Verdict::NoStart;
        protocol = LogProtocol::Nmea;
        // Address, fields and "*hh" on one line.
        std::size_t i = at + 1;
        for (; i < data.size() && i - at < kNmeaMaxLength; ++i) {
            const std::uint8_t c = data[i];
            if (c == '*') break;
            if (c == '$' || c == '\r' || c == '\n') return Verdict::Rejected;
            if (i - at <= 2 && !(IsUpper(c) || IsDigit(c))) return Verdict::Rejected;
        }
        if (i - at >= kNmeaMaxLength) return Verdict::Rejected;
        if (i + 3 > data.size()) return Verdict::NeedMore;
        return Holds(nmea_.VerifyChecksum(data.subspan(at, i + 3 - at)));
    }
    if (first == 0xB5) {
        if (second != CUBXParser::kSync2) return Verdict::NoStart;
        protocol = LogProtocol::Ubx;
        if (left < CUBXParser::kHeaderLength) return Verdict::NeedMore;
        const std::size_t length = Le16(data, at + 4) + CUBXParser::kFrameOverhead;
        if (left < length) return Verdict::NeedMore;
        return Holds(ubx_.VerifyChecksum(data.subspan(at, length)));
    }
    if (!(second & 0x08)) return Verdict::NoStart;
    protocol = LogProtocol::Gsof;
    if (left < 4) return Verdict::NeedMore;
    const std::size_t length = std::size_t{data[at + 3]} + CGSOFParser::kPacketOverhead;
    if (left < length) return Verdict::NeedMore;
    if (data[at + length - 1] != CGSOFParser::kEtx) return Verdict::Rejected;
    return Holds(gsof_.VerifyChecksum(data.subspan(at, length)));
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
