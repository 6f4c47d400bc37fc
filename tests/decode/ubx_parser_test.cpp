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
#include "support/frame_walk.h"
#include "support/recording_owner.h"
#include "support/test_data.h"

namespace {

using Bytes8 = ByteVec;
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

Bytes8 Pvt(std::uint32_t iTow, std::int32_t lat = 0, std::int32_t lon = 0, std::size_t size = 92)
{
    return Frame(CUBXParser::kNavPvt, Fields(size, {{0, iTow, 4}, {24, lon, 4}, {28, lat, 4}}));
}

// The NAV time of day each time it changes, read from the independent frame walk.
std::vector<std::uint64_t> NavEpochTimes(const Bytes8& d, const std::vector<UbxSeen>& frames)
{
    std::vector<std::uint64_t> times;
    const std::set<int> atFour = {0x09, 0x13, 0x14, 0x3B, 0x3C};
    for (const UbxSeen& f : frames) {
        const std::size_t off = atFour.count(f.id) ? 4 : 0;
        // NAV-PL and NAV-0x64 carry no time of week at the start.
        if (f.cls != 0x01 || f.length < off + 4 || f.id == 0x62 || f.id == 0x64) continue;
        const std::uint64_t tow = f.U32(d, off) % 86400000;
        if (times.empty() || times.back() != tow) times.push_back(tow);
    }
    return times;
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
    const std::size_t files =
        captures::ForEach(captures::kUbx, [&](const auto& c, const Bytes8& bytes) {
            int bad = 0;
            const auto walk = NavEpochTimes(bytes, WalkUbx(bytes, &bad));
            UbxOwner owner;
            Decode(owner, bytes);
            EXPECT_EQ(std::tuple(owner.parser.ErrorCount(), bad),
                      std::tuple(std::uint32_t(c.ubxBad), c.ubxBad));
            std::vector<std::uint64_t> times;
            for (const auto& e : owner.epochs) times.push_back(e.timeOfDayMs);
            EXPECT_EQ(times, walk);
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
                ASSERT_EQ(EpochKeys(split.epochs), EpochKeys(owner.epochs)) << "block " << size;
                EXPECT_EQ(split.parser.ErrorCount(), owner.parser.ErrorCount());
            }
            // Replay of every indexed epoch reads the frame at its offset and gives the position
            // the live decode had there.
            CUBXParser& p = owner.parser;
            p.BuildTimeIndex(bytes, 0, false);
            if (p.GetPositionTypeIndex() == CUBXParser::NoPositionType) return;
            for (const auto& [time, entry] : p.TimeIndexes().Get(p.GetPositionTypeIndex())) {
                const AtTime r = DecodeAt(p, time, bytes, 0);
                ASSERT_EQ(std::tuple(r.key, r.offset), std::tuple(time, entry.filePosition));
                ASSERT_LT(r.offset + 1, bytes.size());
                EXPECT_EQ(std::tuple(bytes[r.offset], bytes[r.offset + 1]), std::tuple(0xB5, 0x62));
                ++replays;
                const auto live = std::find(times.begin(), times.end(), time);
                ASSERT_NE(live, times.end());
                EXPECT_NEAR(r.position.latitudeDeg, owner.epochs[live - times.begin()].latitudeDeg,
                            1e-6);
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

// A decoded value, named by what it reads, and what it must be.
#define STATE(field) #field, [](const CUBXParser& p) { return double(p.State()->field); }
#define PARSER(expr) #expr, [](const CUBXParser& p) { return double(p.expr); }
#define TEXT(field) #field, [](const CUBXParser& p) { return std::atof(p.State()->field.c_str()); }
struct Check {
    const char* name;
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
    const Bytes8 timTp = Cat({Pvt(1000), Frame(CUBXParser::kTimTp, Fields(16, {{0, 86402000, 4}, {12, 2300, 2}}))});
    // clang-format on
    const auto pvtFix = [](int fixType, int flags) {
        return Frame(CUBXParser::kNavPvt, Fields(92, {{20, fixType, 1}, {21, flags, 1}}));
    };
    // Galileo E11 on NAV-SAT, then NAV-SIG with sigId 1 (slot 0), 5 (slot 1), 6 and gnssId 4.
    Bytes8 sig = Fields(8 + 4 * 16, {{5, 4, 1}});
    for (const auto& [at, gnss, sigId, cno] : std::vector<std::array<int, 4>>{
             {8, 2, 1, 41}, {24, 2, 5, 30}, {40, 2, 6, 20}, {56, 4, 0, 10}})
        for (const Field f : {Field{0, gnss, 1}, {1, 11, 1}, {2, sigId, 1}, {6, cno, 1}})
            sig[at + f.at] = std::uint8_t(f.value);
    // clang-format off
    const std::vector<std::pair<Bytes8, std::vector<Check>>> cases = {
        {Pvt(432000123), {{STATE(timeOfDayMs), 123}}},  // iTOW 432000123: 123 ms into the day
        {dop, {{STATE(pdop), 1.56, kF}, {STATE(vdop), 0.8, kF}, {STATE(hdop), 1.2, kF}}},
        // gSpeed 10000 mm/s; sigma = hAcc / sqrt 2; no gnssFixOK: invalid
        {pvt, {{STATE(speedKmh), 36.0, kF}, {TEXT(timeText), 140507}, {TEXT(dateText), 90324},
               {STATE(longitudeDeg), -123.456789}, {STATE(latitudeDeg), 52.3456789},
               {STATE(ellipsoidHeight), 100.5}, {STATE(mslAltitude), 52.25},
               {STATE(geoidSeparation), 48.25}, {STATE(satellitesUsed), 17}, {STATE(fixMode), 3},
               {STATE(sigmaLat), 1.414 / std::sqrt(2.0), kF}, {STATE(sigmaAlt), 2.5, kF},
               {STATE(contentFlags),
                double(CUBXParser::KindCode(CUBXParser::kNavPvt) | ContentFlag::FixQuality)},
               {STATE(fixQuality), 0}}},
        // carrSoln 2: RTK fixed, 1: float; diffSoln: DGPS; plain; dead reckoning; time only
        {pvtFix(3, 0x81), {{STATE(fixQuality), 4}}}, {pvtFix(3, 0x41), {{STATE(fixQuality), 5}}},
        {pvtFix(3, 0x03), {{STATE(fixQuality), 2}}}, {pvtFix(2, 0x01), {{STATE(fixQuality), 1}}},
        {pvtFix(1, 0x00), {{STATE(fixQuality), 6}}}, {pvtFix(5, 0x01), {{STATE(fixQuality), 0}}},
        // lon + lonHp, lat + latHp, heights + 0.1 mm parts, accuracies in 0.1 mm, iTOW at 4
        {hp, {{STATE(longitudeDeg), 123.456788995}, {STATE(latitudeDeg), -33.456789093},
              {STATE(ellipsoidHeight), 100.5003}, {STATE(mslAltitude), 52.2496},
              {STATE(horizontalAccuracy), 0.0141, kF}, {STATE(sigmaAlt), 0.0025, kF},
              {STATE(timeOfDayMs), 1000}}},
        {posLlh, {{STATE(ellipsoidHeight), -12.345}, {STATE(mslAltitude), 31.5},
                  {STATE(horizontalAccuracy), 2.0, kF}, {STATE(sigmaAlt), 3.5, kF}}},
        {timeUtc, {{TEXT(timeText), 235958}, {TEXT(dateText), 311223}}},
        // spoofing 3, jamming 3 then 1; jamming 3 alone is critical
        {Cat({Status(3, 1, 3 << 3), MonHw(3), MonHw(1)}), {{STATE(interferenceFlags), 0x20}}},
        {MonHw(3), {{STATE(interferenceFlags), 0x02},
                    {STATE(contentFlags & ContentFlag::Interference), ContentFlag::Interference}}},
        {Status(3, 3, 0), {{STATE(fixQuality), 2}}},  // NAV-STATUS flags 3: DGPS
        {Cat({Status(3, 1, 0), Status(1, 0, 0)}), {{STATE(fixQuality), 6}}},  // dead reckoning
        // cno 0 adds nothing, even used
        {NavSat({{0, 5, 0, 1}, {4, 6, 30, 1}}), {{STATE(inViewTotal), 0}}},
        {NavSat({{0, 5, 0, 1}}), {{STATE(usedTotal), 0}}},
        // a second NAV-SAT fills slot 1; gnssId 6 is GLONASS; elevation 45, azimuth 270
        {Cat({NavSat({{0, 5, 40, 1}, {6, 9, 33, 0}}), NavSat({{0, 5, 37, 1}})}),
         {{STATE(satellitesInView[1][0].snr[1]), 37}, {STATE(satellitesInView[1][0].signalMask), 3},
          {STATE(satellitesInView[1][0].azimuthDeg), 270},
          {STATE(satellitesInView[1][0].elevationDeg), 45},
          {STATE(satellitesInView[3][0].prn), 9}, {STATE(usedTotal), 1}}},
        // NAV-SIG sigId 1 to slot 0, 5 to slot 1; it adds no satellite
        {Cat({NavSat({{2, 11, 40, 0}}), Frame(CUBXParser::kNavSig, sig)}),
         {{STATE(satellitesInView[4][0].snr[0]), 41}, {STATE(satellitesInView[4][0].snr[1]), 30},
          {STATE(inViewTotal), 1}}},
        {EsfStatus({2, 3, 2}), {{STATE(sensorsCalibrated), 1}, {PARSER(CalibratedSensorCount()), 3},
                                {PARSER(Sensors()[1].time), 1}}},
        // only sensor 1 not; sensor 0 not; two not (one unused)
        {EsfStatus({2, 1, 3}), {{STATE(sensorsCalibrated), 1}}},
        {EsfStatus({1, 2, 3}), {{STATE(sensorsCalibrated), 0}}},
        {Cat({EsfStatus({2, 2}), EsfStatus({0, -1, 2})}), {{STATE(sensorsCalibrated), 0}}},
        // short PVT: no latitude, no position; short POSLLH: latitude inside, no height
        {Pvt(5000, 11, 22, 30),
         {{STATE(longitudeDeg), 0}, {STATE(contentFlags & ContentFlag::Position), 0}}},
        {Frame(CUBXParser::kNavPosLlh, Fields(14, {{4, 10, 4}, {8, 20, 4}})),
         {{STATE(latitudeDeg), 2e-6}, {STATE(contentFlags & ContentFlag::Height), 0}}},
        // TIM-TP leaves the clock
        {timTp, {{STATE(timeOfDayMs), 1000}, {TEXT(timeText), 2}, {TEXT(dateText), 50224}}},
    };
    // clang-format on
    for (std::size_t i = 0; i < cases.size(); ++i) {
        UbxOwner owner;
        owner.Feed(cases[i].first);
        for (const Check& c : cases[i].second)
            EXPECT_NEAR(c.get(owner.parser), c.expected, c.tolerance) << i << " " << c.name;
    }
}

TEST(UbxParser, FramingPartialsChecksumsAndHexText)
{
    UbxOwner owner;
    CUBXParser& p = owner.parser;
    const Bytes8 pvt = Pvt(2000, 1, 2);
    Bytes8 bad = Frame(CUBXParser::kNavDop, Fields(18, {{6, 999, 2}}));
    bad.back() ^= 1;
    const Bytes8 stream = Cat({{0x00, 0xB5, 0x00}, bad, pvt});
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
    const Bytes8 log = Cat({posLlh(0, 10), Pvt(0, 10), timTp(1000), Pvt(500, 15),
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
    const AtTime at = DecodeAt(p, 600, log, 100);
    EXPECT_EQ(std::tuple(at.key, at.length, owner.epochs.size()),
              std::tuple(1000u, Pvt(0).size(), 4u));
    EXPECT_DOUBLE_EQ(at.position.latitudeDeg, 20e-7);
    p.Reset();
    EXPECT_EQ(std::tuple(p.GetIndexedMessageCount(), p.State()->headingDeg), std::tuple(0, -1.0f));
    // The first frame with position and time, behind a TIM-TP that has neither.
    std::size_t start = 0, length = 0;
    const Bytes8 tail(log.begin() + 36 + Pvt(0).size(), log.end());  // from the first TIM-TP
    EXPECT_TRUE(p.FindPositionMessage(tail, start, length));
    EXPECT_EQ(std::tuple(start, length), std::tuple(24u, Pvt(0).size()));
}
