#include "tool/protocol_detector.h"

namespace {

LogProtocol ToLogProtocol(ProtocolId id)
{
    switch (id) {
        case ProtocolId::Nmea: return LogProtocol::Nmea;
        case ProtocolId::Ubx: return LogProtocol::Ubx;
        case ProtocolId::Gsof: return LogProtocol::Gsof;
        case ProtocolId::Sbf: return LogProtocol::Sbf;
    }
    return LogProtocol::Unknown;
}

}  // namespace

CProtocolDetector::Verdict CProtocolDetector::Check(std::span<const std::uint8_t> data,
                                                    std::size_t at, LogProtocol& protocol)
{
    ProtocolId id = ProtocolId::Nmea;
    std::size_t frameLength = 0;
    const Verdict verdict = frames_.Check(data, at, id, frameLength);
    if (verdict != Verdict::NoStart) protocol = ToLogProtocol(id);
    return verdict;
}

LogProtocol CProtocolDetector::Scan(std::span<const std::uint8_t> data, bool atEnd)
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
