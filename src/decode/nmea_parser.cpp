#include "decode/nmea_parser.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "decode/nmea_fields.h"
#include "decode/parser_owner.h"
#include "decode/taxi_meter_step.h"

using namespace nmea;

namespace {

constexpr std::uint8_t kDollar = '$';
constexpr std::uint8_t kStar = '*';
constexpr std::uint8_t kCr = '\r';
constexpr std::uint8_t kLf = '\n';
constexpr double kKnotsToKmh = 1.852;
// ZDA takes part in the epoch rule with any selected position type.
constexpr std::int32_t kZdaType = -1;
constexpr std::uint32_t kSignalSlot1 = 0x2;

constexpr std::array<std::string_view, CNmeaParser::kPositionTypeCount> kPositionTypeNames = {
    "GGA", "RMC", "GNS", "GLL"};

bool IsLineEnd(std::uint8_t c) { return c == kCr || c == kLf; }
// XOR of the bytes, eight at a time.
std::uint8_t XorOf(const std::uint8_t* data, std::size_t size)
{
    std::uint64_t wide = 0;
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, data + i, sizeof word);
        wide ^= word;
    }
    std::uint8_t sum = 0;
    for (int shift = 0; shift < 64; shift += 8) sum ^= static_cast<std::uint8_t>(wide >> shift);
    for (; i < size; ++i) sum ^= data[i];
    return sum;
}

// The checksum leaves '$' bytes out: each one counted cancels against another, so only the
// parity of their number needs mending.
std::uint8_t XorSkippingDollars(const std::uint8_t* data, std::size_t size)
{
    const auto dollars = std::count(data, data + size, kDollar);
    const std::uint8_t sum = XorOf(data, size);
    return (dollars & 1) ? static_cast<std::uint8_t>(sum ^ kDollar) : sum;
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

// A framed sentence has its only '$' at the front and "*hh" at star.
bool FramedChecksumMatches(const std::uint8_t* sentence, std::size_t star)
{
    const std::uint8_t sum = XorOf(sentence + 1, star - 1);
    return sentence[star + 1] == kHexDigits[sum >> 4] &&
           sentence[star + 2] == kHexDigits[sum & 0xF];
}

bool IsUpperHex(std::uint8_t c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

std::size_t Find(const std::uint8_t* data, std::size_t from, std::size_t to, std::uint8_t c)
{
    if (from >= to) return to;
    const void* hit = std::memchr(data + from, c, to - from);
    return hit ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - data) : to;
}

std::size_t FindLast(const std::uint8_t* data, std::size_t from, std::size_t to, std::uint8_t c)
{
    if (from >= to) return to;
    const void* hit = memrchr(data + from, c, to - from);
    return hit ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - data) : to;
}

std::int32_t PositionTypeOfCode(std::uint32_t code)
{
    switch (code) {
        case CNmeaParser::kCodeGga: return CNmeaParser::Gga;
        case CNmeaParser::kCodeRmc: return CNmeaParser::Rmc;
        case CNmeaParser::kCodeGns: return CNmeaParser::Gns;
        case CNmeaParser::kCodeGll: return CNmeaParser::Gll;
        default: return CNmeaParser::NoPositionType;
    }
}

// Length of the sentence at data[at] ('$') through its "*hh" and line end, or 0 when it is
// cut short by the end of the data or by another '$'.
std::size_t SentenceLength(const std::uint8_t* data, std::size_t at, std::size_t size)
{
    const std::size_t limit = std::min(size, at + CNmeaParser::kAbandonLength);
    const std::size_t star = Find(data, at + 1, limit, kStar);
    if (star == limit || star + 2 >= size || star + 3 - at >= CNmeaParser::kAbandonLength) return 0;
    if (Find(data, at + 1, star, kDollar) != star) return 0;
    std::size_t end = star + 3;
    if (end < size && !IsLineEnd(data[end])) return 0;
    while (end < size && IsLineEnd(data[end])) ++end;
    return end - at;
}

}  // namespace

struct CNmeaParser::Fields {
    // Left uninitialised on purpose: only the first count entries are ever read, and zeroing
    // the table for every sentence costs more than splitting it.
    struct Ref {
        const char* text;
        std::size_t size;
    };
    Ref field[kMaxFields];
    std::size_t count = 0;

    // Absent fields read as empty.
    std::string_view operator[](std::size_t i) const
    {
        return i < count ? std::string_view(field[i].text, field[i].size) : std::string_view{};
    }

    // Splits the sentence (at most the work buffer's worth of it) at commas up to the first
    // '*'; a sentence without '*' has no fields.
    explicit Fields(std::span<const std::uint8_t> sentence)
    {
        const char* text = reinterpret_cast<const char*>(sentence.data());
        const std::size_t size = std::min(sentence.size(), kWorkBufferSize);
        const void* star = std::memchr(text, kStar, size);
        if (!star) return;
        const std::size_t end = static_cast<std::size_t>(static_cast<const char*>(star) - text);
        // Fields are a few bytes long: a plain loop beats a library search per field.
        std::size_t begin = 0;
        for (std::size_t i = 0; i < end; ++i) {
            if (text[i] != ',') continue;
            field[count++] = {text + begin, i - begin};
            begin = i + 1;
            if (count == kMaxFields) return;
        }
        field[count++] = {text + begin, end - begin};
    }
};

CNmeaParser::CNmeaParser(IParserOwner* owner)
    : owner_(owner), hasWindow_(owner != nullptr && owner->HasWindow())
{
}

std::string_view CNmeaParser::GetPositionTypeNameAt(std::int32_t index) const
{
    if (index < 0 || index >= kPositionTypeCount) return {};
    return kPositionTypeNames[static_cast<std::size_t>(index)];
}

void CNmeaParser::Reset()
{
    state_->Clear();
    ClearErrors();
    ClearTimeIndex();
    positionType_ = NoPositionType;
    partial_ = false;
    hasTime_ = false;
    positionClockSeen_ = false;
    positionTimeMs_ = kNoTime;
    if (taxiMeter_) taxiMeter_->ResetSamples();
}

std::uint32_t CNmeaParser::Recognize(std::span<const std::uint8_t> t)
{
    if (t.size() < 7 || t[0] != kDollar) return 0;
    if (t[1] == 'G') {
        switch (t[3]) {
            case 'G':
                switch (t[4]) {
                    case 'G': return kCodeGga;
                    case 'N': return kCodeGns;
                    case 'L': return kCodeGll;
                    case 'S':
                        if (t[5] == 'A') return kCodeGsa;
                        if (t[5] == 'T') return kCodeGst;
                        if (t[5] == 'V') return kCodeGsv;
                        return kCodeUnknown;
                    default: return kCodeUnknown;
                }
            case 'R': return kCodeRmc;
            case 'V': return kCodeVtg;
            case 'H': return kCodeHdt;
            case 'Z': return kCodeZda;
            default: return kCodeUnknown;
        }
    }
    if (t[1] == 'P') {
        if (t[2] == 'T' && t[3] == 'N' && t[4] == 'L' && t[5] == ',') {
            switch (t[6]) {
                case 'A': return kCodeAvr;
                case 'B': return kCodeBpq;
                case 'V': return kCodeVgk;
                default: return kCodeUnknown;
            }
        }
        if (t[2] == 'A' && t[3] == 'S' && t[4] == 'H' && t[5] == 'R')
            return (t.size() > 7 && t[7] == 'P') ? kCodePashrPos : 0;
    }
    return 0;
}

bool CNmeaParser::VerifyChecksum(std::span<const std::uint8_t> sentence)
{
    const std::uint8_t* data = sentence.data();
    const std::size_t size = sentence.size();
    const std::size_t star = Find(data, 0, size, kStar);
    if (star == size) return false;
    if (star + 2 >= size) return false;
    const std::uint8_t sum = XorSkippingDollars(data, star);
    const auto& kHex = kHexDigits;
    const bool highOk = data[star + 1] == kHex[sum >> 4];
    const bool lowOk = data[star + 2] == kHex[sum & 0xF];
    if (highOk && lowOk) return true;
    if (HasDiagnostics()) {
        const std::size_t shown = std::min<std::size_t>(star + 3, 256);
        std::string line(reinterpret_cast<const char*>(data), shown);
        Diagnostic(line);
        Diagnostic(std::string("NMEA checksum mismatch (") + (highOk ? "L" : "H") + "): expected " +
                   kHex[sum >> 4] + kHex[sum & 0xF]);
    }
    return false;
}

bool CNmeaParser::ChecksumDigitsValid(std::span<const std::uint8_t> sentence) const
{
    const std::size_t star = Find(sentence.data(), 0, sentence.size(), kStar);
    return star + 2 < sentence.size() && IsUpperHex(sentence[star + 1]) &&
           IsUpperHex(sentence[star + 2]);
}

std::uint32_t CNmeaParser::FindMessage(std::span<const std::uint8_t> buffer, std::size_t& start,
                                       std::size_t& length, bool check, bool stopOnError)
{
    partial_ = false;
    start = 0;
    length = buffer.size();
    const std::uint8_t* data = buffer.data();
    const std::size_t size = buffer.size();
    const bool verify = check && !(owner_ && owner_->SkipChecksum());
    std::uint32_t result = 0;
    std::size_t candidate = 0;
    std::size_t pos = 0;

    while (pos < size) {
        candidate = Find(data, pos, size, kDollar);
        if (candidate == size) break;
        partial_ = true;
        const std::size_t star = Find(data, candidate + 1, size, kStar);
        // A sentence cut short by a new one is dropped; so is anything before the last '$'
        // that still waits for its "*hh", so that an abandoned text cannot swallow it.
        const std::size_t lastDollar = FindLast(data, candidate + 1, star, kDollar);
        if (lastDollar != star) candidate = lastDollar;
        if (star == size || star + 3 >= size) {
            if (size - candidate >= kAbandonLength) partial_ = false;
            break;
        }
        std::size_t end = star + 3;
        // The line end must come within the abandon length, however the bytes arrived: a
        // tail that long would have been given up had it come in pieces.
        if (end - candidate >= kAbandonLength || !IsLineEnd(data[end])) {
            // Not a sentence after all; nothing is waited for at this '$'.
            partial_ = false;
            pos = candidate + 1;
            continue;
        }
        const std::span<const std::uint8_t> sentence(data + candidate, end - candidate);
        bool rejected = false;
        if (verify) {
            // The full check runs again only to tell the diagnostics what failed.
            rejected = !FramedChecksumMatches(sentence.data(), star - candidate) &&
                       !VerifyChecksum(sentence);
            if (rejected) LogChecksumError();
        }
        if (rejected || (!verify && !ChecksumDigitsValid(sentence))) {
            partial_ = false;
            if (stopOnError) break;
        }
        while (end < size && IsLineEnd(data[end])) ++end;
        pos = end;
        partial_ = false;
        // A sentence that failed its checksum is stepped over, never decoded.
        if (rejected) continue;
        const std::uint32_t code = Recognize(sentence);
        if (code != 0) {
            start = candidate;
            length = end - candidate;
            result |= code;
            break;
        }
    }

    if (partial_) {
        start = candidate;
        length = size - candidate;
    }
    if (owner_ && !(owner_->ProtocolsSeen() & (1u << GetProtocolId())))
        owner_->MarkProtocolSeen(GetProtocolId());
    return result;
}

bool CNmeaParser::FindPositionMessage(std::span<const std::uint8_t> buffer, std::size_t& start,
                                      std::size_t& length)
{
    start = 0;
    length = buffer.size();
    return false;
}

bool CNmeaParser::IsAtDataEnd(const std::uint8_t* position) const
{
    return NearIntakeEnd(owner_, position);
}

std::uint64_t CNmeaParser::GetPosition(std::array<double, 3>& position) const
{
    return PositionOfState(position);
}

std::int32_t CNmeaParser::ParseMessage(std::span<const std::uint8_t> message, bool /*trial*/)
{
    const std::size_t cr = Find(message.data(), 0, message.size(), kCr);
    const std::size_t consumed = cr == message.size() ? message.size() : cr + 1;
    const std::uint32_t code = Recognize(message);
    const Fields fields(message);
    const std::int32_t result = Dispatch(code, fields, consumed);
    if ((state_->contentFlags & ContentFlag::Position) && taxiMeterSwitch_ && operationType_ == 1 &&
        taxiMeter_)
        taxiMeter_->Step(*state_);
    return result;
}

std::int32_t CNmeaParser::Dispatch(std::uint32_t code, const Fields& f, std::size_t consumed)
{
    const auto result = static_cast<std::int32_t>(std::min<std::size_t>(consumed, INT32_MAX));
    // The recogniser looks at few characters; a handler makes sure field 0 names its sentence.
    const auto named = [&](std::string_view name) {
        return f.count == 0 || f[0].find(name) != std::string_view::npos;
    };
    switch (code) {
        case kCodeGga: return named("GGA") ? (HandleGga(f), result) : 0;
        case kCodeRmc: return named("RMC") ? (HandleRmc(f), result) : 0;
        case kCodeGns: return named("GNS") ? (HandleGns(f), result) : 0;
        case kCodeGll: return named("GLL") ? (HandleGll(f), result) : 0;
        case kCodeVtg: return named("VTG") ? (HandleVtg(f), result) : 0;
        case kCodeZda: return named("ZDA") ? (HandleZda(f), result) : 0;
        case kCodeHdt: return named("HDT") ? (HandleHdt(f), result) : 0;
        case kCodeGsa: HandleGsa(f); return result;
        case kCodeGsv: HandleGsv(f); return result;
        case kCodeGst: HandleGst(f); return result;
        case kCodeAvr: HandleAvr(f); return result;
        case kCodeBpq: HandleBpq(f); return result;
        case kCodeVgk: HandleVgk(f); return result;
        default: return result;
    }
}

std::uint64_t CNmeaParser::PositionEpoch(std::int32_t type, std::string_view timeField)
{
    if (type != kZdaType && !positionSource_ && hasWindow_ && !suppressEpochCallbacks_ && owner_)
        owner_->SelectPositionSource(static_cast<std::int32_t>(ProtocolId::Nmea));
    const std::uint64_t time = ParseTimeOfDay(timeField);
    if (time == kNoTime) return kNoTime;
    // ZDA is the clock only of streams whose position sentences carry no time; elsewhere it
    // may run a second ahead of them (time of the next pulse) and would flip epochs back
    // and forth.
    if (type == kZdaType && positionClockSeen_) return time;
    // The first position time replaces a ZDA clock that ran ahead of it instead of closing
    // an epoch that would go back in time.
    const bool replacesZdaClock =
        type != kZdaType && !positionClockSeen_ && hasTime_ && time < state_->timeOfDayMs;
    if (type != kZdaType) positionClockSeen_ = true;
    const bool typeDrivesEpochs =
        positionType_ == NoPositionType || type == kZdaType || type == positionType_;
    const bool replaying = owner_ && owner_->IsReplayRunning();
    if (positionSource_ && hasTime_ && !replacesZdaClock && !replaying && typeDrivesEpochs &&
        time != state_->timeOfDayMs && hasWindow_ && !suppressEpochCallbacks_ && owner_) {
        if (owner_->IsNewEpoch(time)) owner_->OnEpochComplete(*this);
    }
    if (!hasTime_ || time != state_->timeOfDayMs) {
        state_->timeOfDayMs = time;
        state_->timeOfDaySec = static_cast<std::uint32_t>(time / 1000);
        state_->timeText.assign(timeField);
        state_->contentFlags |= ContentFlag::TimeOfDay;
        hasTime_ = true;
    }
    return time;
}

void CNmeaParser::StorePositionAt(std::uint64_t time, std::string_view lat, std::string_view ns,
                                  std::string_view lon, std::string_view ew)
{
    // One position per epoch time: later sentences of the same epoch leave it alone.
    if (time == kNoTime || time == positionTimeMs_) return;
    positionTimeMs_ = time;
    double latitude = 0.0, longitude = 0.0;
    const bool valid = ParseCoordinate(lat, ns, 2, 'N', 90.0, latitude) &&
                       ParseCoordinate(lon, ew, 3, 'E', 180.0, longitude);
    state_->latitudeDeg = valid ? latitude : 0.0;
    state_->longitudeDeg = valid ? longitude : 0.0;
    if (valid) state_->contentFlags |= ContentFlag::Position;
}

void CNmeaParser::HandleGga(const Fields& f)
{
    if (f.count < 14) return;
    const std::uint64_t time = PositionEpoch(Gga, f[1]);
    StorePositionAt(time, f[2], f[3], f[4], f[5]);
    state_->fixQuality = ToInt(f[6]);
    state_->satellitesUsed = ToInt(f[7]);
    state_->hdop = ToFloat(f[8]);
    // The receiver's heights pass through 32-bit floats, as the state has always kept them.
    state_->mslAltitude = static_cast<double>(ToFloat(f[9]));
    state_->geoidSeparation = static_cast<double>(ToFloat(f[11]));
    state_->ellipsoidHeight = state_->mslAltitude + state_->geoidSeparation;
    if (!f[9].empty()) state_->contentFlags |= ContentFlag::Height;
    state_->stationId.assign(f[14]);
    state_->contentFlags |= ContentFlag::Gga;
    if (!f[6].empty()) state_->contentFlags |= ContentFlag::FixQuality;
}

void CNmeaParser::HandleRmc(const Fields& f)
{
    if (f.count < 9) return;
    const std::uint64_t time = PositionEpoch(Rmc, f[1]);
    StorePositionAt(time, f[3], f[4], f[5], f[6]);
    state_->speedKmh = ToFloat(ToDouble(f[7]) * kKnotsToKmh);
    if (!f[7].empty()) state_->contentFlags |= ContentFlag::Speed;
    state_->courseDeg = ToFloat(f[8]);
    if (!f[8].empty()) state_->contentFlags |= ContentFlag::Course;
    if (!f[9].empty()) {
        state_->dateText.assign(f[9]);
        state_->contentFlags |= ContentFlag::Date;
    }
    state_->contentFlags |= ContentFlag::Rmc;
}

void CNmeaParser::HandleGns(const Fields& f)
{
    if (f.count < 13) return;
    const std::uint64_t time = PositionEpoch(Gns, f[1]);
    StorePositionAt(time, f[2], f[3], f[4], f[5]);
    // One mode character per constellation; the talker says which one is ours.
    const std::string_view mode = f[6];
    std::size_t index = 0;
    switch (f[0].size() >= 3 ? f[0][2] : '\0') {
        case 'P': index = 0; break;
        case 'L': index = 1; break;
        case 'A': index = 2; break;
        case 'B': index = 3; break;
        case 'Q': index = 4; break;
        default: index = 0; break;
    }
    if (index >= mode.size()) index = 0;
    state_->fixQuality = mode.empty() ? 0 : GnsModeToFixQuality(mode[index]);
    state_->satellitesUsed = ToInt(f[7]);
    state_->hdop = ToFloat(f[8]);
    state_->mslAltitude = ToDouble(f[9]);
    state_->geoidSeparation = ToDouble(f[10]);
    state_->ellipsoidHeight = state_->mslAltitude + state_->geoidSeparation;
    if (!f[9].empty()) state_->contentFlags |= ContentFlag::Height;
    state_->stationId.assign(f[12]);
    state_->contentFlags |= ContentFlag::Gns;
}

void CNmeaParser::HandleGll(const Fields& f)
{
    if (f.count < 6) return;
    const std::uint64_t time = PositionEpoch(Gll, f[5]);
    StorePositionAt(time, f[1], f[2], f[3], f[4]);
    state_->contentFlags |= ContentFlag::Gll;
}

void CNmeaParser::HandleVtg(const Fields& f)
{
    if (f.count < 8) return;
    // RMC of the same epoch has the better word on course and speed.
    if (!(state_->contentFlags & ContentFlag::Course)) {
        state_->courseDeg = ToFloat(f[1]);
        if (!f[1].empty()) state_->contentFlags |= ContentFlag::Course;
    }
    if (!(state_->contentFlags & ContentFlag::Speed)) {
        state_->speedKmh = ToFloat(f[7]);
        if (!f[7].empty()) state_->contentFlags |= ContentFlag::Speed;
    }
    state_->contentFlags |= ContentFlag::Vtg;
}

void CNmeaParser::HandleGsa(const Fields& f)
{
    if (f.count < 17) return;
    state_->fixMode = ToInt(f[2]);
    state_->contentFlags |= ContentFlag::FixMode;
    const std::int32_t row = f.count >= 19 ? SystemIdToConstellation(f[18]) : 0;
    std::int32_t* used = state_->usedPrn[row];
    std::int32_t& count = state_->usedCount[row];
    for (std::size_t i = 3; i <= 14; ++i) {
        std::int32_t prn = 0;
        if (!ParseInt(f[i], prn)) continue;
        if (std::find(used, used + count, prn) != used + count) continue;
        used[count] = prn;
        count = (count + 1) % kMaxUsedPerConstellation;
        ++state_->usedTotal;
    }
    state_->pdop = ToFloat(f[15]);
    if (!f[15].empty()) state_->contentFlags |= ContentFlag::Dop;
    state_->hdop = ToFloat(f[16]);
    state_->vdop = ToFloat(f[17]);
    state_->contentFlags |= ContentFlag::SatellitesUsed | ContentFlag::Gsa;
}

void CNmeaParser::HandleGsv(const Fields& f)
{
    if (f.count < 4) return;
    const std::int32_t talkerRow = TalkerToConstellation(f[0]);
    if (talkerRow == kUnknownConstellation) return;
    std::int32_t messageNumber = 0, inView = 0;
    if (!ParseInt(f[2], messageNumber) || !ParseInt(f[3], inView) || inView == 0) return;

    // A second GSV cycle of the same constellation in one epoch carries the second signal.
    GnssReceiverState& s = *state_;
    std::uint32_t slot = 0;
    if (s.inViewCount[talkerRow] > 0 &&
        (messageNumber == 1 ||
         (s.satellitesInView[talkerRow][s.lastUpdatedIndex[talkerRow]].signalMask & kSignalSlot1)))
        slot = 1;

    // A block needs at least its number and elevation: a lone trailing field is the
    // NMEA 4.10 signal id, not a satellite.
    for (std::size_t b = 4; b + 1 < f.count; b += 4) {
        std::int32_t prn = 0;
        if (!ParseInt(f[b], prn)) continue;
        std::int32_t row = talkerRow;
        if (talkerRow == static_cast<std::int32_t>(Constellation::Gps)) {
            if (prn >= 193 && prn <= 197)
                row = static_cast<std::int32_t>(Constellation::Qzss);
            else if (prn >= 33 && prn <= 64)
                row = static_cast<std::int32_t>(Constellation::Sbas);
        }
        SatelliteInView* entries = s.satellitesInView[row];
        std::int32_t& count = s.inViewCount[row];
        std::int32_t index = 0;
        while (index < count && entries[index].prn != prn) ++index;
        if (index == count) {
            count = (count + 1) % kMaxInViewPerConstellation;
            ++s.inViewTotal;
        }
        s.lastUpdatedIndex[row] = index;
        SatelliteInView& sat = entries[index];
        sat.prn = prn;
        sat.elevationDeg = ToInt(f[b + 1]);
        sat.azimuthDeg = ToInt(f[b + 2]);
        sat.snr[slot] = ToInt(f[b + 3]);
        sat.signalMask |= 1u << slot;
        sat.constellation = row;
    }
    s.contentFlags |= ContentFlag::SatellitesInView | ContentFlag::Gsv;
}

void CNmeaParser::HandleGst(const Fields& f)
{
    if (f.count < 1) return;
    state_->sigmaLat = ToFloat(f[6]);
    state_->sigmaLon = ToFloat(f[7]);
    state_->sigmaAlt = ToFloat(f[8]);
    if (!f[6].empty() || !f[7].empty() || !f[8].empty())
        state_->contentFlags |= ContentFlag::ErrorDeviation;
    state_->contentFlags |= ContentFlag::Gst;
}

void CNmeaParser::HandleHdt(const Fields& f)
{
    if (f.count < 1) return;
    double heading = 0.0;
    const bool present = ParseDouble(f[1], heading);
    state_->headingDeg = present ? ToFloat(heading) : -1.0f;
    if (present) state_->contentFlags |= ContentFlag::Heading;
    state_->contentFlags |= ContentFlag::HeadingSentence;
}

void CNmeaParser::HandleAvr(const Fields& f)
{
    if (f.count < 1) return;
    // Yaw is written with an explicit sign: "+149.4688" or "-12.5".
    const std::string_view yaw = f[3];
    double value = 0.0;
    const bool present = yaw.size() > 1 && ParseDouble(yaw.substr(1), value);
    state_->yawDeg = present ? ToFloat(yaw[0] == '-' ? -value : value) : -1.0f;
    if (present) state_->contentFlags |= ContentFlag::Heading;
    state_->contentFlags |= ContentFlag::HeadingSentence;
}

void CNmeaParser::HandleBpq(const Fields& f)
{
    if (f.count < 7) return;
    double latitude = 0.0, longitude = 0.0;
    state_->baseLatitudeDeg = ParseCoordinate(f[4], f[5], 2, 'N', 90.0, latitude) ? latitude : 0.0;
    state_->baseLongitudeDeg =
        ParseCoordinate(f[6], f[7], 3, 'E', 180.0, longitude) ? longitude : 0.0;
    state_->contentFlags |= ContentFlag::BaseStation;
}

void CNmeaParser::HandleVgk(const Fields& f)
{
    if (f.count < 6) return;
    state_->baselineEast = ToDouble(f[4]);
    state_->baselineNorth = ToDouble(f[5]);
    state_->baselineUp = ToDouble(f[6]);
    state_->contentFlags |= ContentFlag::Baseline;
}

void CNmeaParser::HandleZda(const Fields& f)
{
    if (f.count < 6) return;
    PositionEpoch(kZdaType, f[1]);
    const std::string_view year = f[4];
    if (!year.empty()) {
        std::string& date = state_->dateText;
        date.assign(year.substr(0, 4));
        date.append(f[3].substr(0, 2));
        date.append(f[2].substr(0, 2));
        state_->contentFlags |= ContentFlag::Date;
    }
    state_->contentFlags |= ContentFlag::Zda;
}

// ---- time index ----

void CNmeaParser::ClearTimeIndex() { timeIndex_.Clear(); }

void CNmeaParser::BuildTimeIndex(std::span<const std::uint8_t> log, std::uint64_t filePosition,
                                 bool incremental)
{
    const bool onlySelected = incremental && positionType_ != NoPositionType;
    if (!onlySelected) timeIndex_.Clear();
    const bool verify = !(owner_ && owner_->SkipChecksum());
    const std::uint8_t* data = log.data();
    const std::size_t size = log.size();
    for (std::size_t at = Find(data, 0, size, kDollar); at < size;
         at = Find(data, at + 1, size, kDollar)) {
        const std::size_t window = std::min(kAbandonLength, size - at);
        const std::int32_t type = PositionTypeOfCode(Recognize(log.subspan(at, window)));
        if (type == NoPositionType || (onlySelected && type != positionType_)) continue;
        const std::size_t length = SentenceLength(data, at, size);
        if (length == 0) continue;
        // A damaged sentence would put a wrong time into the index.
        if (verify && !VerifyChecksum(log.subspan(at, length))) continue;
        const Fields fields(log.subspan(at, length));
        timeIndex_.Add(type, ParseTimeOfDay(fields[type == Gll ? 5 : 1]), filePosition + at,
                       static_cast<std::uint32_t>(length));
    }
    if (!onlySelected) positionType_ = timeIndex_.Select();
}

std::uint64_t CNmeaParser::DecodeAtTime(std::uint64_t timeOfDayMs, EpochPosition& position,
                                        std::span<const std::uint8_t> log,
                                        std::uint64_t filePosition, std::uint64_t& epochOffset,
                                        std::size_t& epochLength)
{
    return DecodeIndexedEpoch(timeIndex_, positionType_, timeOfDayMs, position, log, filePosition,
                              epochOffset, epochLength, [&](bool quiet) {
                                  suppressEpochCallbacks_ = quiet;
                                  if (quiet) {
                                      hasTime_ = false;
                                      positionTimeMs_ = kNoTime;
                                  }
                              });
}

bool CNmeaParser::FindIndexGaps(std::int32_t positionType, std::vector<IndexGap>& gaps) const
{
    return timeIndex_.FindGaps(positionType, gaps);
}
