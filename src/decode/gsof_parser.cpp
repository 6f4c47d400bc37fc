#include "decode/gsof_parser.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "decode/byte_reader.h"
#include "decode/gps_time.h"
#include "decode/parser_owner.h"

namespace {

constexpr double kRadiansToDegrees = 57.295779513;
constexpr double kMsToKmh = 3.6;
constexpr std::uint64_t kMsPerDay = 86400000;
// STX, status, type, length, then transmission number, page index, max page index.
constexpr std::size_t kHeaderSize = 7;
constexpr std::size_t kPageHeaderSize = 3;
constexpr std::size_t kLengthAt = 3;
constexpr std::size_t kRecordHeaderSize = 2;
constexpr std::size_t kSatelliteBlockSize = 10;
constexpr std::size_t kSatellitesAt = 3;
constexpr std::uint8_t kL1Tracked = 0x04;
constexpr std::uint8_t kL2Tracked = 0x08;
constexpr std::uint8_t kUsedInPosition = 0x40;
constexpr std::int32_t kGsofId = static_cast<std::int32_t>(ProtocolId::Gsof);

enum RecordType : std::uint8_t {
    kPositionTime = 1,
    kLlh = 2,
    kVelocity = 8,
    kDop = 9,
    kSigma = 12,
    kCurrentTime = 16,
    kReceivedBase = 35,
    kBasePosition = 41,
    kAllSatellites = 48,
};

// Out-of-range values are clamped: a float conversion that overflows is undefined.
float ToFloat(double v)
{
    constexpr double kMax = std::numeric_limits<float>::max();
    return static_cast<float>(std::clamp(v, -kMax, kMax));
}

// Calls visit(type, whole record) for each record that lies wholly inside records; returns
// the bytes walked. A length that runs past the end stops the walk.
template <class Visit>
std::size_t ForEachRecord(std::span<const std::uint8_t> records, Visit&& visit)
{
    std::size_t at = 0;
    while (records.size() - at >= kRecordHeaderSize) {
        const std::size_t size = kRecordHeaderSize + records[at + 1];
        if (records.size() - at < size) break;
        visit(records[at], records.subspan(at, size));
        at += size;
    }
    return at;
}

}  // namespace

void CGSOFParser::Joining::Reset()
{
    length = 0;
    transmission = -1;
    pageIndex = 0;
    maxPageIndex = 0;
    complete = false;
    consumed = false;
}

std::uint32_t CGSOFParser::KindCode(std::uint8_t recordType)
{
    switch (recordType) {
        case kPositionTime: return ContentFlag::FixQuality | ContentFlag::TimeOfDay;
        case kLlh: return ContentFlag::Position | ContentFlag::Height;
        case kVelocity: return ContentFlag::Speed;
        case kDop: return ContentFlag::Dop;
        case kSigma: return ContentFlag::ErrorDeviation;
        case kCurrentTime: return ContentFlag::TimeOfDay;
        case kReceivedBase: return ContentFlag::BaseStation;
        case kBasePosition: return ContentFlag::Baseline;
        case kAllSatellites: return ContentFlag::SatellitesInView | ContentFlag::SatellitesUsed;
        default: return ContentFlag::Unknown;
    }
}

CGSOFParser::CGSOFParser(IParserOwner* owner)
    : owner_(owner), hasWindow_(owner != nullptr && owner->HasWindow())
{
}

void CGSOFParser::Reset()
{
    state_->Clear();
    ClearErrors();
    timeIndex_.Clear();
    joining_.Reset();
    header_ = {};
    partial_ = false;
    hasTime_ = false;
    gpsMsOfWeek_ = 0;
    gpsWeek_ = 0;
}

bool CGSOFParser::VerifyChecksum(std::span<const std::uint8_t> message)
{
    // Without its STX the message starts at the status byte; either way the sum runs up to
    // the checksum byte, two before the end.
    const std::size_t from = !message.empty() && message[0] == kStx ? 1 : 0;
    if (message.size() < from + 3) return false;
    const std::size_t checksumAt = message.size() - 2;
    std::uint8_t sum = 0;
    for (std::size_t i = from; i < checksumAt; ++i)
        sum = static_cast<std::uint8_t>(sum + message[i]);
    return sum == message[checksumAt];
}

CGSOFParser::Scan CGSOFParser::NextPacket(std::span<const std::uint8_t> buffer, std::size_t& pos,
                                          std::size_t& at, bool verify)
{
    const std::uint8_t* data = buffer.data();
    const std::size_t size = buffer.size();
    while (pos < size) {
        const void* hit = std::memchr(data + pos, kStx, size - pos);
        if (!hit) break;
        at = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - data);
        // However short the tail, it may be the start of a packet: the caller keeps it.
        if (size - at <= kLengthAt || size - at < data[at + kLengthAt] + kPacketOverhead) {
            pos = at;
            return Scan::Partial;
        }
        const std::size_t length = data[at + kLengthAt] + kPacketOverhead;
        if (data[at + length - 1] != kEtx) {
            pos = at + 1;
            continue;
        }
        if (verify && !VerifyChecksum(buffer.subspan(at, length))) {
            pos = at + 1;
            return Scan::BadChecksum;
        }
        pos = at + length;
        return Scan::Packet;
    }
    pos = size;
    return Scan::End;
}

CGSOFParser::Page CGSOFParser::JoinPage(Joining& joining, std::span<const std::uint8_t> packet)
{
    const std::size_t dataLength = packet[kLengthAt];
    if (packet[2] != kGsofPacketType || dataLength < kPageHeaderSize) return Page::OtherType;
    const std::uint8_t number = packet[4], page = packet[5], maxPage = packet[6];
    const auto records = packet.subspan(kHeaderSize, dataLength - kPageHeaderSize);
    Page outcome = Page::Continued;
    if (page == 0) {
        joining.Reset();
        joining.transmission = number;
        joining.maxPageIndex = maxPage;
        outcome = Page::Started;
    } else if (number != joining.transmission || joining.complete ||
               page != joining.pageIndex + 1 || maxPage != joining.maxPageIndex) {
        // A page that does not follow on would put records out of place; the unfinished
        // transmission is lost with it.
        joining.Reset();
        return Page::Dropped;
    }
    if (records.size() > joining.records.size() - joining.length) {
        joining.Reset();
        return Page::Overflow;
    }
    std::copy(records.begin(), records.end(), joining.records.begin() + joining.length);
    joining.length += records.size();
    joining.pageIndex = page;
    joining.complete = page >= maxPage;
    joining.consumed = false;
    return outcome;
}

std::uint32_t CGSOFParser::FindMessage(std::span<const std::uint8_t> buffer, std::size_t& start,
                                       std::size_t& length, bool check, bool stopOnError)
{
    partial_ = false;
    start = 0;
    length = buffer.size();
    const bool verify = check && !(owner_ && owner_->SkipChecksum());
    constexpr std::size_t kNone = ~std::size_t{0};
    std::uint32_t result = 0;
    // The pages this call has joined: from first to end.
    std::size_t first = kNone, end = 0;
    std::size_t pos = 0, at = 0;
    for (;;) {
        const Scan scan = NextPacket(buffer, pos, at, verify);
        if (scan == Scan::End) break;
        if (scan == Scan::Partial) {
            // Pages joined already go to the caller first; the next call reports the tail.
            if (first == kNone) {
                partial_ = true;
                start = at;
                length = buffer.size() - at;
            }
            break;
        }
        if (scan == Scan::BadChecksum) {
            LogChecksumError();
            if (stopOnError) break;
            continue;
        }
        const auto packet = buffer.subspan(at, pos - at);
        // Packets of other types may be shorter than a GSOF header.
        header_.fill(0);
        std::copy_n(packet.begin(), std::min(packet.size(), header_.size()), header_.begin());
        const Page page = JoinPage(joining_, packet);
        if (page == Page::OtherType || page == Page::Dropped) continue;
        if (page == Page::Overflow) {
            // Never written past the record buffer: the whole transmission goes.
            LogChecksumError();
            result = 0;
            first = kNone;
            continue;
        }
        if (page == Page::Started || first == kNone) {
            result = 0;
            first = at;
        }
        result |= KindCode(packet.size() > kHeaderSize + 2 ? packet[kHeaderSize] : 0xFF);
        end = pos;
        if (owner_ && !(owner_->ProtocolsSeen() & (1u << kGsofId)))
            owner_->MarkProtocolSeen(kGsofId);
        if (joining_.complete) break;
    }
    if (first != kNone) {
        start = first;
        length = end - first;
    }
    return result;
}

std::int32_t CGSOFParser::ParseMessage(std::span<const std::uint8_t> message, bool trial)
{
    if (trial) {
        const bool wasQuiet = quiet_;
        quiet_ = true;
        const std::size_t walked = WalkRecords(message);
        quiet_ = wasQuiet;
        return static_cast<std::int32_t>(
            std::min<std::size_t>(walked, std::numeric_limits<std::int32_t>::max()));
    }
    if (!joining_.complete || joining_.consumed) return 0;
    joining_.consumed = true;
    return static_cast<std::int32_t>(WalkRecords(joining_.Records()));
}

std::size_t CGSOFParser::WalkRecords(std::span<const std::uint8_t> records)
{
    return ForEachRecord(records, [this](std::uint8_t type, std::span<const std::uint8_t> record) {
        HandleRecord(type, record.subspan(kRecordHeaderSize));
    });
}

void CGSOFParser::HandleRecord(std::uint8_t type, std::span<const std::uint8_t> data)
{
    switch (type) {
        case kPositionTime: HandlePositionTime(data); break;
        case kLlh: HandleLlh(data); break;
        case kVelocity: HandleVelocity(data); break;
        case kDop: HandleDop(data); break;
        case kSigma: HandleSigma(data); break;
        case kCurrentTime: HandleCurrentTime(data); break;
        case kReceivedBase: HandleBase(data, 11, ContentFlag::BaseStation); break;
        case kBasePosition: HandleBase(data, 6, ContentFlag::Baseline); break;
        case kAllSatellites: HandleAllSatellites(data); break;
        default: break;
    }
}

void CGSOFParser::StoreTime(std::uint32_t msOfWeek, std::uint16_t week)
{
    gpsMsOfWeek_ = msOfWeek;
    gpsWeek_ = week;
    const std::uint64_t time = msOfWeek % kMsPerDay;
    const bool replaying = owner_ && owner_->IsReplayRunning();
    if (positionSource_ && hasTime_ && !replaying && time != state_->timeOfDayMs && hasWindow_ &&
        !quiet_ && owner_ && owner_->IsNewEpoch(time))
        owner_->OnEpochComplete(*this);
    // The record delivers the time even when it repeats the one held.
    state_->contentFlags |= ContentFlag::TimeOfDay | ContentFlag::Date;
    if (hasTime_ && time == state_->timeOfDayMs) return;
    state_->timeOfDayMs = time;
    state_->timeOfDaySec = static_cast<std::uint32_t>(time / 1000);
    const CalendarTime calendar = GpsToCalendar(week, msOfWeek);
    state_->timeText = TimeText(calendar);
    state_->dateText = DateText(calendar);
    hasTime_ = true;
}

void CGSOFParser::OfferPositionSource()
{
    if (!positionSource_ && hasWindow_ && !quiet_ && owner_) owner_->SelectPositionSource(kGsofId);
}

void CGSOFParser::HandlePositionTime(std::span<const std::uint8_t> data)
{
    const CByteReader r(data);
    const auto ms = r.Be<std::uint32_t>(0);
    const auto week = r.Be<std::uint16_t>(4);
    if (ms && week) StoreTime(*ms, *week);
    if (const auto satellites = r.Be<std::uint8_t>(6)) state_->satellitesUsed = *satellites;
    const auto flags = r.Be<std::uint8_t>(8);
    if (!flags) return;
    switch (*flags & 0x0F) {
        case 0: state_->fixQuality = 1; break;
        case 1:
        case 4: state_->fixQuality = 2; break;
        case 3: state_->fixQuality = 5; break;
        case 7: state_->fixQuality = 4; break;
        default: break;
    }
    state_->contentFlags |= ContentFlag::FixQuality;
}

void CGSOFParser::HandleLlh(std::span<const std::uint8_t> data)
{
    const CByteReader r(data);
    const auto latitude = r.Be<double>(0);
    const auto longitude = r.Be<double>(8);
    if (!latitude || !longitude) return;
    const auto height = r.Be<double>(16);
    GnssReceiverState& s = *state_;
    s.latitudeDeg = *latitude * kRadiansToDegrees;
    s.longitudeDeg = *longitude * kRadiansToDegrees;
    s.ellipsoidHeight = height.value_or(0.0);
    if (*latitude == 0.0 || *longitude == 0.0)
        s.fixMode = 1;
    else
        s.fixMode = s.ellipsoidHeight == 0.0 ? 2 : 3;
    s.contentFlags |= ContentFlag::Position | ContentFlag::FixMode;
    if (height) s.contentFlags |= ContentFlag::Height;
    if (s.contentFlags & ContentFlag::TimeOfDay) OfferPositionSource();
}

void CGSOFParser::HandleVelocity(std::span<const std::uint8_t> data)
{
    const CByteReader r(data);
    if (const auto speed = r.Be<float>(1)) {
        state_->speedKmh = ToFloat(*speed * kMsToKmh);
        state_->contentFlags |= ContentFlag::Speed;
    }
    if (const auto heading = r.Be<float>(5)) {
        state_->headingDeg = ToFloat(*heading * kRadiansToDegrees);
        state_->contentFlags |= ContentFlag::Heading;
    }
}

void CGSOFParser::HandleDop(std::span<const std::uint8_t> data)
{
    const CByteReader r(data);
    const auto pdop = r.Be<float>(0);
    if (!pdop) return;
    state_->pdop = *pdop;
    state_->hdop = r.Be<float>(4).value_or(0.0f);
    state_->vdop = r.Be<float>(8).value_or(0.0f);
    state_->contentFlags |= ContentFlag::Dop;
}

void CGSOFParser::HandleSigma(std::span<const std::uint8_t> data)
{
    const CByteReader r(data);
    const auto east = r.Be<float>(4);
    const auto north = r.Be<float>(8);
    if (!east || !north) return;
    state_->sigmaLon = *east;
    state_->sigmaLat = *north;
    state_->sigmaAlt = r.Be<float>(16).value_or(0.0f);
    state_->horizontalAccuracy = ToFloat(std::hypot(double{*east}, double{*north}));
    state_->contentFlags |= ContentFlag::ErrorDeviation;
}

void CGSOFParser::HandleCurrentTime(std::span<const std::uint8_t> data)
{
    if (state_->contentFlags & ContentFlag::Position) OfferPositionSource();
    const CByteReader r(data);
    const auto ms = r.Be<std::uint32_t>(0);
    const auto week = r.Be<std::uint16_t>(4);
    if (ms && week) StoreTime(*ms, *week);
}

void CGSOFParser::HandleBase(std::span<const std::uint8_t> data, std::size_t latitudeAt,
                             std::uint32_t flag)
{
    const CByteReader r(data);
    const auto latitude = r.Be<double>(latitudeAt);
    const auto longitude = r.Be<double>(latitudeAt + 8);
    if (!latitude || !longitude) return;
    state_->baseLatitudeDeg = *latitude * kRadiansToDegrees;
    state_->baseLongitudeDeg = *longitude * kRadiansToDegrees;
    state_->baseHeight = r.Be<double>(latitudeAt + 16).value_or(0.0);
    state_->contentFlags |= flag;
}

void CGSOFParser::HandleAllSatellites(std::span<const std::uint8_t> data)
{
    const CByteReader r(data);
    const auto count = r.Be<std::uint8_t>(2);
    if (!count) return;
    GnssReceiverState& s = *state_;
    for (std::size_t i = 0; i < *count; ++i) {
        const CByteReader block(
            r.Sub(kSatellitesAt + i * kSatelliteBlockSize, kSatelliteBlockSize));
        if (block.Size() == 0) break;
        const std::uint8_t system = *block.Be<std::uint8_t>(1) & 0x07;
        const std::uint8_t flags = *block.Be<std::uint8_t>(2);
        const std::int32_t row = system < 6 ? system + 1 : 0;
        SatelliteInView entry;
        entry.prn = *block.Be<std::uint8_t>(0);
        entry.elevationDeg = *block.Be<std::int8_t>(4);
        entry.azimuthDeg = *block.Be<std::uint16_t>(5);
        entry.snr[0] = *block.Be<std::uint8_t>(7) / 4;
        entry.snr[1] = *block.Be<std::uint8_t>(8) / 4;
        entry.signalMask = ((flags & kL1Tracked) ? 1u : 0u) | ((flags & kL2Tracked) ? 2u : 0u);
        entry.constellation = row;
        if (flags & kUsedInPosition) {
            s.usedPrn[row][s.usedCount[row]] = entry.prn;
            s.usedCount[row] = (s.usedCount[row] + 1) % kMaxUsedPerConstellation;
            ++s.usedTotal;
        }
        s.lastUpdatedIndex[row] = s.inViewCount[row];
        s.satellitesInView[row][s.inViewCount[row]] = entry;
        s.inViewCount[row] = (s.inViewCount[row] + 1) % kMaxInViewPerConstellation;
        ++s.inViewTotal;
    }
    if (s.inViewTotal > 0) s.contentFlags |= ContentFlag::SatellitesInView;
    if (s.usedTotal > 0) s.contentFlags |= ContentFlag::SatellitesUsed;
}

std::string CGSOFParser::GetHexText() const
{
    std::string text;
    ForEachRecord(joining_.Records(), [&](std::uint8_t, std::span<const std::uint8_t> record) {
        AppendHex(text, record);
        text += '\r';
    });
    return text;
}

bool CGSOFParser::IsAtDataEnd(const std::uint8_t* /*position*/) const { return joining_.complete; }

std::uint64_t CGSOFParser::GetPosition(std::array<double, 3>& position) const
{
    return PositionOfState(position);
}

bool CGSOFParser::FindPositionMessage(std::span<const std::uint8_t> buffer, std::size_t& start,
                                      std::size_t& length)
{
    start = 0;
    length = buffer.size();
    joining_.Reset();
    const bool wasQuiet = quiet_;
    quiet_ = true;
    bool found = false;
    for (std::size_t pos = 0; pos < buffer.size() && !found;) {
        const auto rest = buffer.subspan(pos);
        std::size_t at = 0, size = 0;
        if (FindMessage(rest, at, size, false, true) == 0) break;
        if (joining_.complete) {
            // Only what this transmission delivers counts.
            const std::uint32_t held = state_->contentFlags;
            state_->contentFlags = 0;
            ForEachRecord(joining_.Records(),
                          [this](std::uint8_t type, std::span<const std::uint8_t> record) {
                              if (type == kPositionTime || type == kLlh) ParseMessage(record, true);
                          });
            const std::uint32_t delivered = state_->contentFlags;
            state_->contentFlags = held | delivered;
            if ((delivered & (ContentFlag::Position | ContentFlag::TimeOfDay)) ==
                (ContentFlag::Position | ContentFlag::TimeOfDay)) {
                start = pos + at;
                length = size;
                found = true;
            }
        }
        pos += at + size;
    }
    quiet_ = wasQuiet;
    return found;
}

void CGSOFParser::BuildTimeIndex(std::span<const std::uint8_t> log, std::uint64_t filePosition,
                                 bool incremental)
{
    if (!incremental) timeIndex_.Clear();
    const bool verify = !(owner_ && owner_->SkipChecksum());
    // The live transmission being joined is left alone.
    Joining joining;
    std::size_t pos = 0, at = 0, first = 0;
    for (;;) {
        const Scan scan = NextPacket(log, pos, at, verify);
        if (scan == Scan::End) break;
        // The whole log is here: a packet cut short can only be a stray STX.
        if (scan == Scan::Partial) ++pos;
        if (scan != Scan::Packet) continue;
        const Page page = JoinPage(joining, log.subspan(at, pos - at));
        if (page == Page::Started) first = at;
        if ((page != Page::Started && page != Page::Continued) || !joining.complete) continue;
        std::uint64_t time = kNoTime;
        bool hasPosition = false;
        ForEachRecord(joining.Records(), [&](std::uint8_t type, std::span<const std::uint8_t> r) {
            const CByteReader reader(r.subspan(kRecordHeaderSize));
            if (type == kLlh) hasPosition = hasPosition || reader.Has(0, 16);
            if ((type == kPositionTime || type == kCurrentTime) && time == kNoTime &&
                reader.Has(0, 6))
                time = *reader.Be<std::uint32_t>(0) % kMsPerDay;
        });
        if (hasPosition && time != kNoTime)
            timeIndex_.Add(0, time, filePosition + first, static_cast<std::uint32_t>(pos - first));
    }
}

std::uint64_t CGSOFParser::DecodeAtTime(std::uint64_t timeOfDayMs, EpochPosition& position,
                                        std::span<const std::uint8_t> log,
                                        std::uint64_t filePosition, std::uint64_t& epochOffset,
                                        std::size_t& epochLength)
{
    const bool wasQuiet = quiet_;
    return DecodeIndexedEpoch(timeIndex_, 0, timeOfDayMs, position, log, filePosition, epochOffset,
                              epochLength, [&](bool quiet) {
                                  quiet_ = quiet || wasQuiet;
                                  if (!quiet) return;
                                  hasTime_ = false;
                                  joining_.Reset();
                              });
}
