#include "decode/frame_check.h"

namespace {

using Bytes = std::span<const std::uint8_t>;

bool IsUpper(std::uint8_t c) { return c >= 'A' && c <= 'Z'; }
bool IsDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }

std::size_t Le16(Bytes data, std::size_t at) { return data[at] | std::size_t{data[at + 1]} << 8; }

CFrameCheck::Verdict Holds(bool valid)
{
    return valid ? CFrameCheck::Verdict::Confirmed : CFrameCheck::Verdict::Rejected;
}

}  // namespace

CFrameCheck::Verdict CFrameCheck::Check(Bytes data, std::size_t at, ProtocolId& protocol,
                                        std::size_t& frameLength)
{
    frameLength = 0;
    if (at >= data.size()) return Verdict::NoStart;
    const std::size_t left = data.size() - at;
    const std::uint8_t first = data[at];
    if (first != '$' && first != 0xB5 && first != 0x02) return Verdict::NoStart;
    if (left < 2) return Verdict::NeedMore;
    const std::uint8_t second = data[at + 1];

    if (first == '$' && second == '@') {
        protocol = ProtocolId::Sbf;
        if (left < 8) return Verdict::NeedMore;
        const std::size_t length = Le16(data, at + 6);
        if (length < 14 || length % 4 != 0) return Verdict::Rejected;
        frameLength = length;
        if (left < length) return Verdict::NeedMore;
        return Holds(sbf_.VerifyChecksum(data.subspan(at, length)));
    }
    if (first == '$') {
        if (!IsUpper(second)) return Verdict::NoStart;
        protocol = ProtocolId::Nmea;
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
        frameLength = i + 3 - at;
        return Holds(nmea_.VerifyChecksum(data.subspan(at, frameLength)));
    }
    if (first == 0xB5) {
        if (second != CUBXParser::kSync2) return Verdict::NoStart;
        protocol = ProtocolId::Ubx;
        if (left < CUBXParser::kHeaderLength) return Verdict::NeedMore;
        const std::size_t length = Le16(data, at + 4) + CUBXParser::kFrameOverhead;
        frameLength = length;
        if (left < length) return Verdict::NeedMore;
        return Holds(ubx_.VerifyChecksum(data.subspan(at, length)));
    }
    if (!(second & 0x08)) return Verdict::NoStart;
    protocol = ProtocolId::Gsof;
    if (left < 4) return Verdict::NeedMore;
    const std::size_t length = std::size_t{data[at + 3]} + CGSOFParser::kPacketOverhead;
    frameLength = length;
    if (left < length) return Verdict::NeedMore;
    if (data[at + length - 1] != CGSOFParser::kEtx) return Verdict::Rejected;
    return Holds(gsof_.VerifyChecksum(data.subspan(at, length)));
}
