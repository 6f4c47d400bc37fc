// UBX decoder: real captures against an independent frame walk and against the NMEA output of
// the same receiver, then frames built here for the rules the captures do not reach.
#include "decode/ubx_parser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <set>
#include <string>

#include "support/captures.h"
#include "support/epoch_keys.h"
#include "support/recording_owner.h"
#include "support/test_data.h"

namespace {

using Bytes8 = std::vector<std::uint8_t>;
using UbxOwner = BasicRecordingOwner<CUBXParser>;

// A payload of size bytes with little-endian fields {offset, value, width}; fields past the
// end are left out, which is how short payloads are built.
struct Field {
    std::size_t at;
    std::int64_t value;
    std::size_t width;
};
Bytes8 Fields(std::size_t size, std::initializer_list<Field> fields)
{
    Bytes8 p(size);
    for (const Field& f : fields)
        for (std::size_t i = 0; i < f.width && f.at + i < size; ++i)
            p[f.at + i] = std::uint8_t(f.value >> (8 * i));
    return p;
}

Bytes8 Frame(std::uint16_t key, const Bytes8& payload) { return testdata::UbxFrame(key, payload); }

Bytes8 Join(std::initializer_list<Bytes8> frames)
{
    Bytes8 all;
    for (const auto& f : frames) all.insert(all.end(), f.begin(), f.end());
    return all;
}

Bytes8 Pvt(std::uint32_t iTow, std::int32_t lat = 0, std::int32_t lon = 0, std::size_t size = 92)
{
    return Frame(CUBXParser::kNavPvt, Fields(size, {{0, iTow, 4}, {24, lon, 4}, {28, lat, 4}}));
}

// An independent frame walk: valid frames in order, the number of failed candidates, and the
// NAV time of day each time it changes.
struct Walk {
    int frames = 0;
    int bad = 0;
    std::vector<std::uint64_t> epochTimes;
};

Walk WalkFrames(const Bytes8& d)
{
    Walk w;
    const std::set<int> atFour = {0x09, 0x13, 0x14, 0x3B, 0x3C};
    for (std::size_t i = 0; i + 8 <= d.size(); ++i) {
        if (d[i] != 0xB5 || d[i + 1] != 0x62) continue;
        const std::size_t n = d[i + 4] | d[i + 5] << 8;
        if (i + n + 8 > d.size()) break;
        const auto [a, b] = testdata::UbxChecksum(std::span(d).subspan(i + 2, n + 4));
        if (a != d[i + n + 6] || b != d[i + n + 7]) {
            ++w.bad;
            continue;
        }
        ++w.frames;
        const std::size_t off = atFour.count(d[i + 3]) ? 4 : 0;
        // NAV-PL and NAV-0x64 carry no time of week at the start.
        if (d[i + 2] == 0x01 && n >= off + 4 && d[i + 3] != 0x62 && d[i + 3] != 0x64) {
            std::uint64_t tow = 0;
            for (int k = 3; k >= 0; --k) tow = tow << 8 | d[i + 6 + off + k];
            if (w.epochTimes.empty() || w.epochTimes.back() != tow % 86400000)
                w.epochTimes.push_back(tow % 86400000);
        }
        i += n + 7;
    }
    return w;
}

void Decode(UbxOwner& owner, const Bytes8& bytes)
{
    owner.parser.SetPositionSource(true);
    owner.Feed(bytes);
    owner.Flush();
}

}  // namespace

TEST(UbxRealData, EveryCaptureMatchesAnIndependentWalkAndTheInventory)
{
    SKIP_WITHOUT_DATA();
    std::size_t replays = 0;
    std::mt19937 random(7);
    const std::size_t files = captures::ForEach(captures::kUbx, [&](const auto& c,
                                                                    const Bytes8& bytes) {
        const Walk walk = WalkFrames(bytes);
        UbxOwner owner;
        Decode(owner, bytes);
        EXPECT_EQ(owner.parser.ErrorCount(), std::uint32_t(c.ubxBad));
        EXPECT_EQ(walk.bad, c.ubxBad);
        std::vector<std::uint64_t> times;
        for (const auto& e : owner.epochs) times.push_back(e.timeOfDayMs);
        EXPECT_EQ(times, walk.epochTimes);
        if (c.ubxEpochs >= 0) {
            EXPECT_EQ(times.size(), std::size_t(c.ubxEpochs));
        }
        // Any block split gives the same epochs.
        std::vector<std::size_t> sizes;
        for (std::size_t b = 1; b <= 64 && bytes.size() < 100000; ++b) sizes.push_back(b);
        for (int i = 0; i < 3; ++i) sizes.push_back(1 + random() % bytes.size());
        for (const std::size_t size : sizes) {
            UbxOwner split;
            split.parser.SetPositionSource(true);
            split.FeedInBlocks(bytes, size);
            ASSERT_EQ(split.epochs.size(), owner.epochs.size()) << "block " << size;
            for (std::size_t e = 0; e < owner.epochs.size(); ++e)
                ASSERT_EQ(EpochKey(split.epochs[e]), EpochKey(owner.epochs[e])) << "block " << size;
            EXPECT_EQ(split.parser.ErrorCount(), owner.parser.ErrorCount());
        }
        // Replay of every indexed epoch reads the frame at its offset and gives the position
        // the live decode had there.
        CUBXParser& p = owner.parser;
        p.BuildTimeIndex(bytes, 0, false);
        if (p.GetPositionTypeIndex() == CUBXParser::NoPositionType) return;
        for (const auto& [time, entry] : p.TimeIndexes().Get(p.GetPositionTypeIndex())) {
            EpochPosition replayed;
            std::uint64_t offset = 0;
            std::size_t length = 0;
            ASSERT_EQ(p.DecodeAtTime(time, replayed, bytes, 0, offset, length), time);
            EXPECT_EQ(offset, entry.filePosition);
            ASSERT_LT(offset + 1, bytes.size());
            EXPECT_EQ(std::tuple(bytes[offset], bytes[offset + 1]), std::tuple(0xB5, 0x62));
            ++replays;
            const auto live = std::find(times.begin(), times.end(), time);
            ASSERT_NE(live, times.end());
            EXPECT_NEAR(replayed.latitudeDeg, owner.epochs[live - times.begin()].latitudeDeg, 1e-6);
        }
    });
    EXPECT_GE(files, 20u);
    EXPECT_GT(replays, 750u);
}

// GGA and NAV-PVT of one F9P base: the NMEA clock is UTC, the UBX one GPS time.
TEST(UbxRealData, AgreesWithTheNmeaOfTheSameReceiver)
{
    SKIP_WITHOUT_DATA();
    const Bytes8 bytes = captures::Read("mixed/pygnssutils_ublox-f9p-base_nmea_ubx_rtcm3_157s.log");
    BasicRecordingOwner<CNmeaParser> nmea;
    nmea.Feed(bytes);
    nmea.Flush();
    UbxOwner ubx;
    Decode(ubx, bytes);
    std::map<std::uint64_t, GnssReceiverState> byUtc;
    for (const auto& e : nmea.epochs)
        if (e.contentFlags & ContentFlag::Gga) byUtc[e.timeOfDayMs] = e;
    int matched = 0;
    for (const auto& u : ubx.epochs) {
        const auto n = byUtc.find(u.timeOfDayMs - 18000);  // GPS - UTC leap seconds since 2017
        if (n == byUtc.end()) continue;
        ++matched;
        EXPECT_NEAR(u.latitudeDeg, n->second.latitudeDeg, 1e-7);
        EXPECT_NEAR(u.longitudeDeg, n->second.longitudeDeg, 1e-7);
        // GGA gives altitude and geoid separation to 0.1 m each: up to 0.1 m apart in sum.
        EXPECT_NEAR(u.ellipsoidHeight, n->second.ellipsoidHeight, 0.1 + 1e-5);
        EXPECT_NEAR(u.mslAltitude, n->second.mslAltitude, 0.05 + 1e-5);
    }
    EXPECT_GE(matched, 150);
}

namespace {

Bytes8 NavSat(std::vector<std::array<int, 4>> sats)  // gnssId, svId, cno, used
{
    Bytes8 p = Fields(8, {{5, std::int64_t(sats.size()), 1}});
    for (const auto& [gnss, sv, cno, used] : sats) {
        // Elevation 45, azimuth 270.
        const Bytes8 b = Fields(
            12, {{0, gnss | sv << 8 | cno << 16 | 45 << 24, 4}, {4, 270, 2}, {8, used * 8, 4}});
        p.insert(p.end(), b.begin(), b.end());
    }
    return Frame(CUBXParser::kNavSat, p);
}

Bytes8 EsfStatus(std::vector<int> calibration)  // -1: sensor not used; time status 1 for all
{
    Bytes8 p = Fields(16, {{15, std::int64_t(calibration.size()), 1}});
    for (const int c : calibration)
        p.insert(p.end(), {std::uint8_t(c < 0 ? 0 : 0x80), std::uint8_t((c & 3) | 4), 0, 0});
    return Frame(CUBXParser::kEsfStatus, p);
}

Bytes8 Status(int fix, int flags, int flags2)
{
    return Frame(CUBXParser::kNavStatus, Fields(16, {{4, fix, 1}, {5, flags, 1}, {7, flags2, 1}}));
}

Bytes8 MonHw(int jamming) { return Frame(CUBXParser::kMonHw, Fields(60, {{22, jamming << 2, 1}})); }

#define PARSER(expr) [](const CUBXParser& p) { return double(p.expr); }
#define STATE(field) PARSER(State()->field)
#define TEXT(field) [](const CUBXParser& p) { return std::atof(p.State()->field.c_str()); }

struct ValueCase {
    const char* name;
    Bytes8 stream;
    double (*get)(const CUBXParser&);
    double expected;
    double tolerance = 1e-10;
};

}  // namespace

TEST(UbxParser, DecodesBuiltFrames)
{
    constexpr double kF = 1e-6;  // float fields
    // clang-format off
    const Bytes8 pvt = Frame(CUBXParser::kNavPvt, Fields(92, {
        {4, 2024, 2}, {6, 3, 1}, {7, 9, 1}, {8, 14, 1}, {9, 5, 1}, {10, 7, 1}, {20, 3, 1},
        {23, 17, 1}, {24, -1234567890, 4}, {28, 523456789, 4}, {32, 100500, 4}, {36, 52250, 4},
        {40, 1414, 4}, {44, 2500, 4}, {60, 10000, 4}}));
    const Bytes8 hp = Frame(CUBXParser::kNavHpPosLlh, Fields(36, {
        {4, 1000, 4}, {8, 1234567890, 4}, {12, -334567891, 4}, {16, 100500, 4}, {20, 52250, 4},
        {24, -5, 1}, {25, 7, 1}, {26, 3, 1}, {27, -4, 1}, {28, 141, 4}, {32, 25, 4}}));
    const Bytes8 dop = Frame(CUBXParser::kNavDop, Fields(18, {{6, 156, 2}, {10, 80, 2}, {12, 120, 2}}));
    const Bytes8 posLlh = Frame(CUBXParser::kNavPosLlh, Fields(28, {{12, -12345, 4}, {16, 31500, 4}, {20, 2000, 4}, {24, 3500, 4}}));
    const Bytes8 timeUtc = Frame(CUBXParser::kNavTimeUtc, Fields(20, {{12, 2023, 2}, {14, 12, 1}, {15, 31, 1}, {16, 23, 1}, {17, 59, 1}, {18, 58, 1}}));
    const Bytes8 timTp = Join({Pvt(1000), Frame(CUBXParser::kTimTp, Fields(16, {{0, 86402000, 4}, {12, 2300, 2}}))});
    // clang-format on
    // Galileo E11 on NAV-SAT, then NAV-SIG with sigId 1 (slot 0), 5 (slot 1), 6 and gnssId 4.
    Bytes8 sig = Fields(8 + 4 * 16, {{5, 4, 1}});
    for (const auto& [at, gnss, sigId, cno] : std::vector<std::array<int, 4>>{
             {8, 2, 1, 41}, {24, 2, 5, 30}, {40, 2, 6, 20}, {56, 4, 0, 10}})
        for (const Field f : {Field{0, gnss, 1}, {1, 11, 1}, {2, sigId, 1}, {6, cno, 1}})
            sig[at + f.at] = std::uint8_t(f.value);
    const Bytes8 sats = Join({NavSat({{2, 11, 40, 0}}), Frame(CUBXParser::kNavSig, sig)});
    const Bytes8 twoSat = Join({NavSat({{0, 5, 40, 1}, {6, 9, 33, 0}}), NavSat({{0, 5, 37, 1}})});
    const auto pvtFix = [](int fixType, int flags) {
        return Frame(CUBXParser::kNavPvt, Fields(92, {{20, fixType, 1}, {21, flags, 1}}));
    };
    const Bytes8 shortPosLlh = Frame(CUBXParser::kNavPosLlh, Fields(14, {{4, 10, 4}, {8, 20, 4}}));
    // clang-format off
    const std::vector<ValueCase> cases = {
        {"iTOW 432000123 is 123 ms into the day", Pvt(432000123), STATE(timeOfDayMs), 123},
        {"pDOP 156", dop, STATE(pdop), 1.56, kF},
        {"vDOP 80", dop, STATE(vdop), 0.8, kF},
        {"hDOP 120", dop, STATE(hdop), 1.2, kF},
        {"gSpeed 10000 mm/s", pvt, STATE(speedKmh), 36.0, kF},
        {"PVT time text", pvt, TEXT(timeText), 140507},
        {"PVT date text", pvt, TEXT(dateText), 90324},
        {"PVT longitude", pvt, STATE(longitudeDeg), -123.456789},
        {"PVT latitude", pvt, STATE(latitudeDeg), 52.3456789},
        {"PVT height", pvt, STATE(ellipsoidHeight), 100.5},
        {"PVT hMSL", pvt, STATE(mslAltitude), 52.25},
        {"PVT geoid separation", pvt, STATE(geoidSeparation), 48.25},
        {"PVT numSV", pvt, STATE(satellitesUsed), 17},
        {"PVT fix type", pvt, STATE(fixMode), 3},
        {"sigma = h / sqrt 2", pvt, STATE(sigmaLat), 1.414 / std::sqrt(2.0), kF},
        {"PVT vAcc", pvt, STATE(sigmaAlt), 2.5, kF},
        {"PVT kind bits and fix quality", pvt, STATE(contentFlags),
         double(CUBXParser::KindCode(CUBXParser::kNavPvt) | ContentFlag::FixQuality)},
        {"PVT no gnssFixOK: invalid", pvt, STATE(fixQuality), 0},
        {"PVT carrSoln 2: RTK fixed", pvtFix(3, 0x81), STATE(fixQuality), 4},
        {"PVT carrSoln 1: RTK float", pvtFix(3, 0x41), STATE(fixQuality), 5},
        {"PVT diffSoln: DGPS", pvtFix(3, 0x03), STATE(fixQuality), 2},
        {"PVT plain fix", pvtFix(2, 0x01), STATE(fixQuality), 1},
        {"PVT dead reckoning", pvtFix(1, 0x00), STATE(fixQuality), 6},
        {"PVT time only", pvtFix(5, 0x01), STATE(fixQuality), 0},
        {"HPPOSLLH lon + lonHp", hp, STATE(longitudeDeg), 123.456788995},
        {"HPPOSLLH lat + latHp", hp, STATE(latitudeDeg), -33.456789093},
        {"HPPOSLLH height + heightHp 0.1 mm", hp, STATE(ellipsoidHeight), 100.5003},
        {"HPPOSLLH hMSL + hMSLHp 0.1 mm", hp, STATE(mslAltitude), 52.2496},
        {"HPPOSLLH hAcc 0.1 mm", hp, STATE(horizontalAccuracy), 0.0141, kF},
        {"HPPOSLLH vAcc 0.1 mm", hp, STATE(sigmaAlt), 0.0025, kF},
        {"POSLLH height", posLlh, STATE(ellipsoidHeight), -12.345},
        {"POSLLH hMSL", posLlh, STATE(mslAltitude), 31.5},
        {"POSLLH hAcc", posLlh, STATE(horizontalAccuracy), 2.0, kF},
        {"POSLLH vAcc", posLlh, STATE(sigmaAlt), 3.5, kF},
        {"TIMEUTC time text", timeUtc, TEXT(timeText), 235958},
        {"TIMEUTC date text", timeUtc, TEXT(dateText), 311223},
        {"HPPOSLLH iTOW at 4", hp, STATE(timeOfDayMs), 1000},
        {"spoofing 3, jamming 3 then 1", Join({Status(3, 1, 3 << 3), MonHw(3), MonHw(1)}),
         STATE(interferenceFlags), 0x20},
        {"jamming 3 sets critical", Join({MonHw(3)}), STATE(interferenceFlags), 0x02},
        {"interference bit", Join({MonHw(3)}), STATE(contentFlags & ContentFlag::Interference),
         ContentFlag::Interference},
        {"NAV-STATUS flags 3: DGPS", Status(3, 3, 0), STATE(fixQuality), 2},
        {"NAV-STATUS dead reckoning", Join({Status(3, 1, 0), Status(1, 0, 0)}), STATE(fixQuality),
         6},
        {"cno 0 adds nothing, even used", NavSat({{0, 5, 0, 1}, {4, 6, 30, 1}}), STATE(inViewTotal),
         0},
        {"cno 0 not used either", NavSat({{0, 5, 0, 1}}), STATE(usedTotal), 0},
        {"second NAV-SAT to slot 1", twoSat, STATE(satellitesInView[1][0].snr[1]), 37},
        {"both slots marked", twoSat, STATE(satellitesInView[1][0].signalMask), 3},
        {"azimuth", twoSat, STATE(satellitesInView[1][0].azimuthDeg), 270},
        {"elevation", twoSat, STATE(satellitesInView[1][0].elevationDeg), 45},
        {"gnssId 6 is GLONASS", twoSat, STATE(satellitesInView[3][0].prn), 9},
        {"used once", twoSat, STATE(usedTotal), 1},
        {"NAV-SIG sigId 1 to slot 0", sats, STATE(satellitesInView[4][0].snr[0]), 41},
        {"NAV-SIG sigId 5 to slot 1", sats, STATE(satellitesInView[4][0].snr[1]), 30},
        {"NAV-SIG adds no satellite", sats, STATE(inViewTotal), 1},
        {"ESF all calibrated", EsfStatus({2, 3, 2}), STATE(sensorsCalibrated), 1},
        {"ESF count", EsfStatus({2, 3, 2}), PARSER(CalibratedSensorCount()), 3},
        {"ESF time status", EsfStatus({2, 3, 2}), PARSER(Sensors()[1].time), 1},
        {"ESF only sensor 1 not", EsfStatus({2, 1, 3}), STATE(sensorsCalibrated), 1},
        {"ESF sensor 0 not", EsfStatus({1, 2, 3}), STATE(sensorsCalibrated), 0},
        {"ESF two not (one unused)", Join({EsfStatus({2, 2}), EsfStatus({0, -1, 2})}),
         STATE(sensorsCalibrated), 0},
        {"short PVT: no latitude, no position", Pvt(5000, 11, 22, 30), STATE(longitudeDeg), 0},
        {"short PVT: no position bit", Pvt(5000, 11, 22, 30),
         STATE(contentFlags & ContentFlag::Position), 0},
        {"short POSLLH: lat inside", shortPosLlh, STATE(latitudeDeg), 2e-6},
        {"short POSLLH: no height bit", shortPosLlh, STATE(contentFlags & ContentFlag::Height), 0},
        {"TIM-TP leaves the clock", timTp, STATE(timeOfDayMs), 1000},
        {"TIM-TP time text", timTp, TEXT(timeText), 2},
        {"TIM-TP date text", timTp, TEXT(dateText), 50224},
    };
    // clang-format on
    for (const auto& c : cases) {
        UbxOwner owner;
        owner.Feed(c.stream);
        EXPECT_NEAR(c.get(owner.parser), c.expected, c.tolerance) << c.name;
    }
}

TEST(UbxParser, FramingPartialsChecksumsAndHexText)
{
    UbxOwner owner;
    CUBXParser& p = owner.parser;
    const Bytes8 pvt = Pvt(2000, 1, 2);
    Bytes8 bad = Frame(CUBXParser::kNavDop, Fields(18, {{6, 999, 2}}));
    bad.back() ^= 1;
    const Bytes8 stream = Join({{0x00, 0xB5, 0x00}, bad, pvt});
    std::size_t start = 9, length = 9;
    // Cut inside the PVT: partial from its sync bytes, the bad DOP logged and passed over.
    const auto cut = std::span(stream).first(stream.size() - 10);
    EXPECT_EQ(p.FindMessage(cut, start, length, true, false), 0u);
    EXPECT_EQ(std::tuple(p.IsPartial(), start, length, p.ErrorCount()),
              std::tuple(true, 3 + bad.size(), cut.size() - 3 - bad.size(), 1u));
    EXPECT_EQ(p.FindMessage(std::span(stream).subspan(start), start, length, true, false),
              CUBXParser::KindCode(CUBXParser::kNavPvt));
    EXPECT_EQ(length, pvt.size());
    EXPECT_EQ(std::tuple(p.GetHexText().substr(0, 17), p.GetHexText().size(), owner.protocolsSeen),
              std::tuple("B5 62 01 07 5C 00", pvt.size() * 3 - 1, 2u));
    // A length field claiming more than is there waits, whatever it claims.
    const Bytes8 huge = {0xB5, 0x62, 0x02, 0x15, 0xFF, 0xFF, 1, 2, 3};
    EXPECT_EQ(p.FindMessage(huge, start, length, true, true), 0u);
    EXPECT_EQ(std::tuple(p.IsPartial(), p.ErrorCount()), std::tuple(true, 1u));
    // Fed as a stream, the damaged frame is never decoded.
    owner.Feed(stream);
    EXPECT_EQ(std::tuple(p.ErrorCount(), p.ErrorLog().back().size(), p.State()->pdop),
              std::tuple(2u, 14u, 0.0f));
    EXPECT_DOUBLE_EQ(p.State()->latitudeDeg, 1e-7);
    EXPECT_EQ(owner.selectCalls, std::vector<std::int32_t>{1});
}

TEST(UbxParser, EpochsDiagnosticsAndReplay)
{
    UbxOwner owner;
    std::vector<std::string> lines;
    owner.parser.SetDiagnosticSink([&](std::string_view l) { lines.emplace_back(l); });
    // POSLLH every second, PVT every half second; TIM-TP runs a second ahead.
    // clang-format off
    const auto posLlh = [](std::uint32_t tow, std::int32_t lat) { return Frame(CUBXParser::kNavPosLlh, Fields(28, {{0, tow, 4}, {8, lat, 4}, {12, 5000, 4}})); };
    const auto timTp = [](std::uint32_t tow) { return Frame(CUBXParser::kTimTp, Fields(16, {{0, tow, 4}, {12, 2300, 2}})); };
    // clang-format on
    const Bytes8 log = Join({posLlh(0, 10), Pvt(0, 10), timTp(1000), Pvt(500, 15),
                             Frame(CUBXParser::kMonHw, Fields(60, {{22, 0x0B, 1}})),
                             posLlh(1000, 20), Pvt(1000, 20), timTp(2000), Pvt(1500, 25)});
    owner.Feed(log);
    owner.Flush();
    std::vector<std::uint64_t> times;
    for (const auto& e : owner.epochs) times.push_back(e.timeOfDayMs);
    EXPECT_EQ(times, (std::vector<std::uint64_t>{0, 500, 1000, 1500}));
    EXPECT_EQ(lines, std::vector<std::string>{"btFlag : 0B\r\n"});

    CUBXParser& p = owner.parser;
    p.BuildTimeIndex(log, 100, false);
    EXPECT_EQ(
        std::tuple(p.GetPositionTypeIndex(), p.GetPositionTypeName(),
                   p.TimeIndexes().Get(CUBXParser::PosLlh).size(), p.GetIndexedMessageCount()),
        std::tuple(CUBXParser::Pvt, "PVT", 2u, 6));
    EpochPosition position;
    std::uint64_t offset = 0;
    std::size_t length = 0;
    const std::size_t epochs = owner.epochs.size();
    EXPECT_EQ(p.DecodeAtTime(600, position, log, 100, offset, length), 1000u);
    EXPECT_DOUBLE_EQ(position.latitudeDeg, 20e-7);
    EXPECT_EQ(length, Pvt(0).size());
    EXPECT_EQ(owner.epochs.size(), epochs);
    p.Reset();
    EXPECT_EQ(std::tuple(p.GetIndexedMessageCount(), p.State()->headingDeg), std::tuple(0, -1.0f));
    // The first frame with position and time, behind a TIM-TP that has neither.
    std::size_t start = 0;
    const Bytes8 tail(log.begin() + 36 + Pvt(0).size(), log.end());  // from the first TIM-TP
    EXPECT_TRUE(p.FindPositionMessage(tail, start, length));
    EXPECT_EQ(std::tuple(start, length), std::tuple(24u, Pvt(0).size()));
}
