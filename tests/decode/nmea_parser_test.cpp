#include "decode/nmea_parser.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <tuple>

#include "decode/taxi_meter_step.h"
#include "support/captures.h"
#include "support/epoch_keys.h"
#include "support/frame_walk.h"
#include "support/recording_owner.h"
#include "support/test_data.h"

namespace {

std::int32_t Parse(CNmeaParser& parser, const std::string& text)
{
    return parser.ParseMessage(Bytes(text), false);
}

// Decodes the sentences built from bodies, one by one.
void Put(CNmeaParser& parser, std::initializer_list<std::string_view> bodies)
{
    for (const std::string_view body : bodies) Parse(parser, Sentence(body));
}

// The state after the one sentence built from body.
GnssReceiverState After(const std::string& body)
{
    RecordingOwner owner;
    Parse(owner.parser, Sentence(body));
    return *owner.parser.State();
}

// GGA, RMC and GLL at 12:00:00 and tenths of a second.
std::string Time(int tenths)
{
    char text[32];
    std::snprintf(text, sizeof text, "1200%02d.%d0", tenths / 10, tenths % 10);
    return text;
}
const std::string kAt = ",3723.0,N,12658.0,E,";
std::string Gga(int t) { return Sentence("GPGGA," + Time(t) + kAt + "1,05,1.2,10.0,M,20.0,M,,"); }
std::string Rmc(int t) { return Sentence("GPRMC," + Time(t) + ",A" + kAt + "1.0,10.0,051226,,,A"); }
std::string Gll(int t) { return Sentence("GPGLL" + kAt + Time(t) + ",A,A"); }
const std::string kGga = Gga(0);
const std::string kRmc = Rmc(10);

TEST(NmeaHandlers, GgaTimeAndCoordinates)
{
    const std::string tail = ",1,05,1.2,10.0,M,0.0,M,,";
    // clang-format off
    const std::tuple<std::string, std::uint64_t, double, double, bool> cases[] = {
        {"123456.78,3723.4567,S,12658.8726,E,4,12,0.8,41.5,M,23.1,M,1.0,0042", 45296780, -37.390945, 126.98121, true},
        {"000000.00,3723.4567,,12658.8726,W" + tail, 0, 37.390945, -126.98121, true},
        // Absurd latitude and minutes are not a position.
        {"010203.5,9999.9999,N,12658.8726,E" + tail, 3723500, 0, 0, false},
        {"010203,3760.5000,N,12658.8726,E" + tail, 3723000, 0, 0, false},
        {"010203,abcd.efgh,N,xyz,E" + tail, 3723000, 0, 0, false},
        // Not a time: the clock and the position stay untouched.
        {"999999,3723.4567,N,12658.8726,E" + tail, 0, 0, 0, false},
        {"1234a6,3723.4567,N,12658.8726,E" + tail, 0, 0, 0, false},
        {",,,,,0,,,,M,,M,,", 0, 0, 0, false},
    };
    // clang-format on
    for (const auto& [body, timeMs, lat, lon, hasPosition] : cases) {
        SCOPED_TRACE(body);
        const GnssReceiverState s = After("GPGGA," + body);
        EXPECT_EQ(std::tuple(s.timeOfDayMs, s.timeOfDaySec, s.Has(ContentFlag::Position),
                             s.Has(ContentFlag::TimeOfDay)),
                  std::tuple(timeMs, timeMs / 1000, hasPosition, timeMs != 0 || hasPosition));
        EXPECT_NEAR(s.latitudeDeg, lat, 1e-6);
        EXPECT_NEAR(s.longitudeDeg, lon, 1e-5);
    }
}

TEST(NmeaHandlers, SentenceFields)
{
    RecordingOwner owner;
    CNmeaParser& p = owner.parser;
    const GnssReceiverState& s = *p.State();
    // RMC speed and course win over a later VTG of the epoch.
    Put(p, {"GPRMC,120000.00,A,3723.4567,N,12658.8726,E,10.0,45.5,051226,,,A",
            "GPVTG,90.0,T,,M,20.0,N,37.0,K,A"});
    EXPECT_NEAR(s.speedKmh, 18.52, 1e-4);
    EXPECT_EQ(std::tuple(s.courseDeg, s.dateText,
                         s.Has(ContentFlag::Speed | ContentFlag::Course | ContentFlag::Date |
                               ContentFlag::Vtg | ContentFlag::Rmc)),
              std::tuple(45.5f, "051226", true));
    Put(p, {"GPGST,172814.0,0.006,0.023,0.020,273.6,0.5,0.6,0.7"});
    EXPECT_EQ(std::tuple(s.sigmaLat, s.sigmaLon, s.sigmaAlt, s.Has(ContentFlag::ErrorDeviation)),
              std::tuple(0.5f, 0.6f, 0.7f, true));
    Put(p, {"PTNL,AVR,212405.20,-149.4688,Yaw,0.0134,Tilt,,,60.191,3,2.5,6"});
    const float yaw = s.yawDeg;
    Put(p, {"PTNL,AVR,212405.20,+12.5,Yaw,0.0134,Tilt,,,60.191,3,2.5,6",
            "PTNL,BPQ,224445.06,021207,3723.09383914,N,12200.32620132,W,EHT-5.923,M,5",
            "PTNL,VGK,160159.00,010997,-0000.161,00009.985,-0000.002,3,07,1,4,M"});
    ExpectNear({NEAR(yaw, -149.4688, 1e-5), NEAR(s.yawDeg, 12.5, 0),
                NEAR(s.baseLatitudeDeg, 37.384897319, 1e-9),
                NEAR(s.baseLongitudeDeg, -122.005436689, 1e-9)});
    EXPECT_EQ(std::tuple(s.baselineEast, s.baselineNorth, s.baselineUp,
                         s.Has(ContentFlag::BaseStation | ContentFlag::Baseline)),
              std::tuple(-0.161, 9.985, -0.002, true));
    Put(p, {"GPZDA,160012.71,11,03,2004,-1,00"});
    EXPECT_EQ(s.dateText, "20040311");
    p.State()->ClearEpoch();
    Put(p, {"GPHDT,,T"});
    EXPECT_EQ(std::tuple(s.headingDeg, s.contentFlags),
              std::tuple(-1.0f, ContentFlag::HeadingSentence));
    Put(p, {"GPHDT,274.07,T"});
    EXPECT_EQ(std::tuple(s.headingDeg, s.Has(ContentFlag::Heading | ContentFlag::HeadingSentence)),
              std::tuple(274.07f, true));

    const GnssReceiverState vtgOnly = After("GPVTG,90.0,T,,M,20.0,N,37.0,K,A");
    EXPECT_EQ(std::tuple(vtgOnly.speedKmh, vtgOnly.courseDeg), std::tuple(37.0f, 90.0f));
}

TEST(NmeaHandlers, GnsModeCharacterFollowsTheTalker)
{
    const std::tuple<const char*, const char*, int> cases[] = {
        {"GP", "DAR", 2}, {"GL", "DAR", 1}, {"GA", "DAR", 4}, {"GB", "NNNR", 4}, {"GQ", "NNNNF", 5},
        {"GN", "RDA", 4}, {"GA", "D", 2},   {"GN", "", 0},    {"GP", "X", 0},
    };
    for (const auto& [talker, mode, quality] : cases) {
        SCOPED_TRACE(std::string(talker) + " " + mode);
        const GnssReceiverState s =
            After(std::string(talker) + "GNS,120000.00,3723.4567,N,12658.8726,E," + mode +
                  ",10,0.9,41.5,23.1,,0007,V");
        EXPECT_EQ(std::tuple(s.fixQuality, s.satellitesUsed, s.hdop, s.mslAltitude),
                  std::tuple(quality, 10, 0.9f, 41.5));
        EXPECT_NEAR(s.ellipsoidHeight, 64.6, 1e-9);
        EXPECT_EQ(s.stationId, "0007");
    }
}

TEST(NmeaHandlers, MisnamedAndUnknownSentences)
{
    RecordingOwner owner;
    CNmeaParser& p = owner.parser;
    // The recogniser reads "GPGGX" as GGA; the handler must refuse it.
    const std::string ggx = Sentence("GPGGX,120000.00,3723.4567,N,12658.8726,E,1,05,1,1,M,1,M,,");
    EXPECT_EQ(std::tuple(Parse(p, ggx), p.State()->contentFlags), std::tuple(0, 0u));
    // Consumed: through the first CR; an unknown sentence whole, without a CR all of it.
    EXPECT_EQ(Parse(p, kGga), static_cast<std::int32_t>(kGga.size() - 1));
    const std::uint32_t flags = p.State()->contentFlags;
    const std::string txt = "$GPTXT,01,01,02,hello*4B\n";
    EXPECT_EQ(Parse(p, txt), static_cast<std::int32_t>(txt.size()));
    EXPECT_EQ(p.State()->contentFlags, flags) << "an unknown sentence changes nothing";
}

TEST(NmeaSatellites, GsaRowComesFromTheSystemId)
{
    const std::pair<const char*, int> cases[] = {
        {"1.5,0.9,1.2", 0},   {"1.5,0.9,1.2,3", 4}, {"1.5,0.9,1.2,1", 1},   {"1.5,0.9,1.2,2", 3},
        {"1.5,0.9,1.2,4", 6}, {"1.5,0.9,1.2,5", 5}, {"1.5,0.9,1.2,1.2", 0}, {"1.5,0.9,1.2,", 0},
    };
    for (const auto& [tail, row] : cases) {
        SCOPED_TRACE(tail);
        const GnssReceiverState s = After(std::string("GNGSA,A,3,05,07,,09,,,,,,,,,") + tail);
        ASSERT_EQ(s.usedCount[row], 3);
        EXPECT_EQ(std::tuple(s.usedPrn[row][0], s.usedPrn[row][2], s.usedTotal),
                  std::tuple(5, 9, 3));
        EXPECT_EQ(std::tuple(s.fixMode, s.pdop, s.hdop, s.vdop), std::tuple(3, 1.5f, 0.9f, 1.2f));
    }
}

TEST(NmeaSatellites, UsedAndInViewRowsWrap)
{
    RecordingOwner owner;
    for (int first = 1; first <= 22; first += 11) {
        std::string body = "GPGSA,A,3";
        for (int i = 0; i < 12; ++i) body += "," + std::to_string(first + i);
        Parse(owner.parser, Sentence(body + ",1.0,1.0,1.0,1"));
    }
    // 1..22 then 23 (the second sentence lists 12..23, of which 12 is known).
    const GnssReceiverState& s = *owner.parser.State();
    EXPECT_EQ(
        std::tuple(s.usedTotal, s.usedCount[1], s.usedPrn[1][0], s.usedPrn[1][1], s.usedPrn[1][2]),
        std::tuple(23, 2, 22, 23, 3));
    // The in-view row wraps after 64 entries.
    for (int prn = 1; prn <= 65; prn += 4) {
        std::string body = "GLGSV,17,2,65";
        for (int i = 0; i < 4 && prn + i <= 65; ++i)
            body += "," + std::to_string(prn + i) + ",10,20,30";
        Parse(owner.parser, Sentence(body));
    }
    EXPECT_EQ(std::tuple(s.inViewTotal, s.inViewCount[3], s.satellitesInView[3][0].prn,
                         s.satellitesInView[3][63].prn),
              std::tuple(65, 1, 65, 64));
}

TEST(NmeaSatellites, GpsTalkerRoutesSbasAndQzssNumbers)
{
    // Each side of the SBAS (33-64) and QZSS (193-197) ranges.
    const std::pair<int, int> cases[] = {{32, 1},  {33, 2},  {64, 2},  {65, 1},
                                         {192, 1}, {193, 5}, {197, 5}, {198, 1}};
    for (const auto& [prn, row] : cases) {
        const GnssReceiverState s = After("GPGSV,1,1,01," + std::to_string(prn) + ",60,150,47");
        const SatelliteInView* sat = FindSat(s, row, prn);
        ASSERT_NE(sat, nullptr) << prn;
        EXPECT_EQ(std::tuple(sat->elevationDeg, sat->azimuthDeg, sat->snr[0], sat->constellation),
                  std::tuple(60, 150, 47, row));
    }
    RecordingOwner other;
    Put(other.parser, {"GPGSV,1,1,01,07,10,300,"});
    EXPECT_EQ(std::get<0>(Signals(*other.parser.State(), 1, 7)), 0);  // there, with no level
    Put(other.parser, {"GNGSV,1,1,01,05,45,200,44", "GLGSV,1,1,00"});
    EXPECT_EQ(other.parser.State()->inViewTotal, 1);
}

TEST(NmeaSatellites, SecondCycleOfSeveralSentencesFillsSignalSlotOne)
{
    RecordingOwner owner;
    // NMEA 4.11: an L1 cycle (signal id 1) of two sentences, then an L5 cycle (signal id 8) of
    // two: every satellite of the second cycle's second sentence is on the second signal too.
    Put(owner.parser, {"GPGSV,2,1,06,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45,1",
                       "GPGSV,2,2,06,15,66,150,50,24,10,045,30,1",
                       "GPGSV,2,1,06,01,40,083,40,02,17,308,,12,07,344,33,14,22,228,35,8",
                       "GPGSV,2,2,06,15,66,150,44,24,10,045,21,8"});
    const GnssReceiverState& s = *owner.parser.State();
    ASSERT_EQ(s.inViewCount[1], 6) << "the trailing signal id must not become a satellite";
    EXPECT_EQ(s.inViewTotal, 6);
    const std::tuple<int, int, int> expected[] = {{1, 46, 40},  {2, 41, 0},   {12, 39, 33},
                                                  {14, 45, 35}, {15, 50, 44}, {24, 30, 21}};
    for (const auto& [prn, l1, l5] : expected)
        EXPECT_EQ(Signals(s, 1, prn), std::tuple(l1, l5, 3u)) << prn;
}

TEST(NmeaEpochs, PositionTimeStartsAnEpochOnce)
{
    RecordingOwner owner;
    owner.Feed(kGga + Sentence("GPRMC,120000.00,A,3723.9999,N,12658.9999,E,1.0,10.0,051226,,,A") +
               Sentence("GPGSV,1,1,01,05,45,200,44") +
               Sentence("GPGGA,120001.00,3723.0010,N,12658.0010,E,2,06,1.1,11.0,M,20.0,M,,"));
    EXPECT_EQ(owner.selectCalls, std::vector<std::int32_t>{0});
    ASSERT_EQ(owner.epochs.size(), 1u);
    const GnssReceiverState& first = owner.epochs[0];
    EXPECT_EQ(std::tuple(first.timeOfDayMs, first.inViewTotal), std::tuple(43200000u, 1));
    // The RMC of the same second did not move the GGA position.
    ExpectNear({NEAR(first.latitudeDeg, 37.383333333, 1e-9), NEAR(first.speedKmh, 1.852, 1e-5)});
    const GnssReceiverState& now = *owner.parser.State();
    EXPECT_EQ(std::tuple(now.timeOfDayMs, now.fixQuality), std::tuple(43201000u, 2));
    EXPECT_EQ(now.inViewTotal, 0) << "the owner cleared the epoch part after its snapshot";
}

TEST(NmeaEpochs, NoCallbacksWhileReplayingOrWhenNotTheSource)
{
    const std::string twoEpochs = kGga + Gga(10);
    RecordingOwner replay;
    replay.replaying = true;
    replay.Feed(twoEpochs);
    EXPECT_TRUE(replay.epochs.empty());
    EXPECT_EQ(replay.parser.State()->timeOfDayMs, 43201000u);

    RecordingOwner declined;
    declined.acceptSource = false;
    declined.Feed(twoEpochs);
    EXPECT_TRUE(declined.epochs.empty());
    EXPECT_EQ(declined.selectCalls.size(), 2u) << "asks again while it is not the source";
}

class CountingMeter : public ITaxiMeterStep {
public:
    void Step(const GnssReceiverState&) override { ++steps; }
    void ResetSamples() override { ++resets; }
    int steps = 0;
    int resets = 0;
};

TEST(NmeaLifecycle, ResetPositionAndTaxiMeter)
{
    RecordingOwner owner;
    CNmeaParser& p = owner.parser;
    CountingMeter meter;
    p.SetTaxiMeter(&meter);
    std::array<double, 3> position = {1.0, 2.0, 3.0};
    EXPECT_EQ(p.GetPosition(position), kNoTime);
    EXPECT_EQ(position, (std::array<double, 3>{1.0, 2.0, 3.0}));
    Parse(p, kGga);
    EXPECT_EQ(std::tuple(meter.steps, p.GetPosition(position)), std::tuple(0, 43200000u))
        << "steps only in taxi operation";
    ExpectNear({NEAR(position[0], 37.383333333, 1e-9), NEAR(position[2], 30.0, 1e-9)});
    p.SetOperationType(1);
    Parse(p, kGga);
    Put(p, {"GPGSV,1,1,01,05,45,200,44"});
    EXPECT_EQ(meter.steps, 2);
    p.SetTaxiMeterSwitch(false);
    Parse(p, kGga);
    EXPECT_EQ(meter.steps, 2);

    Put(p, {"GPHDT,12.0,T"});
    p.Reset();
    EXPECT_EQ(
        std::tuple(meter.resets, p.State()->headingDeg, p.State()->yawDeg, p.State()->timeOfDayMs),
        std::tuple(1, -1.0f, -1.0f, 0u));
    EXPECT_EQ(p.GetPosition(position), kNoTime);
    EXPECT_EQ(p.GetPositionTypeIndex(), CNmeaParser::NoPositionType);
}

struct Framed {
    std::uint32_t code;
    std::size_t start;
    std::size_t length;
    bool partial;
};

Framed Find(CNmeaParser& p, std::string_view buffer, bool check = true, bool stopOnError = false)
{
    Framed f{};
    f.code = p.FindMessage(Bytes(buffer), f.start, f.length, check, stopOnError);
    f.partial = p.IsPartial();
    return f;
}

TEST(NmeaFraming, RecognizedKinds)
{
    // Kinds whose handler would not tell: other talkers and proprietary sentences.
    // clang-format off
    const std::pair<const char*, std::uint32_t> cases[] = {
        {"$GAGGA,", CNmeaParser::kCodeGga}, {"$PTNL,GGK", CNmeaParser::kCodeUnknown},
        {"$PASHR,POS", CNmeaParser::kCodePashrPos}, {"$PASHR,SAT", 0u}, {"$PTNLRBA,1", 0u},
        {"$BDGSV,1,", 0u}, {"$HEHDT,4.", 0u}, {"$GPGGA", 0u} /* too short */};
    // clang-format on
    for (const auto& [text, code] : cases)
        EXPECT_EQ(CNmeaParser::Recognize(Bytes(text)), code) << text;
}

TEST(NmeaFraming, LongTextWithoutChecksumIsAbandoned)
{
    RecordingOwner owner;
    for (std::size_t tail : {std::size_t{119}, std::size_t{120}, std::size_t{5000}}) {
        const Framed f = Find(owner.parser, "$GPGGA" + std::string(tail - 6, 'x'));
        EXPECT_EQ(std::tuple(f.code, f.partial), std::tuple(0u, tail < CNmeaParser::kAbandonLength))
            << tail;
    }
    // The same limit holds when the whole text is already there: how bytes are chunked
    // must not decide what is a sentence.
    // "$GPTXT," + n + "*hh" is n + 10 characters: 119 is a sentence, 120 is not.
    for (const auto& [n, kept] : {std::pair{109, true}, std::pair{110, false}}) {
        const std::string text = Sentence("GPTXT," + std::string(std::size_t(n), '1'));
        const Framed f = Find(owner.parser, text + Sentence("GPHDT,274.07,T"));
        EXPECT_EQ(std::tuple(f.start == 0, f.code == CNmeaParser::kCodeHdt),
                  std::tuple(kept, !kept))
            << n;
    }
    // An abandoned text must not take a real sentence start behind it along.
    const std::string buffer = "$PGARBAGE" + std::string(200, 'x') + "$GPGGA,1200";
    const Framed f = Find(owner.parser, buffer);
    EXPECT_EQ(std::tuple(f.partial, buffer.substr(f.start)), std::tuple(true, "$GPGGA,1200"));
}

TEST(NmeaFraming, ChecksumFailuresAreLoggedAndNeverDecoded)
{
    RecordingOwner owner;
    std::string bad = kGga;
    bad[bad.size() - 3] = bad[bad.size() - 3] == '0' ? '1' : '0';
    Framed f = Find(owner.parser, bad + kRmc);
    EXPECT_EQ(std::tuple(f.code, f.start), std::tuple(CNmeaParser::kCodeRmc, bad.size()));
    ASSERT_EQ(std::tuple(owner.parser.ErrorCount(), owner.parser.ErrorLog().size()),
              std::tuple(1u, 1u));
    EXPECT_TRUE(std::regex_match(owner.parser.ErrorLog()[0], std::regex(R"(\[\d{6}\] error)")))
        << owner.parser.ErrorLog()[0];
    // Stop-on-error ends the search at the bad sentence.
    f = Find(owner.parser, bad + kRmc, true, true);
    EXPECT_EQ(std::tuple(f.code, f.partial, owner.parser.ErrorCount()), std::tuple(0u, false, 2u));
    // Unchecked, the bad sentence is framed as long as its digits are hexadecimal.
    EXPECT_EQ(Find(owner.parser, bad + kRmc, false).code, CNmeaParser::kCodeGga);
    EXPECT_EQ(Find(owner.parser, "$GPGGA,1*ZZ\r\n" + kRmc, false, true).code, 0u);
    // The owner's skip-checksum setting wins over the check flag.
    owner.skipChecksum = true;
    f = Find(owner.parser, bad);
    EXPECT_EQ(std::tuple(f.code, owner.parser.ErrorCount()), std::tuple(CNmeaParser::kCodeGga, 2u));

    std::vector<std::string> diagnostics;
    owner.parser.SetDiagnosticSink([&](std::string_view line) { diagnostics.emplace_back(line); });
    EXPECT_TRUE(owner.parser.VerifyChecksum(Bytes("$GPHDT,274.07,T*03")));
    for (const char* wrong :
         {"$GPHDT,274.07,T*13", "$GPHDT,274.07,T*04", "$GPHDT,274.07,T*0", "$GPHDT,274.07,T"})
        EXPECT_FALSE(owner.parser.VerifyChecksum(Bytes(wrong))) << wrong;
    ASSERT_EQ(diagnostics.size(), 4u);
    EXPECT_NE(diagnostics[1].find("(H)"), std::string::npos);
    EXPECT_NE(diagnostics[3].find("(L)"), std::string::npos);
}

// ---- real captures: against the inventory, an independent reading; replay time index ----

std::vector<GnssReceiverState> DecodeFile(const std::vector<std::uint8_t>& bytes,
                                          std::size_t block = 10240)
{
    RecordingOwner owner;
    owner.FeedInBlocks(bytes, block);
    return owner.epochs;
}

TEST(NmeaRealData, EveryCaptureMatchesAnIndependentReadingAndTheInventory)
{
    SKIP_WITHOUT_DATA();
    std::size_t total = 0;
    const std::size_t files =
        captures::ForEach(captures::kNmea, [&](const auto& c, const auto& bytes) {
            RecordingOwner owner;
            owner.FeedInBlocks(bytes, 10240);
            const auto& epochs = owner.epochs;
            if (c.nmeaEpochs >= 0) {
                EXPECT_EQ(epochs.size(), std::size_t(c.nmeaEpochs));
            }
            // In a mixed stream binary bytes may pass for a damaged sentence.
            if (c.protocols == captures::kNmea) {
                EXPECT_EQ(owner.parser.ErrorCount(), std::uint32_t(c.nmeaBad));
            }
            total += epochs.size();
            // However the bytes arrive, the epochs stay the same.
            const auto reference = EpochKeys(epochs);
            for (std::size_t block : {1, 7, 1024})
                EXPECT_EQ(EpochKeys(DecodeFile(bytes, block)), reference) << block;
        });
    EXPECT_GE(files, 29u);
    EXPECT_GT(total, 1900u);
}

TEST(NmeaRealData, HandCheckedEpochs)
{
    SKIP_WITHOUT_DATA();
    // $GNRMC,003956.00,A,4552.65403,S,17030.00668,E,0.025,,120419,,,A,V*07
    // $GNGGA,003956.00,4552.65403,S,17030.00668,E,1,12,0.64,14.2,M,1.8,M,,*56
    // four GNGSA (1.05,0.64,0.83) with 8 + 3 + 3 + 6 satellites, GSV 12 + 10 + 9 + 10,
    // each constellation in two GSV cycles of up to three sentences (signal ids 1 and 6,
    // 7 and 2 for Galileo).
    const auto f9p = DecodeFile(captures::Read("nmea/gpsd_ublox-zed-f9p_nmea41_4gnss.log"));
    ASSERT_FALSE(f9p.empty());
    const GnssReceiverState& s = f9p[0];
    ExpectNear({NEAR(s.latitudeDeg, -45.877567167, 1e-9), NEAR(s.longitudeDeg, 170.500111333, 1e-9),
                NEAR(s.mslAltitude, 14.2, 1e-5), NEAR(s.ellipsoidHeight, 16.0, 1e-5),
                NEAR(s.speedKmh, 0.025 * 1.852, 1e-6)});
    // The GNZDA after the RMC has the last word on the date.
    EXPECT_EQ(std::tuple(s.timeOfDayMs, s.fixQuality, s.satellitesUsed, s.fixMode, s.pdop, s.hdop,
                         s.vdop, s.dateText, s.Has(0x3C730000u)),
              std::tuple(2396000u, 1, 12, 3, 1.05f, 0.64f, 0.83f, "20190412", true));
    EXPECT_EQ(std::tuple(s.usedTotal, s.usedCount[4], s.usedCount[6], s.inViewTotal,
                         s.inViewCount[1], s.inViewCount[4]),
              std::tuple(20, 3, 6, 41, 12, 9));
    // {row, prn, first signal, second signal}: G27 and E33 are in a third sentence, E12 in
    // a second one.
    const std::tuple<int, int, int, int> sats[] = {
        {1, 27, 31, 29}, {1, 5, 19, 0}, {4, 12, 31, 35}, {4, 18, 32, 31}, {4, 33, 8, 0}};
    for (const auto& [row, prn, first, second] : sats)
        EXPECT_EQ(Signals(s, row, prn), std::tuple(first, second, 3u)) << row << " " << prn;
    // $GNGGA,132819.70,4134.49795443,N,09345.03431421,W,2,10,0.9,278.161,M,-31.442,M,6.6,0133*6B
    // $GNRMC,132819.70,A,4134.49795443,N,09345.03431421,W,0.355,139.060,180320,11.5985,E,D*32
    const auto epochs = DecodeFile(captures::Read("nmea/gpsd_trimble_rtkfix_10hz.log"));
    ASSERT_GE(epochs.size(), 2u);
    const GnssReceiverState& t = epochs[1];
    ExpectNear({NEAR(t.latitudeDeg, 41 + 34.49795443 / 60, 1e-10),
                NEAR(t.longitudeDeg, -(93 + 45.03431421 / 60), 1e-10),
                NEAR(t.ellipsoidHeight, 278.161 - 31.442, 1e-4),
                NEAR(t.speedKmh, 0.355 * 1.852, 1e-5), NEAR(t.courseDeg, 139.06, 1e-4)});
    EXPECT_EQ(
        std::tuple(t.timeOfDayMs, t.fixQuality, t.stationId, t.timeOfDayMs - epochs[0].timeOfDayMs),
        std::tuple((13 * 3600 + 28 * 60 + 19) * 1000u + 700, 2, "0133", 100u));
}

TEST(NmeaTimeIndex, FastestTypeWinsAndTiesGoToTheFirstInAnEpoch)
{
    std::string rmcFaster, ggaFirst, rmcFirst, disjoint;
    for (int t = 0; t < 30; ++t) rmcFaster += (t % 10 == 0 ? Gga(t) : "") + Rmc(t);
    for (int t = 0; t < 50; t += 10) {
        ggaFirst += Gga(t) + Rmc(t) + Gll(t);
        rmcFirst += Rmc(t) + Gga(t);
        // GGA and RMC never share a time: the first entry lying first in the log decides.
        disjoint += Rmc(t + 100) + Gga(t);
    }
    // Exactly the tied types at one time: a time with an extra GLL does not count.
    std::string mixed = Gll(0) + Gga(0) + Rmc(0) + Rmc(10) + Gga(10);
    for (int t = 20; t < 50; t += 10) mixed += Gga(t) + Rmc(t);
    const std::pair<std::string, std::int32_t> cases[] = {
        {rmcFaster, CNmeaParser::Rmc}, {ggaFirst, CNmeaParser::Gga},
        {rmcFirst, CNmeaParser::Rmc},  {disjoint, CNmeaParser::Rmc},
        {mixed, CNmeaParser::Rmc},     {"no sentences here", CNmeaParser::NoPositionType}};
    for (const auto& [log, type] : cases) {
        RecordingOwner owner;
        owner.parser.BuildTimeIndex(Bytes(log), 0, false);
        EXPECT_EQ(owner.parser.GetPositionTypeIndex(), type) << log.substr(0, 40);
    }
    RecordingOwner owner;
    owner.parser.BuildTimeIndex(Bytes(rmcFaster), 0, false);
    EXPECT_EQ(std::tuple(owner.parser.GetSmallestInterval(CNmeaParser::Rmc),
                         owner.parser.GetSmallestInterval(CNmeaParser::Gga),
                         owner.parser.GetIndexedMessageCount(), owner.parser.GetPositionTypeName()),
              std::tuple(100u, 1000u, 33, "RMC"));
}

TEST(NmeaTimeIndex, DamagedTimelessAndIncrementalBlocks)
{
    std::string bad = Gga(10);
    bad[bad.size() - 3] ^= 1;
    const std::string log =
        Gga(0) + bad + Sentence("GPGGA,,,,,,0,,,,M,,M,,") + "$GPGGA,120003.00,37" + Gga(20);
    RecordingOwner owner;
    CNmeaParser& p = owner.parser;
    p.BuildTimeIndex(Bytes(log), 1000, false);
    const TimeIndex& index = p.GetTimeIndex(CNmeaParser::Gga);
    ASSERT_EQ(index.size(), 2u);
    EXPECT_EQ(std::tuple(index.begin()->second.filePosition, index.begin()->second.length,
                         p.GetSmallestInterval(CNmeaParser::Gga)),
              std::tuple(1000u, Gga(0).size(), 2000u));

    std::string first, second;
    for (int t = 0; t < 30; t += 10) first += Gga(t) + Rmc(t);
    for (int t = 30; t < 60; t += 10) second += Gga(t) + Rmc(t);
    p.BuildTimeIndex(Bytes(first), 0, false);
    ASSERT_EQ(p.GetPositionTypeIndex(), CNmeaParser::Gga);
    p.BuildTimeIndex(Bytes(second), first.size(), true);
    ASSERT_EQ(p.GetTimeIndex(CNmeaParser::Gga).size(), 6u);
    EXPECT_EQ(std::tuple(p.GetTimeIndex(CNmeaParser::Rmc).size(),
                         p.GetTimeIndex(CNmeaParser::Gga).rbegin()->second.filePosition),
              std::tuple(3u, first.size() + second.size() - Gga(50).size() - Rmc(50).size()));
    // Not incremental: everything starts over.
    p.BuildTimeIndex(Bytes(second), 0, false);
    EXPECT_EQ(p.GetTimeIndex(CNmeaParser::Gga).size(), 3u);
    p.ClearTimeIndex();
    EXPECT_EQ(std::tuple(p.GetTimeIndex(CNmeaParser::Gga).size(),
                         p.GetSmallestInterval(CNmeaParser::Gga)),
              std::tuple(0u, kInitialSmallestIntervalMs));
}

TEST(NmeaTimeIndex, RealCaptureWithOneSecondDeleted)
{
    SKIP_WITHOUT_DATA();
    const auto bytes = captures::Read("nmea/gpsd_ublox-neo-m9n_nmea41_gst_zda.log");
    std::string log(bytes.begin(), bytes.end());
    const std::size_t from = log.find("$GNRMC,223800.00");
    ASSERT_NE(from, std::string::npos);
    log.erase(from, log.find("$GNRMC,", from + 1) - from);

    RecordingOwner owner;
    CNmeaParser& p = owner.parser;
    p.BuildTimeIndex(Bytes(log), 0, false);
    // RMC leads every epoch.
    EXPECT_EQ(std::tuple(p.GetPositionTypeIndex(), p.GetSmallestInterval(CNmeaParser::Rmc),
                         p.GetIndexedMessageCount()),
              std::tuple(CNmeaParser::Rmc, 1000u, 3 * 60));
    for (std::int32_t type : {CNmeaParser::Gga, CNmeaParser::Rmc, CNmeaParser::Gll}) {
        std::vector<IndexGap> gaps;
        EXPECT_TRUE(p.FindIndexGaps(type, gaps));
        EXPECT_EQ(gaps, (std::vector<IndexGap>{{(22 * 3600 + 38 * 60) * 1000u, type}}));
    }
    std::vector<IndexGap> none;
    EXPECT_FALSE(p.FindIndexGaps(CNmeaParser::Gns, none) || p.FindIndexGaps(7, none));

    // Walking the index epoch by epoch visits every remaining second once, at its RMC.
    std::size_t visited = 0;
    for (std::uint64_t t = 0;; ++visited) {
        const AtTime at = DecodeAt(p, t, Bytes(log), 0);
        if (at.key == kNoTime) break;
        EXPECT_EQ(std::tuple(log.compare(at.offset, 7, "$GNRMC,"), at.position.fixQuality),
                  std::tuple(0, 2));
        EXPECT_NEAR(at.position.latitudeDeg, 38.11, 0.01);
        t = at.key + 1;
    }
    // Indexed decoding must not complete live epochs nor choose the live position source.
    EXPECT_EQ(std::tuple(visited, owner.epochs.size(), owner.selectCalls.size()),
              std::tuple(60u, 0u, 0u));
    // The epoch must lie inside the bytes given.
    EXPECT_EQ(DecodeAt(p, 0, Bytes(log).subspan(0, 20), 0).key, kNoTime);
}

}  // namespace
