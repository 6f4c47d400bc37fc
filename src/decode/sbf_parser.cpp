#include "decode/sbf_parser.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "decode/gps_time.h"
#include "decode/parser_owner.h"

namespace {

constexpr std::uint8_t kSync1 = '$';
constexpr std::uint8_t kSync2 = 0x40;
constexpr std::uint16_t kBlockNumberMask = 0x1FFF;
constexpr std::uint64_t kMsPerDay = 86400000;
constexpr double kRadToDeg = 57.295779513;

// Offsets shared by every block.
constexpr std::size_t kCrcAt = 2;
constexpr std::size_t kIdAt = 4;
constexpr std::size_t kLengthAt = 6;
constexpr std::size_t kTowAt = 8;
constexpr std::size_t kWncAt = 12;

// Bytes up to the first sub-block of ChannelStatus and MeasEpoch.
constexpr std::size_t kSubBlocksAt = 20;
// The last fixed field of PVTGeodetic (VAccuracy) and of DOP (VDOP) ends here.
constexpr std::size_t kPvtGeodeticFixedLength = 94;
constexpr std::size_t kDopFixedLength = 24;

constexpr std::uint32_t kCodeDop = 0x04000000;
constexpr std::uint32_t kCodePvtGeodetic = 0x22570000;
constexpr std::uint32_t kCodeChannelStatus = 0x18000000;
constexpr std::uint32_t kCodeVelCovGeodetic = 0x02000000;
constexpr std::uint32_t kCodeAttEuler = 0x01000000;

// CRC-16 tables for eight bytes at a time: table k is the CRC of one byte followed by k zero
// bytes, so the eight lookups of a word can be XORed together.
constexpr auto kCrcTables = [] {
    std::array<std::array<std::uint16_t, 256>, 8> tables{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t crc = i << 8;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1;
        tables[0][i] = static_cast<std::uint16_t>(crc);
    }
    for (std::size_t k = 1; k < tables.size(); ++k)
        for (std::size_t i = 0; i < 256; ++i) {
            const std::uint16_t previous = tables[k - 1][i];
            tables[k][i] = static_cast<std::uint16_t>((previous << 8) ^ tables[0][previous >> 8]);
        }
    return tables;
}();

// SBF SVID to constellation row; 0 when it names none the tables keep.
std::int32_t SvidToConstellation(std::int32_t svid)
{
    using C = Constellation;
    C c = C::Unspecified;
    if (svid >= 1 && svid <= 37)
        c = C::Gps;
    else if (svid >= 38 && svid <= 68)
        c = C::Glonass;
    else if (svid >= 71 && svid <= 106)
        c = C::Galileo;
    else if ((svid >= 120 && svid <= 140) || (svid >= 198 && svid <= 215))
        c = C::Sbas;
    else if (svid >= 141 && svid <= 180)
        c = C::BeiDou;
    else if (svid >= 181 && svid <= 187)
        c = C::Qzss;
    return static_cast<std::int32_t>(c);
}

// Signal number to signal slot; -1 for signals that are not shown.
int SignalSlot(std::uint32_t signal)
{
    constexpr std::uint32_t kSlot0 = (1u << 0) | (1u << 1) | (1u << 5) | (1u << 6) | (1u << 8) |
                                     (1u << 9) | (1u << 13) | (1u << 17) | (1u << 24) | (1u << 28);
    constexpr std::uint32_t kSlot1 = (1u << 2) | (1u << 3) | (1u << 7) | (1u << 10) | (1u << 11) |
                                     (1u << 14) | (1u << 22) | (1u << 29);
    if (signal > 31) return -1;
    if (kSlot0 & (1u << signal)) return 0;
    if (kSlot1 & (1u << signal)) return 1;
    return -1;
}

// CN0 in 0.25 dB-Hz; the P-code signals 1 and 2 have no 10 dB-Hz offset.
std::int32_t SignalLevel(std::uint8_t cn0, std::uint32_t signal)
{
    return cn0 / 4 + ((signal == 1 || signal == 2) ? 0 : 10);
}

void StoreLevel(SatelliteInView& sat, std::uint32_t signal, std::uint8_t cn0)
{
    const int slot = SignalSlot(signal);
    if (slot < 0) return;
    const std::int32_t level = SignalLevel(cn0, signal);
    const std::uint32_t bit = 1u << slot;
    if (!(sat.signalMask & bit) || level > sat.snr[slot]) sat.snr[slot] = level;
    sat.signalMask |= bit;
}

// Out-of-range values are clamped: a float conversion that overflows is undefined.
float ToFloat(double v)
{
    if (std::isnan(v)) return std::numeric_limits<float>::quiet_NaN();
    constexpr double kMax = std::numeric_limits<float>::max();
    return static_cast<float>(std::clamp(v, -kMax, kMax));
}

std::int32_t ModeToFixQuality(std::uint32_t mode)
{
    switch (mode) {
        case 0: return 0;
        case 1: return 1;
        case 2:
        case 3:
        case 6: return 2;
        case 4:
        case 7: return 4;
        case 5:
        case 8: return 5;
        case 10: return 3;
        default: return -1;
    }
}

template <class T>
T Or(std::optional<T> value, T fallback)
{
    return value ? *value : fallback;
}

}  // namespace

std::uint32_t CSBFParser::KindCode(std::uint16_t blockNumber)
{
    switch (blockNumber) {
        case kDop: return kCodeDop;
        case kPvtGeodetic: return kCodePvtGeodetic;
        case kChannelStatus: return kCodeChannelStatus;
        // MeasEpoch delivers satellites and their signal levels.
        case kMeasEpoch: return ContentFlag::SatellitesInView;
        case kStepOver: return 0;
        case kVelCovGeodetic: return kCodeVelCovGeodetic;
        case kAttEuler: return kCodeAttEuler;
        default: return ContentFlag::Unknown;
    }
}

std::uint16_t CSBFParser::Crc16(std::span<const std::uint8_t> bytes)
{
    const auto& t = kCrcTables;
    std::uint16_t crc = 0;
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        const std::uint8_t* b = bytes.data() + i;
        crc = static_cast<std::uint16_t>(t[7][(crc >> 8) ^ b[0]] ^ t[6][(crc & 0xFF) ^ b[1]] ^
                                         t[5][b[2]] ^ t[4][b[3]] ^ t[3][b[4]] ^ t[2][b[5]] ^
                                         t[1][b[6]] ^ t[0][b[7]]);
    }
    for (; i < bytes.size(); ++i)
        crc = static_cast<std::uint16_t>((crc << 8) ^ t[0][((crc >> 8) ^ bytes[i]) & 0xFF]);
    return crc;
}

CSBFParser::CSBFParser(IParserOwner* owner)
    : owner_(owner), hasWindow_(owner != nullptr && owner->HasWindow())
{
}

void CSBFParser::Reset()
{
    state_->Clear();
    ClearErrors();
    timeIndex_.Clear();
    partial_ = false;
    hasTime_ = false;
    lastFrame_.clear();
}

bool CSBFParser::VerifyChecksum(std::span<const std::uint8_t> message)
{
    const CByteReader reader(message);
    const auto crc = reader.Le<std::uint16_t>(kCrcAt);
    if (!crc || message.size() < kHeaderLength) return false;
    return Crc16(message.subspan(kIdAt)) == *crc;
}

CSBFParser::Frame CSBFParser::FrameAt(std::span<const std::uint8_t> buffer, std::size_t at,
                                      std::size_t& blockLength)
{
    const std::size_t rest = buffer.size() - at;
    // A '$' followed by anything but the second sync byte cannot start a block.
    if (rest >= 2 && buffer[at + 1] != kSync2) return Frame::NotBlock;
    if (rest < kHeaderLength) return Frame::Partial;
    const std::size_t length = buffer[at + kLengthAt] | (buffer[at + kLengthAt + 1] << 8);
    if (length < kHeaderLength || length % 4 != 0) return Frame::NotBlock;
    blockLength = length;
    // Lengths are 16-bit, so waiting for the rest of a block is bounded.
    return rest < length ? Frame::Partial : Frame::Complete;
}

std::uint32_t CSBFParser::FindMessage(std::span<const std::uint8_t> buffer, std::size_t& start,
                                      std::size_t& length, bool check, bool stopOnError)
{
    partial_ = false;
    start = 0;
    length = buffer.size();
    const bool verify = check && !(owner_ && owner_->SkipChecksum());
    const std::uint8_t* data = buffer.data();
    const std::size_t size = buffer.size();
    std::uint32_t result = 0;
    std::size_t candidate = 0;
    std::size_t pos = 0;
    while (pos < size) {
        const void* hit = std::memchr(data + pos, kSync1, size - pos);
        if (!hit) break;
        candidate = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - data);
        std::size_t blockLength = 0;
        const Frame frame = FrameAt(buffer, candidate, blockLength);
        if (frame == Frame::Partial) {
            partial_ = true;
            break;
        }
        if (frame == Frame::NotBlock) {
            pos = candidate + 1;
            continue;
        }
        const auto block = buffer.subspan(candidate, blockLength);
        if (verify && !VerifyChecksum(block)) {
            LogChecksumError();
            if (stopOnError) break;
            pos = candidate + 1;
            continue;
        }
        if (check) lastFrame_.assign(block.begin(), block.end());
        const auto number =
            static_cast<std::uint16_t>((block[kIdAt] | (block[kIdAt + 1] << 8)) & kBlockNumberMask);
        const std::uint32_t code = KindCode(number);
        if (code != 0) {
            start = candidate;
            length = blockLength;
            result = code;
            break;
        }
        pos = candidate + blockLength;
    }
    if (partial_) {
        start = candidate;
        length = size - candidate;
    }
    if (owner_ && !(owner_->ProtocolsSeen() & (1u << GetProtocolId())))
        owner_->MarkProtocolSeen(GetProtocolId());
    return result;
}

bool CSBFParser::FindPositionMessage(std::span<const std::uint8_t> buffer, std::size_t& start,
                                     std::size_t& length)
{
    std::size_t pos = 0;
    while (pos < buffer.size()) {
        std::size_t at = 0, size = 0;
        const auto rest = buffer.subspan(pos);
        const std::uint32_t code = FindMessage(rest, at, size, false, false);
        if (code == 0) break;
        const auto block = rest.subspan(at, size);
        // A damaged block must not pass for a position; it is not logged here either.
        if (code == kCodePvtGeodetic && VerifyChecksum(block)) {
            ParseMessage(block, true);
            if (state_->Has(ContentFlag::Position | ContentFlag::TimeOfDay)) {
                start = pos + at;
                length = size;
                return true;
            }
        }
        pos += at + size;
    }
    start = 0;
    length = buffer.size();
    return false;
}

std::string CSBFParser::GetHexText() const
{
    std::string text;
    AppendHex(text, lastFrame_);
    return text;
}

bool CSBFParser::IsAtDataEnd(const std::uint8_t* position) const
{
    return NearIntakeEnd(owner_, position);
}

std::uint64_t CSBFParser::GetPosition(std::array<double, 3>& position) const
{
    if (!(state_->contentFlags & ContentFlag::Position)) return kNoTime;
    position = {state_->latitudeDeg, state_->longitudeDeg,
                static_cast<double>(ToFloat(state_->ellipsoidHeight))};
    return state_->timeOfDayMs;
}

std::int32_t CSBFParser::ParseMessage(std::span<const std::uint8_t> message, bool trial)
{
    // The length field bounds the block when a caller passes more bytes than it holds.
    const auto declared = CByteReader(message).Le<std::uint16_t>(kLengthAt);
    if (declared && *declared >= kHeaderLength && *declared <= message.size())
        message = message.first(*declared);
    const CByteReader block(message);
    const auto id = block.Le<std::uint16_t>(kIdAt);
    if (!id) return static_cast<std::int32_t>(state_->contentFlags);
    const auto number = static_cast<std::uint16_t>(*id & kBlockNumberMask);
    const std::uint32_t code = KindCode(number);
    if (code == 0) return static_cast<std::int32_t>(state_->contentFlags);

    // Only the blocks read here carry the receiver's epoch time: navigation pages and
    // almanacs carry the time of their message, hours old at times.
    if (code != ContentFlag::Unknown) {
        const bool suppress = suppressEpochCallbacks_;
        suppressEpochCallbacks_ = suppress || trial;
        TakeTime(block);
        suppressEpochCallbacks_ = suppress;
    }
    std::uint32_t delivered = code;
    switch (number) {
        case kDop: delivered = HandleDop(block); break;
        case kPvtGeodetic: delivered = HandlePvtGeodetic(block); break;
        case kChannelStatus: delivered = HandleChannelStatus(block); break;
        case kMeasEpoch: delivered = HandleMeasEpoch(block); break;
        default: break;
    }
    state_->contentFlags |= delivered;
    return static_cast<std::int32_t>(state_->contentFlags);
}

void CSBFParser::TakeTime(const CByteReader& block)
{
    const auto tow = block.Le<std::uint32_t>(kTowAt);
    if (!tow) return;
    const std::uint64_t time = *tow % kMsPerDay;
    GnssReceiverState& s = *state_;
    const bool replaying = owner_ && owner_->IsReplayRunning();
    if (positionSource_ && hasTime_ && !replaying && time != s.timeOfDayMs && hasWindow_ &&
        !suppressEpochCallbacks_ && owner_) {
        if (owner_->IsNewEpoch(time)) owner_->OnEpochComplete(*this);
    }
    if (hasTime_ && time == s.timeOfDayMs) return;
    s.timeOfDayMs = time;
    s.timeOfDaySec = static_cast<std::uint32_t>(time / 1000);
    if (const auto wnc = block.Le<std::uint16_t>(kWncAt)) {
        const CalendarTime calendar = GpsToCalendar(*wnc, *tow);
        s.timeText = TimeText(calendar);
        s.dateText = DateText(calendar);
    }
    s.contentFlags |= ContentFlag::TimeOfDay;
    hasTime_ = true;
}

std::uint32_t CSBFParser::HandleDop(const CByteReader& block)
{
    GnssReceiverState& s = *state_;
    if (const auto v = block.Le<std::uint16_t>(16)) s.pdop = *v * 0.01f;
    if (const auto v = block.Le<std::uint16_t>(20)) s.hdop = *v * 0.01f;
    if (const auto v = block.Le<std::uint16_t>(22)) s.vdop = *v * 0.01f;
    return block.Size() >= kDopFixedLength ? kCodeDop : 0;
}

std::uint32_t CSBFParser::HandlePvtGeodetic(const CByteReader& block)
{
    GnssReceiverState& s = *state_;
    if (block.Size() < kPvtGeodeticFixedLength) {
        // Too short to hold a solution: nothing of it is taken.
        return 0;
    }
    const std::uint8_t mode = *block.Le<std::uint8_t>(14);
    const std::int32_t quality = ModeToFixQuality(mode & 0x0F);
    if (quality >= 0) {
        s.fixQuality = quality;
        s.contentFlags |= ContentFlag::FixQuality;
    } else {
        s.contentFlags &= ~ContentFlag::FixQuality;
    }
    s.fixMode = (mode & 0x80) ? 2 : 3;
    // Do-not-use values (-2e10) are kept as the receiver sent them.
    s.latitudeDeg = *block.Le<double>(16) * kRadToDeg;
    s.longitudeDeg = *block.Le<double>(24) * kRadToDeg;
    s.ellipsoidHeight = *block.Le<double>(32);
    s.geoidSeparation = *block.Le<float>(40);
    s.courseDeg = *block.Le<float>(56);
    s.satellitesUsed = *block.Le<std::uint8_t>(74);
    const float horizontal = *block.Le<std::uint16_t>(90) * 0.01f;
    s.horizontalAccuracy = horizontal;
    s.sigmaAlt = *block.Le<std::uint16_t>(92) * 0.01f;
    // Split evenly, so that their root sum square is the horizontal accuracy.
    s.sigmaLat = s.sigmaLon = static_cast<float>(horizontal / std::sqrt(2.0));
    if (!positionSource_ && hasWindow_ && owner_)
        owner_->SelectPositionSource(static_cast<std::int32_t>(ProtocolId::Sbf));
    // The mode alone decides whether the fix quality was delivered.
    return kCodePvtGeodetic & ~ContentFlag::FixQuality;
}

std::int32_t CSBFParser::FindOrAppendSatellite(std::int32_t row, std::int32_t svid)
{
    GnssReceiverState& s = *state_;
    SatelliteInView* entries = s.satellitesInView[row];
    std::int32_t& count = s.inViewCount[row];
    std::int32_t index = 0;
    while (index < count && entries[index].prn != svid) ++index;
    if (index == count) {
        entries[index] = SatelliteInView{};
        entries[index].prn = svid;
        entries[index].constellation = row;
        count = (count + 1) % kMaxInViewPerConstellation;
        ++s.inViewTotal;
    }
    s.lastUpdatedIndex[row] = index;
    return index;
}

std::uint32_t CSBFParser::HandleChannelStatus(const CByteReader& block)
{
    constexpr std::size_t kSatelliteFields = 10;  // through N2
    constexpr std::size_t kStatusFields = 6;      // through PVTStatus
    if (block.Size() < kSubBlocksAt) return 0;
    GnssReceiverState& s = *state_;
    const std::uint8_t count = *block.Le<std::uint8_t>(14);
    std::size_t satLength = *block.Le<std::uint8_t>(15);
    std::size_t stateLength = *block.Le<std::uint8_t>(16);
    if (satLength == 0) satLength = 13;
    if (stateLength == 0) stateLength = 8;
    if (satLength < kSatelliteFields || stateLength < kStatusFields) return 0;

    std::size_t pos = kSubBlocksAt;
    for (std::uint32_t i = 0; i < count && block.Has(pos, satLength); ++i) {
        const CByteReader sat(block.Sub(pos, satLength));
        pos += satLength;
        const std::int32_t svid = *sat.Le<std::uint8_t>(0);
        const std::uint8_t states = *sat.Le<std::uint8_t>(9);
        const std::int32_t row = SvidToConstellation(svid);
        const std::int32_t azimuth = *sat.Le<std::uint16_t>(4) & 0x1FF;
        const std::int32_t elevation = *sat.Le<std::int8_t>(8);
        bool complete = true;
        std::uint32_t used = 0;
        for (std::uint32_t j = 0; j < states; ++j) {
            if (!block.Has(pos, stateLength)) {
                complete = false;
                break;
            }
            std::uint32_t status = *block.Le<std::uint16_t>(pos + 4);
            pos += stateLength;
            // Two bits per signal; 2 means the signal is used in the solution.
            for (int field = 0; field < 8 && status != 0; ++field, status >>= 2)
                if ((status & 3) == 2) ++used;
        }
        if (row != 0) {
            const std::int32_t index = FindOrAppendSatellite(row, svid);
            SatelliteInView& entry = s.satellitesInView[row][index];
            entry.azimuthDeg = azimuth;
            entry.elevationDeg = elevation;
            for (std::uint32_t k = 0; k < used; ++k) {
                s.usedPrn[row][s.usedCount[row]] = svid;
                s.usedCount[row] = (s.usedCount[row] + 1) % kMaxUsedPerConstellation;
                ++s.usedTotal;
            }
        }
        if (!complete) break;
    }
    return kCodeChannelStatus;
}

std::uint32_t CSBFParser::HandleMeasEpoch(const CByteReader& block)
{
    constexpr std::size_t kType1Fields = 20;  // through N2
    constexpr std::size_t kType2Fields = 3;   // through CN0
    constexpr std::uint32_t kNoSignal = 31;
    if (block.Size() < kSubBlocksAt) return 0;
    GnssReceiverState& s = *state_;
    const std::uint8_t count = *block.Le<std::uint8_t>(14);
    std::size_t type1Length = *block.Le<std::uint8_t>(15);
    std::size_t type2Length = *block.Le<std::uint8_t>(16);
    if (type1Length == 0) type1Length = 20;
    if (type2Length == 0) type2Length = 17;
    if (type1Length < kType1Fields || type2Length < kType2Fields) return 0;

    std::size_t pos = kSubBlocksAt;
    for (std::uint32_t i = 0; i < count && block.Has(pos, type1Length); ++i) {
        const CByteReader type1(block.Sub(pos, type1Length));
        pos += type1Length;
        const std::uint32_t signal = *type1.Le<std::uint8_t>(1) & 0x1F;
        const std::int32_t svid = *type1.Le<std::uint8_t>(2);
        const std::uint8_t type2Count = *type1.Le<std::uint8_t>(19);
        const std::int32_t row = SvidToConstellation(svid);
        const bool skip = row == 0 || signal == kNoSignal;
        SatelliteInView* sat = nullptr;
        if (!skip) {
            // A satellite that ChannelStatus listed in this epoch is updated, not repeated.
            sat = &s.satellitesInView[row][FindOrAppendSatellite(row, svid)];
            StoreLevel(*sat, signal, *type1.Le<std::uint8_t>(15));
        }
        bool complete = true;
        for (std::uint32_t j = 0; j < type2Count; ++j) {
            if (!block.Has(pos, type2Length)) {
                complete = false;
                break;
            }
            if (sat)
                StoreLevel(*sat, *block.Le<std::uint8_t>(pos) & 0x1Fu,
                           *block.Le<std::uint8_t>(pos + 2));
            pos += type2Length;
        }
        if (!complete) break;
    }
    return ContentFlag::SatellitesInView;
}

// ---- time index ----

void CSBFParser::BuildTimeIndex(std::span<const std::uint8_t> log, std::uint64_t filePosition,
                                bool incremental)
{
    // The only position type is always selected, so an incremental call just adds.
    if (!incremental) timeIndex_.Clear();
    const bool verify = !(owner_ && owner_->SkipChecksum());
    const std::uint8_t* data = log.data();
    std::size_t pos = 0;
    while (pos < log.size()) {
        const void* hit = std::memchr(data + pos, kSync1, log.size() - pos);
        if (!hit) break;
        const auto at = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - data);
        std::size_t length = 0;
        // A length running past the end of the log belongs to no block that can be indexed;
        // the blocks behind it still can be.
        const Frame frame = FrameAt(log, at, length);
        const auto block = log.subspan(at, frame == Frame::Complete ? length : 0);
        // A damaged block would put a wrong time into the index.
        if (frame != Frame::Complete || (verify && !VerifyChecksum(block))) {
            pos = at + 1;
            continue;
        }
        pos = at + length;
        const CByteReader reader(block);
        const auto id = reader.Le<std::uint16_t>(kIdAt);
        const auto tow = reader.Le<std::uint32_t>(kTowAt);
        if (id && tow && (*id & kBlockNumberMask) == kPvtGeodetic)
            timeIndex_.Add(0, *tow % kMsPerDay, filePosition + at,
                           static_cast<std::uint32_t>(length));
    }
}

std::uint64_t CSBFParser::DecodeAtTime(std::uint64_t timeOfDayMs, EpochPosition& position,
                                       std::span<const std::uint8_t> log,
                                       std::uint64_t filePosition, std::uint64_t& epochOffset,
                                       std::size_t& epochLength)
{
    return DecodeIndexedEpoch(timeIndex_, 0, timeOfDayMs, position, log, filePosition, epochOffset,
                              epochLength, [&](bool quiet) {
                                  suppressEpochCallbacks_ = quiet;
                                  if (quiet) hasTime_ = false;
                              });
}
