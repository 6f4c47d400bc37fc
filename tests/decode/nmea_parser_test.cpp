#include "decode/nmea_parser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "decode/taxi_meter_step.h"
#include "support/recording_owner.h"

namespace {

const SatelliteInView* FindSat(const GnssReceiverState& s, int row, int prn)
{
    for (int i = 0; i < s.inViewCount[row]; ++i)
        if (s.satellitesInView[row][i].prn == prn) return &s.satellitesInView[row][i];
    return nullptr;
}

std::int32_t Parse(CNmeaParser& parser, const std::string& text)
{
    return parser.ParseMessage(Bytes(text), false);
}

TEST(NmeaConversions, GgaFieldsTimeAndCoordinates)
{
    struct Case {
        const char* body;
        std::uint64_t timeMs;
        double lat, lon;
        bool hasPosition;
    };
    const Case cases[] = {
        {"GPGGA,123456.78,3723.4567,S,12658.8726,E,4,12,0.8,41.5,M,23.1,M,1.0,0042", 45296780,
         -37.390945, 126.98121, true},
        {"GPGGA,000000.00,3723.4567,,12658.8726,W,1,05,1.2,10.0,M,0.0,M,,", 0, 37.390945,
         -126.98121, true},
        // Absurd latitude and minutes are not a position.
        {"GPGGA,010203.5,9999.9999,N,12658.8726,E,1,05,1.2,10.0,M,0.0,M,,", 3723500, 0, 0, false},
        {"GPGGA,010203,3760.5000,N,12658.8726,E,1,05,1.2,10.0,M,0.0,M,,", 3723000, 0, 0, false},
        {"GPGGA,010203,abcd.efgh,N,xyz,E,1,05,1.2,10.0,M,0.0,M,,", 3723000, 0, 0, false},
        // Not a time: the clock and the position stay untouched.
        {"GPGGA,999999,3723.4567,N,12658.8726,E,1,05,1.2,10.0,M,0.0,M,,", 0, 0, 0, false},
        {"GPGGA,1234a6,3723.4567,N,12658.8726,E,1,05,1.2,10.0,M,0.0,M,,", 0, 0, 0, false},
        {"GPGGA,,,,,,0,,,,M,,M,,", 0, 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        RecordingOwner owner;
        Parse(owner.parser, Sentence(c.body));
        const GnssReceiverState& s = *owner.parser.State();
        EXPECT_EQ(s.timeOfDayMs, c.timeMs);
        EXPECT_EQ(s.timeOfDaySec, c.timeMs / 1000);
        EXPECT_EQ((s.contentFlags & ContentFlag::Position) != 0, c.hasPosition);
        EXPECT_EQ((s.contentFlags & ContentFlag::TimeOfDay) != 0, c.timeMs != 0 || c.hasPosition);
        EXPECT_NEAR(s.latitudeDeg, c.lat, 1e-6);
        EXPECT_NEAR(s.longitudeDeg, c.lon, 1e-5);
    }
}

TEST(NmeaHandlers, RmcSpeedWinsOverLaterVtg)
{
    RecordingOwner owner;
    Parse(owner.parser,
          Sentence("GPRMC,120000.00,A,3723.4567,N,12658.8726,E,10.0,45.5,051226,,,A"));
    Parse(owner.parser, Sentence("GPVTG,90.0,T,,M,20.0,N,37.0,K,A"));
    const GnssReceiverState& s = *owner.parser.State();
    EXPECT_NEAR(s.speedKmh, 18.52, 1e-4);
    EXPECT_FLOAT_EQ(s.courseDeg, 45.5f);
    EXPECT_EQ(s.dateText, "051226");
    EXPECT_TRUE(s.Has(ContentFlag::Speed | ContentFlag::Course | ContentFlag::Date |
                      ContentFlag::Vtg | ContentFlag::Rmc));

    RecordingOwner vtgOnly;
    Parse(vtgOnly.parser, Sentence("GPVTG,90.0,T,,M,20.0,N,37.0,K,A"));
    EXPECT_FLOAT_EQ(vtgOnly.parser.State()->speedKmh, 37.0f);
    EXPECT_FLOAT_EQ(vtgOnly.parser.State()->courseDeg, 90.0f);
}

TEST(NmeaHandlers, GnsModeCharacterFollowsTheTalker)
{
    struct Case {
        const char* talker;
        const char* mode;
        int quality;
    };
    const Case cases[] = {
        {"GP", "DAR", 2}, {"GL", "DAR", 1}, {"GA", "DAR", 4}, {"GB", "NNNR", 4}, {"GQ", "NNNNF", 5},
        {"GN", "RDA", 4}, {"GA", "D", 2},   {"GN", "", 0},    {"GP", "X", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.talker) + " " + c.mode);
        RecordingOwner owner;
        Parse(owner.parser,
              Sentence(std::string(c.talker) + "GNS,120000.00,3723.4567,N,12658.8726,E," + c.mode +
                       ",10,0.9,41.5,23.1,,0007,V"));
        const GnssReceiverState& s = *owner.parser.State();
        EXPECT_EQ(s.fixQuality, c.quality);
        EXPECT_NEAR(s.ellipsoidHeight, 64.6, 1e-9);
        EXPECT_EQ(s.stationId, "0007");
    }
}

TEST(NmeaHandlers, MisnamedSentenceIsAnsweredWithZero)
{
    RecordingOwner owner;
    // The recogniser reads "GPGGX" as GGA; the handler must refuse it.
    EXPECT_EQ(
        Parse(owner.parser, Sentence("GPGGX,120000.00,3723.4567,N,12658.8726,E,1,05,1,1,M,1,M,,")),
        0);
    EXPECT_EQ(owner.parser.State()->contentFlags, 0u);
    // Consumed: through the first CR; an unknown sentence whole, without a CR all of it.
    const std::string gga = Sentence("GPGGA,120000.00,3723.0,N,12658.0,E,1,05,1.2,10.0,M,20.0,M,,");
    EXPECT_EQ(Parse(owner.parser, gga), static_cast<std::int32_t>(gga.size() - 1));
    const std::uint32_t flags = owner.parser.State()->contentFlags;
    const std::string txt = "$GPTXT,01,01,02,hello*4B\n";
    EXPECT_EQ(Parse(owner.parser, txt), static_cast<std::int32_t>(txt.size()));
    EXPECT_EQ(owner.parser.State()->contentFlags, flags) << "an unknown sentence changes nothing";
}

TEST(NmeaHandlers, AttitudeHeadingBaseAndBaseline)
{
    RecordingOwner owner;
    CNmeaParser& p = owner.parser;
    Parse(p, Sentence("PTNL,AVR,212405.20,-149.4688,Yaw,0.0134,Tilt,,,60.191,3,2.5,6"));
    EXPECT_FLOAT_EQ(p.State()->yawDeg, -149.4688f);
    Parse(p, Sentence("PTNL,AVR,212405.20,+12.5,Yaw,0.0134,Tilt,,,60.191,3,2.5,6"));
    EXPECT_FLOAT_EQ(p.State()->yawDeg, 12.5f);
    Parse(p, Sentence("PTNL,BPQ,224445.06,021207,3723.09383914,N,12200.32620132,W,EHT-5.923,M,5"));
    EXPECT_NEAR(p.State()->baseLatitudeDeg, 37.384897319, 1e-9);
    EXPECT_NEAR(p.State()->baseLongitudeDeg, -122.005436689, 1e-9);
    Parse(p, Sentence("PTNL,VGK,160159.00,010997,-0000.161,00009.985,-0000.002,3,07,1,4,M"));
    EXPECT_DOUBLE_EQ(p.State()->baselineEast, -0.161);
    EXPECT_DOUBLE_EQ(p.State()->baselineNorth, 9.985);
    EXPECT_DOUBLE_EQ(p.State()->baselineUp, -0.002);
    EXPECT_TRUE(p.State()->Has(ContentFlag::BaseStation | ContentFlag::Baseline));
    Parse(p, Sentence("GPHDT,274.07,T"));
    EXPECT_FLOAT_EQ(p.State()->headingDeg, 274.07f);
    p.State()->ClearEpoch();
    Parse(p, Sentence("GPHDT,,T"));
    EXPECT_EQ(p.State()->headingDeg, -1.0f);
    EXPECT_EQ(p.State()->contentFlags, ContentFlag::HeadingSentence);
    Parse(p, Sentence("GPHDT,274.07,T"));
    EXPECT_TRUE(p.State()->Has(ContentFlag::Heading | ContentFlag::HeadingSentence));
    Parse(p, Sentence("GPZDA,160012.71,11,03,2004,-1,00"));
    EXPECT_EQ(p.State()->dateText, "20040311");
}

TEST(NmeaSatellites, GsaRowComesFromTheSystemId)
{
    struct Case {
        const char* tail;  // fields 15 onwards
        int row;
    };
    const Case cases[] = {
        {"1.5,0.9,1.2", 0},   {"1.5,0.9,1.2,3", 4}, {"1.5,0.9,1.2,1", 1},   {"1.5,0.9,1.2,2", 3},
        {"1.5,0.9,1.2,4", 6}, {"1.5,0.9,1.2,5", 5}, {"1.5,0.9,1.2,1.2", 0}, {"1.5,0.9,1.2,", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tail);
        RecordingOwner owner;
        Parse(owner.parser, Sentence(std::string("GNGSA,A,3,05,07,,09,,,,,,,,,") + c.tail));
        const GnssReceiverState& s = *owner.parser.State();
        ASSERT_EQ(s.usedCount[c.row], 3);
        EXPECT_EQ(s.usedPrn[c.row][0], 5);
        EXPECT_EQ(s.usedPrn[c.row][2], 9);
        EXPECT_EQ(s.usedTotal, 3);
        EXPECT_EQ(s.fixMode, 3);
        EXPECT_FLOAT_EQ(s.pdop, 1.5f);
        EXPECT_FLOAT_EQ(s.vdop, 1.2f);
    }
}

TEST(NmeaSatellites, UsedRowWrapsAfterTwentyOneEntries)
{
    RecordingOwner owner;
    for (int first = 1; first <= 22; first += 11) {
        std::string body = "GPGSA,A,3";
        for (int i = 0; i < 12; ++i) body += "," + std::to_string(first + i);
        Parse(owner.parser, Sentence(body + ",1.0,1.0,1.0,1"));
    }
    // 1..22 then 23 (the second sentence lists 12..23, of which 12 is known).
    const GnssReceiverState& s = *owner.parser.State();
    EXPECT_EQ(s.usedTotal, 23);
    EXPECT_EQ(s.usedCount[1], 2);
    EXPECT_EQ(s.usedPrn[1][0], 22);
    EXPECT_EQ(s.usedPrn[1][1], 23);
    EXPECT_EQ(s.usedPrn[1][2], 3);
}

TEST(NmeaSatellites, GpsTalkerRoutesSbasAndQzssNumbers)
{
    RecordingOwner owner;
    Parse(owner.parser, Sentence("GPGSV,2,1,06,40,30,120,41,05,45,200,44,07,10,300,,09,80,010,38"));
    Parse(owner.parser, Sentence("GPGSV,2,2,06,193,60,150,47,64,20,20,33"));
    const GnssReceiverState& s = *owner.parser.State();
    EXPECT_EQ(s.inViewCount[1], 3);
    EXPECT_EQ(s.inViewCount[2], 2);
    EXPECT_EQ(s.inViewCount[5], 1);
    ASSERT_NE(FindSat(s, 2, 40), nullptr);
    EXPECT_EQ(FindSat(s, 2, 40)->snr[0], 41);
    EXPECT_EQ(FindSat(s, 2, 40)->constellation, 2);
    ASSERT_NE(FindSat(s, 1, 7), nullptr);
    EXPECT_EQ(FindSat(s, 1, 7)->snr[0], 0);
    EXPECT_EQ(FindSat(s, 1, 7)->azimuthDeg, 300);
    EXPECT_EQ(FindSat(s, 5, 193)->elevationDeg, 60);
    EXPECT_EQ(s.inViewTotal, 6);

    RecordingOwner other;
    Parse(other.parser, Sentence("GNGSV,1,1,01,05,45,200,44"));
    Parse(other.parser, Sentence("BDGSV,1,1,01,05,45,200,44"));
    Parse(other.parser, Sentence("GLGSV,1,1,00"));
    EXPECT_EQ(other.parser.State()->inViewTotal, 0);
}

TEST(NmeaSatellites, SecondCycleFillsSignalSlotOneWithoutDuplicates)
{
    RecordingOwner owner;
    // NMEA 4.11: L1 cycle (signal id 1), then L5 cycle (signal id 8) of the same satellites.
    Parse(owner.parser,
          Sentence("GPGSV,2,1,05,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45,1"));
    Parse(owner.parser, Sentence("GPGSV,2,2,05,15,66,150,50,1"));
    Parse(owner.parser, Sentence("GPGSV,1,1,03,01,40,083,40,12,07,344,33,15,66,150,44,8"));
    const GnssReceiverState& s = *owner.parser.State();
    ASSERT_EQ(s.inViewCount[1], 5) << "the trailing signal id must not become a satellite";
    EXPECT_EQ(s.inViewTotal, 5);
    const SatelliteInView* sat1 = FindSat(s, 1, 1);
    ASSERT_NE(sat1, nullptr);
    EXPECT_EQ(sat1->snr[0], 46);
    EXPECT_EQ(sat1->snr[1], 40);
    EXPECT_EQ(sat1->signalMask, 3u);
    EXPECT_EQ(FindSat(s, 1, 2)->signalMask, 1u);
    EXPECT_EQ(FindSat(s, 1, 15)->snr[1], 44);
    EXPECT_EQ(FindSat(s, 1, 1) - &s.satellitesInView[1][0], 0);
}

TEST(NmeaSatellites, InViewRowWrapsAfterSixtyFourEntries)
{
    RecordingOwner owner;
    for (int prn = 1; prn <= 65; prn += 4) {
        std::string body = "GLGSV,17,2,65";
        for (int i = 0; i < 4 && prn + i <= 65; ++i)
            body += "," + std::to_string(prn + i) + ",10,20,30";
        Parse(owner.parser, Sentence(body));
    }
    const GnssReceiverState& s = *owner.parser.State();
    EXPECT_EQ(s.inViewTotal, 65);
    EXPECT_EQ(s.inViewCount[3], 1);
    EXPECT_EQ(s.satellitesInView[3][0].prn, 65);
    EXPECT_EQ(s.satellitesInView[3][63].prn, 64);
}

TEST(NmeaEpochs, PositionTimeStartsAnEpochOnce)
{
    RecordingOwner owner;
    owner.Feed(Sentence("GPGGA,120000.00,3723.0000,N,12658.0000,E,1,05,1.2,10.0,M,20.0,M,,") +
               Sentence("GPRMC,120000.00,A,3723.9999,N,12658.9999,E,1.0,10.0,051226,,,A") +
               Sentence("GPGSV,1,1,01,05,45,200,44") +
               Sentence("GPGGA,120001.00,3723.0010,N,12658.0010,E,2,06,1.1,11.0,M,20.0,M,,"));
    ASSERT_EQ(owner.selectCalls.size(), 1u);
    EXPECT_EQ(owner.selectCalls[0], 0);
    ASSERT_EQ(owner.epochs.size(), 1u);
    const GnssReceiverState& first = owner.epochs[0];
    EXPECT_EQ(first.timeOfDayMs, 43200000u);
    // The RMC of the same second did not move the GGA position.
    EXPECT_NEAR(first.latitudeDeg, 37.383333333, 1e-9);
    EXPECT_NEAR(first.speedKmh, 1.852, 1e-5);
    EXPECT_EQ(first.inViewTotal, 1);
    const GnssReceiverState& now = *owner.parser.State();
    EXPECT_EQ(now.timeOfDayMs, 43201000u);
    EXPECT_EQ(now.fixQuality, 2);
    EXPECT_EQ(now.inViewTotal, 0) << "the owner cleared the epoch part after its snapshot";
}

TEST(NmeaEpochs, ZdaBeforeGgaDoesNotSwallowThePosition)
{
    RecordingOwner owner;
    for (int sec = 0; sec < 3; ++sec) {
        const std::string t = "13071" + std::to_string(sec);
        owner.Feed(
            Sentence("GPZDA," + t + ",01,06,2011,01,00") +
            Sentence("GPGLL,5012.79" + std::to_string(sec) + ",N,00806.8796,W," + t + ",A,D") +
            Sentence("GPGGA," + t + ",5012.7908,N,00806.8796,W,2,,,,,,,"));
    }
    owner.Flush();
    ASSERT_EQ(owner.epochs.size(), 3u);
    for (int sec = 0; sec < 3; ++sec) {
        EXPECT_EQ(owner.epochs[sec].timeOfDayMs, (13 * 3600 + 7 * 60 + 10 + sec) * 1000u);
        EXPECT_TRUE(owner.epochs[sec].Has(ContentFlag::Position));
        EXPECT_NEAR(owner.epochs[sec].latitudeDeg, 50 + (12.79 + sec * 0.001) / 60, 1e-9);
        EXPECT_EQ(owner.epochs[sec].dateText, "20110601");
    }
}

TEST(NmeaEpochs, ZdaAheadOfThePositionDoesNotFlipEpochs)
{
    RecordingOwner owner;
    for (int sec = 30; sec < 34; ++sec) {
        owner.Feed(Sentence("GPZDA,1835" + std::to_string(sec + 1) + ".00,23,12,2007,00,00") +
                   Sentence("GPGGA,1835" + std::to_string(sec) +
                            ".00,2037.7601,N,08704.0737,W,1,03,2.2,72.35,M,-13.9,M,,"));
    }
    owner.Flush();
    ASSERT_EQ(owner.epochs.size(), 4u);
    for (std::size_t i = 0; i < owner.epochs.size(); ++i)
        EXPECT_EQ(owner.epochs[i].timeOfDayMs, (18 * 3600 + 35 * 60 + 30 + i) * 1000u);
}

TEST(NmeaEpochs, ZdaIsTheClockWhenPositionsHaveNoTime)
{
    RecordingOwner owner;
    for (int sec = 10; sec < 13; ++sec)
        owner.Feed(Sentence("GPGGA,,,,,,0,,,,M,,M,,") +
                   Sentence("GPZDA,1939" + std::to_string(sec) + ".00,07,09,2018,00,00"));
    owner.Flush();
    EXPECT_EQ(owner.epochs.size(), 3u);
}

TEST(NmeaEpochs, NoCallbacksWhileReplayingOrWhenNotTheSource)
{
    const std::string twoEpochs =
        Sentence("GPGGA,120000.00,3723.0,N,12658.0,E,1,05,1.2,10.0,M,20.0,M,,") +
        Sentence("GPGGA,120001.00,3723.0,N,12658.0,E,1,05,1.2,10.0,M,20.0,M,,");
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

TEST(NmeaLifecycle, ResetAndGetPosition)
{
    RecordingOwner owner;
    CNmeaParser& p = owner.parser;
    std::array<double, 3> position = {1.0, 2.0, 3.0};
    EXPECT_EQ(p.GetPosition(position), kNoTime);
    EXPECT_EQ(position, (std::array<double, 3>{1.0, 2.0, 3.0}));
    EXPECT_EQ(p.State()->headingDeg, -1.0f);

    Parse(p, Sentence("GPGGA,120000.00,3723.0,N,12658.0,E,1,05,1.2,10.0,M,20.0,M,,"));
    Parse(p, Sentence("GPHDT,12.0,T"));
    EXPECT_EQ(p.GetPosition(position), 43200000u);
    EXPECT_NEAR(position[0], 37.383333333, 1e-9);
    EXPECT_NEAR(position[2], 30.0, 1e-9);

    p.Reset();
    EXPECT_EQ(p.State()->headingDeg, -1.0f);
    EXPECT_EQ(p.State()->yawDeg, -1.0f);
    EXPECT_EQ(p.State()->timeOfDayMs, 0u);
    EXPECT_EQ(p.GetPosition(position), kNoTime);
    EXPECT_EQ(p.GetPositionTypeIndex(), CNmeaParser::NoPositionType);
}

class CountingMeter : public ITaxiMeterStep {
public:
    void Step(const GnssReceiverState&) override { ++steps; }
    void ResetSamples() override { ++resets; }
    int steps = 0;
    int resets = 0;
};

TEST(NmeaLifecycle, TaxiMeterStepsOnlyInTaxiOperation)
{
    RecordingOwner owner;
    CountingMeter meter;
    owner.parser.SetTaxiMeter(&meter);
    const std::string gga = Sentence("GPGGA,120000.00,3723.0,N,12658.0,E,1,05,1.2,10.0,M,20.0,M,,");
    Parse(owner.parser, gga);
    EXPECT_EQ(meter.steps, 0);
    owner.parser.SetOperationType(1);
    Parse(owner.parser, gga);
    Parse(owner.parser, Sentence("GPGSV,1,1,01,05,45,200,44"));
    EXPECT_EQ(meter.steps, 2);
    owner.parser.SetTaxiMeterSwitch(false);
    Parse(owner.parser, gga);
    EXPECT_EQ(meter.steps, 2);
    owner.parser.Reset();
    EXPECT_EQ(meter.resets, 1);
}

}  // namespace

namespace {

TEST(ReceiverState, TextsAndClearing)
{
    EXPECT_EQ(FixQualityText(0), "Invalid");
    EXPECT_EQ(FixQualityText(5), "Float RTK");
    EXPECT_EQ(FixQualityText(8), "Simualtion mode");  // the spelling operators know
    EXPECT_EQ(FixQualityText(10), "");
    EXPECT_EQ(ProtocolName(ProtocolId::Sbf), "SBF");
    GnssReceiverState s;
    s.satellitesInView[6][63].prn = 5;
    s.usedPrn[3][20] = 7;
    s.contentFlags = 0xFFFFFFFF;
    s.latitudeDeg = 1.0;
    s.ClearEpoch();
    EXPECT_EQ(s.satellitesInView[6][63].prn, 0);
    EXPECT_EQ(s.usedPrn[3][20], 0);
    EXPECT_EQ(s.contentFlags, 0u);
    EXPECT_EQ(s.latitudeDeg, 1.0) << "position survives into the next epoch";
}

}  // namespace
