#include "decode/ubx_parser.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "decode/byte_reader.h"
#include "decode/gps_time.h"
#include "decode/parser_owner.h"

namespace {

constexpr std::uint64_t kMsPerDay = 86400000;
constexpr std::uint8_t kClassNav = 0x01;
constexpr std::size_t kNavSatBlock = 12;
constexpr std::size_t kNavSigBlock = 16;
constexpr std::size_t kEsfSensorBlock = 4;
constexpr std::uint8_t kSensorUsed = 0x80;
constexpr std::uint32_t kSatelliteUsed = 0x08;
constexpr std::uint8_t kCalibrated = 2;

constexpr std::array<std::string_view, CUBXParser::kPositionTypeCount> kPositionTypeNames = {
    "POSLLH", "PVT", "HPPOSLLH"};

std::uint16_t KeyOf(std::span<const std::uint8_t> frame)
{
    return static_cast<std::uint16_t>(frame[2] << 8 | frame[3]);
}

std::size_t PayloadLength(const std::uint8_t* frame)
{
    return static_cast<std::size_t>(frame[4] | frame[5] << 8);
}

// NAV messages carry their time of week at offset 0, these few at 4. NAV-PL (0x62) and 0x64
// start with a version byte instead; read as a time it would flip epochs back and forth.
constexpr std::size_t kNoTimeOfWeek = ~std::size_t{0};
std::size_t TimeOfWeekOffset(std::uint8_t id)
{
    switch (id) {
        case 0x62:
        case 0x64: return kNoTimeOfWeek;
        case 0x09:
        case 0x13:
        case 0x14:
        case 0x3B:
        case 0x3C: return 4;
        default: return 0;
    }
}

std::int32_t PositionTypeOfKey(std::uint16_t key)
{
    switch (key) {
        case CUBXParser::kNavPosLlh: return CUBXParser::PosLlh;
        case CUBXParser::kNavPvt: return CUBXParser::Pvt;
        case CUBXParser::kNavHpPosLlh: return CUBXParser::HpPosLlh;
        default: return CUBXParser::NoPositionType;
    }
}

// gnssId to constellation row; -1 for the ones not shown.
std::int32_t RowOfGnssId(std::uint8_t gnssId)
{
    switch (gnssId) {
        case 0: return static_cast<std::int32_t>(Constellation::Gps);
        case 1: return static_cast<std::int32_t>(Constellation::Sbas);
        case 2: return static_cast<std::int32_t>(Constellation::Galileo);
        case 3: return static_cast<std::int32_t>(Constellation::BeiDou);
        case 5: return static_cast<std::int32_t>(Constellation::Qzss);
        case 6: return static_cast<std::int32_t>(Constellation::Glonass);
        default: return -1;
    }
}

// NAV-PVT fix type and flags (gnssFixOK bit 0, diffSoln bit 1, carrSoln bits 6-7) to the
// GGA quality codes.
std::int32_t PvtFixQuality(std::uint8_t fixType, std::uint8_t flags)
{
    if (fixType == 1) return 6;  // dead reckoning only
    if (fixType < 2 || fixType > 4 || !(flags & 0x01)) return 0;
    switch (flags >> 6) {
        case 2: return 4;  // carrier phase fixed
        case 1: return 5;  // carrier phase float
        default: return (flags & 0x02) ? 2 : 1;
    }
}

std::int32_t SlotOfSigId(std::uint8_t sigId)
{
    if (sigId <= 1) return 0;
    if (sigId <= 5) return 1;
    return -1;
}

std::size_t FindByte(const std::uint8_t* data, std::size_t from, std::size_t to, std::uint8_t c)
{
    if (from >= to) return to;
    const void* hit = std::memchr(data + from, c, to - from);
    return hit ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - data) : to;
}

// Length of the whole frame at data[at] (sync bytes checked), or 0 when it is not complete.
std::size_t CompleteFrameLength(const std::uint8_t* data, std::size_t at, std::size_t size)
{
    if (size - at < CUBXParser::kHeaderLength || data[at + 1] != CUBXParser::kSync2) return 0;
    const std::size_t length = PayloadLength(data + at) + CUBXParser::kFrameOverhead;
    return length <= size - at ? length : 0;
}

}  // namespace

std::uint32_t CUBXParser::KindCode(std::uint16_t key)
{
    switch (key) {
        case kNavPosEcef:
        case kNavHpPosEcef: return ContentFlag::EcefPosition;
        case kNavPosLlh:
        case kNavHpPosLlh: return ContentFlag::Position | ContentFlag::Height;
        case kNavStatus: return ContentFlag::FixQuality;
        case kNavDop: return ContentFlag::Dop;
        case kNavPvt:
            return ContentFlag::Position | ContentFlag::Height | ContentFlag::FixMode |
                   ContentFlag::TimeOfDay | ContentFlag::Date | ContentFlag::Speed;
        case kNavVelNed: return ContentFlag::Speed;
        case kNavTimeUtc:
        case kTimTp: return ContentFlag::TimeOfDay | ContentFlag::Date;
        case kNavSat: return ContentFlag::SatellitesInView | ContentFlag::SatellitesUsed;
        default: return ContentFlag::Unknown;
    }
}

CUBXParser::CUBXParser(IParserOwner* owner)
    : owner_(owner), hasWindow_(owner != nullptr && owner->HasWindow())
{
}

std::string_view CUBXParser::GetPositionTypeNameAt(std::int32_t index) const
{
    if (index < 0 || index >= kPositionTypeCount) return {};
    return kPositionTypeNames[static_cast<std::size_t>(index)];
}

void CUBXParser::Reset()
{
    state_->Clear();
    ClearErrors();
    timeIndex_.Clear();
    sensors_ = {};
    calibratedSensors_ = 0;
    positionType_ = NoPositionType;
    partial_ = false;
    hasTime_ = false;
    lastFrame_.clear();
}

bool CUBXParser::ChecksumWanted(bool check) const
{
    return check && !(owner_ && owner_->SkipChecksum());
}

bool CUBXParser::VerifyChecksum(std::span<const std::uint8_t> message)
{
    if (message.size() < kFrameOverhead) return false;
    std::uint8_t a = 0, b = 0;
    const std::size_t end = message.size() - 2;
    for (std::size_t i = 2; i < end; ++i) {
        a = static_cast<std::uint8_t>(a + message[i]);
        b = static_cast<std::uint8_t>(b + a);
    }
    return a == message[end] && b == message[end + 1];
}

std::uint32_t CUBXParser::FindMessage(std::span<const std::uint8_t> buffer, std::size_t& start,
                                      std::size_t& length, bool check, bool stopOnError)
{
    partial_ = false;
    start = 0;
    length = buffer.size();
    const std::uint8_t* data = buffer.data();
    const std::size_t size = buffer.size();
    const bool verify = ChecksumWanted(check);
    std::uint32_t result = 0;
    std::size_t candidate = 0;
    // A lone 0xB5 in the last byte is still kept as the start of a frame.
    for (std::size_t pos = 0; pos < size;) {
        candidate = FindByte(data, pos, size, kSync1);
        if (candidate == size) break;
        partial_ = true;
        if (size - candidate < 2) break;
        if (data[candidate + 1] != kSync2) {
            partial_ = false;
            pos = candidate + 1;
            continue;
        }
        if (size - candidate < kHeaderLength) break;
        const std::size_t frameLength = PayloadLength(data + candidate) + kFrameOverhead;
        if (size - candidate < frameLength) break;
        const auto frame = buffer.subspan(candidate, frameLength);
        if (verify && !VerifyChecksum(frame)) {
            LogChecksumError();
            partial_ = false;
            if (stopOnError) break;
            pos = candidate + 1;
            continue;
        }
        if (check) lastFrame_.assign(frame.begin(), frame.end());
        partial_ = false;
        start = candidate;
        length = frameLength;
        result = KindCode(KeyOf(frame));
        break;
    }
    if (partial_) {
        start = candidate;
        length = size - candidate;
    }
    if (owner_ && !(owner_->ProtocolsSeen() & (1u << GetProtocolId())))
        owner_->MarkProtocolSeen(GetProtocolId());
    return result;
}

std::string CUBXParser::GetHexText() const
{
    std::string text;
    AppendHex(text, lastFrame_);
    return text;
}

bool CUBXParser::FindPositionMessage(std::span<const std::uint8_t> buffer, std::size_t& start,
                                     std::size_t& length)
{
    start = 0;
    length = buffer.size();
    // Damaged frames are passed over quietly: this is a look-ahead, not the intake.
    const bool verify = ChecksumWanted(true);
    std::size_t pos = 0;
    while (pos < buffer.size()) {
        const auto rest = buffer.subspan(pos);
        std::size_t at = 0, size = 0;
        if (FindMessage(rest, at, size, false, false) == 0) break;
        const auto frame = rest.subspan(at, size);
        if (verify && !VerifyChecksum(frame)) {
            pos += at + 1;
            continue;
        }
        if (PositionTypeOfKey(KeyOf(frame)) != NoPositionType) {
            ParseMessage(frame, true);
            if (state_->Has(ContentFlag::Position | ContentFlag::TimeOfDay)) {
                start = pos + at;
                length = size;
                return true;
            }
        }
        pos += at + size;
    }
    return false;
}

bool CUBXParser::IsAtDataEnd(const std::uint8_t* position) const
{
    return NearIntakeEnd(owner_, position);
}

std::uint64_t CUBXParser::GetPosition(std::array<double, 3>& position) const
{
    return PositionOfState(position);
}

std::int32_t CUBXParser::ParseMessage(std::span<const std::uint8_t> message, bool trial)
{
    if (message.data() == nullptr || message.size() < 4) return 0;
    const std::uint16_t key = KeyOf(message);
    // The payload ends where the length field says, but never inside the checksum bytes.
    std::span<const std::uint8_t> payload;
    if (message.size() >= kFrameOverhead) {
        const std::size_t end =
            std::min(kHeaderLength + PayloadLength(message.data()), message.size() - 2);
        payload = message.subspan(kHeaderLength, end - kHeaderLength);
    }
    const bool suppressed = suppressCallbacks_;
    if (trial) suppressCallbacks_ = true;

    // TIM-TP names the next pulse, a second ahead of the navigation epoch: it is not a clock
    // for the epoch rule.
    if (message[2] == kClassNav) {
        if (const auto tow = CByteReader(payload).Le<std::uint32_t>(TimeOfWeekOffset(message[3])))
            NavEpoch(*tow % kMsPerDay);
    }

    std::uint32_t found = 0;
    switch (key) {
        case kNavPosLlh: found = HandlePosLlh(payload); break;
        case kNavStatus: found = HandleStatus(payload); break;
        case kNavDop: found = HandleDop(payload); break;
        case kNavPvt: found = HandlePvt(payload); break;
        case kNavHpPosLlh: found = HandleHpPosLlh(payload); break;
        case kNavTimeUtc: found = HandleTimeUtc(payload); break;
        case kNavSat: found = HandleSat(payload); break;
        case kNavSig: found = ContentFlag::Unknown | HandleSig(payload); break;
        case kMonHw: found = ContentFlag::Unknown | HandleMonHw(payload); break;
        case kTimTp: found = HandleTimTp(payload); break;
        case kEsfStatus: found = ContentFlag::Unknown | HandleEsfStatus(payload); break;
        default: found = KindCode(key); break;
    }
    state_->contentFlags |= found;
    suppressCallbacks_ = suppressed;
    return static_cast<std::int32_t>(state_->contentFlags);
}

void CUBXParser::NavEpoch(std::uint64_t time)
{
    GnssReceiverState& s = *state_;
    const bool replaying = owner_ && owner_->IsReplayRunning();
    if (positionSource_ && hasTime_ && !replaying && time != s.timeOfDayMs && hasWindow_ &&
        !suppressCallbacks_ && owner_) {
        if (owner_->IsNewEpoch(time)) owner_->OnEpochComplete(*this);
    }
    if (!hasTime_ || time != s.timeOfDayMs) {
        s.timeOfDayMs = time;
        s.timeOfDaySec = static_cast<std::uint32_t>(time / 1000);
        s.contentFlags |= ContentFlag::TimeOfDay;
        hasTime_ = true;
    }
}

void CUBXParser::AskForPositionSource()
{
    if (!positionSource_ && hasWindow_ && owner_ && !suppressCallbacks_)
        owner_->SelectPositionSource(static_cast<std::int32_t>(ProtocolId::Ubx));
}

void CUBXParser::ShowFlagByte(std::uint8_t flags) const
{
    if (!HasDiagnostics()) return;
    char line[24];
    std::snprintf(line, sizeof line, "btFlag : %02X\r\n", flags);
    Diagnostic(line);
}

void CUBXParser::SetCalendarTexts(std::int32_t year, std::int32_t month, std::int32_t day,
                                  std::int32_t hour, std::int32_t minute, std::int32_t second)
{
    state_->timeText = SixDigits(hour, minute, second);
    state_->dateText = SixDigits(day, month, year);
}

// h / sqrt(2) on each axis keeps the horizontal error of the two together at h.
void CUBXParser::StoreAccuracy(double horizontal, double vertical)
{
    state_->horizontalAccuracy = static_cast<float>(horizontal);
    state_->sigmaLat = state_->sigmaLon = static_cast<float>(horizontal / std::sqrt(2.0));
    state_->sigmaAlt = static_cast<float>(vertical);
}

std::uint32_t CUBXParser::HandlePosLlh(std::span<const std::uint8_t> payload)
{
    const CByteReader r(payload);
    std::uint32_t found = 0;
    const auto lon = r.Le<std::int32_t>(4), lat = r.Le<std::int32_t>(8);
    if (lon && lat) {
        state_->longitudeDeg = *lon * 1e-7;
        state_->latitudeDeg = *lat * 1e-7;
        found |= ContentFlag::Position;
    }
    const auto height = r.Le<std::int32_t>(12), msl = r.Le<std::int32_t>(16);
    if (height && msl) {
        state_->ellipsoidHeight = *height * 1e-3;
        state_->mslAltitude = *msl * 1e-3;
        found |= ContentFlag::Height;
    }
    const auto hAcc = r.Le<std::uint32_t>(20), vAcc = r.Le<std::uint32_t>(24);
    if (hAcc && vAcc) StoreAccuracy(*hAcc * 1e-3, *vAcc * 1e-3);
    AskForPositionSource();
    return found;
}

std::uint32_t CUBXParser::HandleStatus(std::span<const std::uint8_t> payload)
{
    const CByteReader r(payload);
    GnssReceiverState& s = *state_;
    std::uint32_t found = 0;
    if (const auto gpsFix = r.Le<std::uint8_t>(4)) {
        found |= ContentFlag::FixQuality;
        switch (*gpsFix) {
            case 0: s.fixQuality = 0; break;
            case 1: s.fixQuality = 6; break;
            case 2:
            case 3:
                s.fixMode = *gpsFix;
                if (const auto flags = r.Le<std::uint8_t>(5)) {
                    const int solution = *flags & 0x3;
                    if (solution == 1) s.fixQuality = 1;
                    if (solution >= 2) s.fixQuality = 2;
                }
                break;
            default: break;
        }
    }
    if (const auto flags2 = r.Le<std::uint8_t>(7)) {
        const int spoofing = (*flags2 >> 3) & 0x3;
        if (spoofing == 2)
            s.interferenceFlags |= 0x10;
        else if (spoofing == 3)
            s.interferenceFlags |= 0x20;
        else
            s.interferenceFlags &= 0x0F;
        ShowFlagByte(*flags2);
    }
    if (s.interferenceFlags != 0) found |= ContentFlag::Interference;
    return found;
}

std::uint32_t CUBXParser::HandleDop(std::span<const std::uint8_t> payload)
{
    const CByteReader r(payload);
    const auto p = r.Le<std::uint16_t>(6), v = r.Le<std::uint16_t>(10), h = r.Le<std::uint16_t>(12);
    if (!p || !v || !h) return 0;
    state_->pdop = *p * 0.01f;
    state_->vdop = *v * 0.01f;
    state_->hdop = *h * 0.01f;
    return ContentFlag::Dop;
}

std::uint32_t CUBXParser::HandlePvt(std::span<const std::uint8_t> payload)
{
    const CByteReader r(payload);
    GnssReceiverState& s = *state_;
    std::uint32_t found = 0;
    if (r.Has(4, 7)) {
        SetCalendarTexts(*r.Le<std::uint16_t>(4), payload[6], payload[7], payload[8], payload[9],
                         payload[10]);
        found |= ContentFlag::TimeOfDay | ContentFlag::Date;
    }
    if (const auto fixType = r.Le<std::uint8_t>(20)) {
        s.fixMode = *fixType;
        found |= ContentFlag::FixMode;
        // A receiver that sends only NAV-PVT still says what kind of fix it has; without
        // this its RTK fixes would show as invalid.
        if (const auto flags = r.Le<std::uint8_t>(21)) {
            s.fixQuality = PvtFixQuality(*fixType, *flags);
            found |= ContentFlag::FixQuality;
        }
    }
    if (const auto used = r.Le<std::uint8_t>(23)) s.satellitesUsed = *used;
    const auto lon = r.Le<std::int32_t>(24), lat = r.Le<std::int32_t>(28);
    if (lon && lat) {
        s.longitudeDeg = *lon * 1e-7;
        s.latitudeDeg = *lat * 1e-7;
        found |= ContentFlag::Position;
    }
    const auto height = r.Le<std::int32_t>(32), msl = r.Le<std::int32_t>(36);
    if (height && msl) {
        s.ellipsoidHeight = *height * 1e-3;
        s.mslAltitude = *msl * 1e-3;
        s.geoidSeparation = s.ellipsoidHeight - s.mslAltitude;
        found |= ContentFlag::Height;
    }
    const auto hAcc = r.Le<std::uint32_t>(40), vAcc = r.Le<std::uint32_t>(44);
    if (hAcc && vAcc) StoreAccuracy(*hAcc * 1e-3, *vAcc * 1e-3);
    if (const auto speed = r.Le<std::int32_t>(60)) {
        s.speedKmh = static_cast<float>(*speed * 0.0036);
        found |= ContentFlag::Speed;
    }
    AskForPositionSource();
    return found;
}

std::uint32_t CUBXParser::HandleHpPosLlh(std::span<const std::uint8_t> payload)
{
    const CByteReader r(payload);
    GnssReceiverState& s = *state_;
    std::uint32_t found = 0;
    const auto lon = r.Le<std::int32_t>(8), lat = r.Le<std::int32_t>(12);
    const auto lonHp = r.Le<std::int8_t>(24), latHp = r.Le<std::int8_t>(25);
    if (lon && lat && lonHp && latHp) {
        s.longitudeDeg = *lon * 1e-7 + *lonHp * 1e-9;
        s.latitudeDeg = *lat * 1e-7 + *latHp * 1e-9;
        found |= ContentFlag::Position;
    }
    const auto height = r.Le<std::int32_t>(16), msl = r.Le<std::int32_t>(20);
    const auto heightHp = r.Le<std::int8_t>(26), mslHp = r.Le<std::int8_t>(27);
    if (height && msl && heightHp && mslHp) {
        s.ellipsoidHeight = *height * 1e-3 + *heightHp * 1e-4;
        s.mslAltitude = *msl * 1e-3 + *mslHp * 1e-4;
        found |= ContentFlag::Height;
    }
    const auto hAcc = r.Le<std::uint32_t>(28), vAcc = r.Le<std::uint32_t>(32);
    if (hAcc && vAcc) StoreAccuracy(*hAcc * 1e-4, *vAcc * 1e-4);
    AskForPositionSource();
    return found;
}

std::uint32_t CUBXParser::HandleTimeUtc(std::span<const std::uint8_t> payload)
{
    const CByteReader r(payload);
    if (!r.Has(12, 7)) return 0;
    SetCalendarTexts(*r.Le<std::uint16_t>(12), payload[14], payload[15], payload[16], payload[17],
                     payload[18]);
    return ContentFlag::TimeOfDay | ContentFlag::Date;
}

std::uint32_t CUBXParser::HandleTimTp(std::span<const std::uint8_t> payload)
{
    const CByteReader r(payload);
    const auto towMs = r.Le<std::uint32_t>(0);
    const auto week = r.Le<std::uint16_t>(12);
    if (!towMs || !week) return 0;
    const CalendarTime t = GpsToCalendar(*week, *towMs);
    SetCalendarTexts(t.year, t.month, t.day, t.hour, t.minute, t.second);
    return ContentFlag::TimeOfDay | ContentFlag::Date;
}

std::uint32_t CUBXParser::HandleSat(std::span<const std::uint8_t> payload)
{
    const CByteReader r(payload);
    const auto numSvs = r.Le<std::uint8_t>(5);
    if (!numSvs) return 0;
    GnssReceiverState& s = *state_;
    for (std::size_t i = 0, at = 8; i < *numSvs && r.Has(at, kNavSatBlock);
         ++i, at += kNavSatBlock) {
        const std::uint8_t cno = payload[at + 2];
        const std::int32_t row = RowOfGnssId(payload[at]);
        if (cno == 0 || row < 0) continue;
        const std::int32_t prn = payload[at + 1];
        SatelliteInView* entries = s.satellitesInView[row];
        std::int32_t& count = s.inViewCount[row];
        std::int32_t index = 0;
        while (index < count && entries[index].prn != prn) ++index;
        if (index < count) {
            // A second report in the same epoch is the second signal.
            entries[index].snr[1] = cno;
            entries[index].signalMask |= 0x2;
        } else {
            SatelliteInView& sat = entries[index];
            sat.prn = prn;
            sat.elevationDeg = static_cast<std::int8_t>(payload[at + 3]);
            sat.azimuthDeg = *r.Le<std::int16_t>(at + 4);
            sat.snr[0] = cno;
            sat.signalMask = 1;
            sat.constellation = row;
            count = (count + 1) % kMaxInViewPerConstellation;
            ++s.inViewTotal;
        }
        s.lastUpdatedIndex[row] = index;
        if (!(*r.Le<std::uint32_t>(at + 8) & kSatelliteUsed)) continue;
        std::int32_t* used = s.usedPrn[row];
        std::int32_t& usedCount = s.usedCount[row];
        if (std::find(used, used + usedCount, prn) != used + usedCount) continue;
        used[usedCount] = prn;
        usedCount = (usedCount + 1) % kMaxUsedPerConstellation;
        ++s.usedTotal;
    }
    return ContentFlag::SatellitesInView | ContentFlag::SatellitesUsed;
}

std::uint32_t CUBXParser::HandleSig(std::span<const std::uint8_t> payload)
{
    const CByteReader r(payload);
    const auto numSigs = r.Le<std::uint8_t>(5);
    if (!numSigs) return 0;
    GnssReceiverState& s = *state_;
    for (std::size_t i = 0, at = 8; i < *numSigs && r.Has(at, kNavSigBlock);
         ++i, at += kNavSigBlock) {
        const std::int32_t row = RowOfGnssId(payload[at]);
        const std::int32_t slot = SlotOfSigId(payload[at + 2]);
        if (row < 0 || slot < 0) continue;
        const std::int32_t prn = payload[at + 1];
        SatelliteInView* entries = s.satellitesInView[row];
        for (std::int32_t k = 0; k < s.inViewCount[row]; ++k) {
            if (entries[k].prn != prn) continue;
            entries[k].snr[slot] = payload[at + 6];
            entries[k].signalMask |= 1u << slot;
        }
    }
    return 0;
}

std::uint32_t CUBXParser::HandleMonHw(std::span<const std::uint8_t> payload)
{
    const auto flags = CByteReader(payload).Le<std::uint8_t>(22);
    if (!flags) return 0;
    GnssReceiverState& s = *state_;
    const int jamming = (*flags >> 2) & 0x3;
    if (jamming == 2)
        s.interferenceFlags |= 0x01;
    else if (jamming == 3)
        s.interferenceFlags |= 0x02;
    else
        s.interferenceFlags &= 0xF0;
    ShowFlagByte(*flags);
    return s.interferenceFlags != 0 ? ContentFlag::Interference : 0;
}

std::uint32_t CUBXParser::HandleEsfStatus(std::span<const std::uint8_t> payload)
{
    const CByteReader r(payload);
    sensors_ = {};
    calibratedSensors_ = 0;
    const auto numSens = r.Le<std::uint8_t>(15);
    if (!numSens) return 0;
    std::size_t sensors = 0, calibrated = 0;
    std::uint8_t secondCalibration = 0;
    for (std::size_t at = 16; sensors < *numSens && r.Has(at, kEsfSensorBlock);
         ++sensors, at += kEsfSensorBlock) {
        if (!(payload[at] & kSensorUsed)) continue;
        const SensorStatus status{static_cast<std::uint8_t>(payload[at + 1] & 0x3),
                                  static_cast<std::uint8_t>((payload[at + 1] >> 2) & 0x3)};
        if (sensors == 1) secondCalibration = status.calibration;
        if (status.calibration >= kCalibrated) ++calibrated;
        if (sensors >= kMaxSensors) continue;
        sensors_[sensors] = status;
        if (status.calibration >= kCalibrated) ++calibratedSensors_;
    }
    // The second sensor may stay uncalibrated; any other one may not. No sensors, no claim.
    const std::size_t uncalibrated = sensors - calibrated;
    state_->sensorsCalibrated =
        sensors > 0 && (uncalibrated == 0 ||
                        (uncalibrated == 1 && sensors > 1 && secondCalibration < kCalibrated));
    return ContentFlag::SensorStatus;
}

// ---- time index ----

void CUBXParser::BuildTimeIndex(std::span<const std::uint8_t> log, std::uint64_t filePosition,
                                bool incremental)
{
    const bool onlySelected = incremental && positionType_ != NoPositionType;
    if (!onlySelected) timeIndex_.Clear();
    const bool verify = ChecksumWanted(true);
    const std::uint8_t* data = log.data();
    const std::size_t size = log.size();
    std::size_t at = FindByte(data, 0, size, kSync1);
    while (at < size) {
        const std::size_t length = CompleteFrameLength(data, at, size);
        const auto frame = log.subspan(at, length);
        // A damaged frame would put a wrong time into the index; resynchronise behind its sync.
        if (length == 0 || (verify && !VerifyChecksum(frame))) {
            at = FindByte(data, at + 1, size, kSync1);
            continue;
        }
        const std::int32_t type = PositionTypeOfKey(KeyOf(frame));
        if (type != NoPositionType && !(onlySelected && type != positionType_)) {
            const CByteReader payload(frame.subspan(kHeaderLength, length - kFrameOverhead));
            if (const auto tow = payload.Le<std::uint32_t>(TimeOfWeekOffset(frame[3])))
                timeIndex_.Add(type, *tow % kMsPerDay, filePosition + at,
                               static_cast<std::uint32_t>(length));
        }
        at = FindByte(data, at + length, size, kSync1);
    }
    if (!onlySelected) positionType_ = timeIndex_.Select();
}

std::uint64_t CUBXParser::DecodeAtTime(std::uint64_t timeOfDayMs, EpochPosition& position,
                                       std::span<const std::uint8_t> log,
                                       std::uint64_t filePosition, std::uint64_t& epochOffset,
                                       std::size_t& epochLength)
{
    return DecodeIndexedEpoch(timeIndex_, positionType_, timeOfDayMs, position, log, filePosition,
                              epochOffset, epochLength, [&](bool quiet) {
                                  suppressCallbacks_ = quiet;
                                  if (quiet) hasTime_ = false;
                              });
}
