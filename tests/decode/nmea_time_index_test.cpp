#include <gtest/gtest.h>

#include <string>

#include "decode/nmea_parser.h"
#include "support/recording_owner.h"
#include "support/test_data.h"

namespace {

std::string Time(int tenths)
{
    char text[32];
    const int s = tenths / 10;
    std::snprintf(text, sizeof text, "1200%02d.%d0", s, tenths % 10);
    return text;
}

std::string Gga(int tenths)
{
    return Sentence("GPGGA," + Time(tenths) + ",3723.0,N,12658.0,E,1,05,1.2,10.0,M,20.0,M,,");
}
std::string Rmc(int tenths)
{
    return Sentence("GPRMC," + Time(tenths) + ",A,3723.0,N,12658.0,E,1.0,10.0,051226,,,A");
}
std::string Gll(int tenths)
{
    return Sentence("GPGLL,3723.0,N,12658.0,E," + Time(tenths) + ",A,A");
}

std::int32_t SelectedType(const std::string& log)
{
    RecordingOwner owner;
    owner.parser.BuildTimeIndex(Bytes(log), 0, false);
    return owner.parser.GetPositionTypeIndex();
}

TEST(NmeaTimeIndex, FastestTypeIsSelected)
{
    std::string rmcFaster;
    for (int t = 0; t < 30; ++t) rmcFaster += (t % 10 == 0 ? Gga(t) : "") + Rmc(t);
    EXPECT_EQ(SelectedType(rmcFaster), CNmeaParser::Rmc);

    RecordingOwner owner;
    owner.parser.BuildTimeIndex(Bytes(rmcFaster), 0, false);
    EXPECT_EQ(owner.parser.GetSmallestInterval(CNmeaParser::Rmc), 100u);
    EXPECT_EQ(owner.parser.GetSmallestInterval(CNmeaParser::Gga), 1000u);
    EXPECT_EQ(owner.parser.GetIndexedMessageCount(), 33);
    EXPECT_EQ(owner.parser.GetPositionTypeName(), "RMC");
}

TEST(NmeaTimeIndex, TiesGoToTheTypeSentFirstInAnEpoch)
{
    std::string ggaFirst, rmcFirst, disjoint;
    for (int t = 0; t < 50; t += 10) {
        ggaFirst += Gga(t) + Rmc(t) + Gll(t);
        rmcFirst += Rmc(t) + Gga(t);
        // GGA and RMC never share a time: the first entry lying first in the log decides.
        disjoint += Rmc(t + 100) + Gga(t);
    }
    EXPECT_EQ(SelectedType(ggaFirst), CNmeaParser::Gga);
    EXPECT_EQ(SelectedType(rmcFirst), CNmeaParser::Rmc);
    EXPECT_EQ(SelectedType(disjoint), CNmeaParser::Rmc);
    // Exactly the tied types at one time: a time with an extra GLL does not count.
    std::string mixed = Gll(0) + Gga(0) + Rmc(0) + Rmc(10) + Gga(10);
    for (int t = 20; t < 50; t += 10) mixed += Gga(t) + Rmc(t);
    EXPECT_EQ(SelectedType(mixed), CNmeaParser::Rmc);
    EXPECT_EQ(SelectedType("no sentences here"), CNmeaParser::NoPositionType);
}

TEST(NmeaTimeIndex, DamagedOrTimelessSentencesAreNotIndexed)
{
    std::string bad = Gga(10);
    bad[bad.size() - 3] ^= 1;
    const std::string log =
        Gga(0) + bad + Sentence("GPGGA,,,,,,0,,,,M,,M,,") + "$GPGGA,120003.00,37" + Gga(20);
    RecordingOwner owner;
    owner.parser.BuildTimeIndex(Bytes(log), 1000, false);
    const TimeIndex& index = owner.parser.GetTimeIndex(CNmeaParser::Gga);
    ASSERT_EQ(index.size(), 2u);
    EXPECT_EQ(index.begin()->second.filePosition, 1000u);
    EXPECT_EQ(index.begin()->second.length, Gga(0).size());
    EXPECT_EQ(owner.parser.GetSmallestInterval(CNmeaParser::Gga), 2000u);
}

TEST(NmeaTimeIndex, IncrementalBlocksExtendTheSelectedType)
{
    std::string first, second;
    for (int t = 0; t < 30; t += 10) first += Gga(t) + Rmc(t);
    for (int t = 30; t < 60; t += 10) second += Gga(t) + Rmc(t);
    RecordingOwner owner;
    CNmeaParser& p = owner.parser;
    p.BuildTimeIndex(Bytes(first), 0, true);
    ASSERT_EQ(p.GetPositionTypeIndex(), CNmeaParser::Gga);
    p.BuildTimeIndex(Bytes(second), first.size(), true);
    EXPECT_EQ(p.GetTimeIndex(CNmeaParser::Gga).size(), 6u);
    EXPECT_EQ(p.GetTimeIndex(CNmeaParser::Rmc).size(), 3u);
    EXPECT_EQ(p.GetTimeIndex(CNmeaParser::Gga).rbegin()->second.filePosition,
              first.size() + second.size() - Gga(50).size() - Rmc(50).size());
    // Not incremental: everything starts over.
    p.BuildTimeIndex(Bytes(second), 0, false);
    EXPECT_EQ(p.GetTimeIndex(CNmeaParser::Gga).size(), 3u);
    p.ClearTimeIndex();
    EXPECT_TRUE(p.GetTimeIndex(CNmeaParser::Gga).empty());
    EXPECT_EQ(p.GetSmallestInterval(CNmeaParser::Gga), kInitialSmallestIntervalMs);
}

TEST(NmeaTimeIndex, DecodeAtTimeReportsTheEpoch)
{
    std::string log = "garbage\n";
    for (int t = 0; t < 30; t += 10)
        log += Rmc(t) +
               Sentence("GPGGA," + Time(t) + ",3723.0,N,12658.0,E,4,05,1.2," +
                        std::to_string(10 + t) + ".0,M,20.0,M,,") +
               Sentence("GPGSV,1,1,01,05,45,200,44");
    RecordingOwner owner;
    CNmeaParser& p = owner.parser;
    p.BuildTimeIndex(Bytes(log), 500, false);
    ASSERT_EQ(p.GetPositionTypeIndex(), CNmeaParser::Rmc);

    EpochPosition position;
    std::uint64_t offset = 0;
    std::size_t length = 0;
    const std::uint64_t key = p.DecodeAtTime(43200001, position, Bytes(log), 500, offset, length);
    EXPECT_EQ(key, 43201000u);
    const std::size_t epochStart =
        8 + Rmc(0).size() + Gga(0).size() + Sentence("GPGSV,1,1,01,05,45,200,44").size();
    EXPECT_EQ(offset, 500 + epochStart);
    EXPECT_EQ(log.substr(epochStart, length).find("$GPGGA"), Rmc(10).size());
    EXPECT_NEAR(position.latitudeDeg, 37.383333333, 1e-9);
    EXPECT_NEAR(position.ellipsoidHeight, 40.0, 1e-6);
    EXPECT_TRUE(position.hasFixQuality);
    EXPECT_EQ(position.fixQuality, 4);
    EXPECT_TRUE(owner.epochs.empty()) << "indexed decoding must not complete live epochs";
    EXPECT_TRUE(owner.selectCalls.empty()) << "nor choose the live position source";

    EXPECT_EQ(p.DecodeAtTime(43203000, position, Bytes(log), 500, offset, length), kNoTime);
    // The epoch must lie inside the bytes given.
    EXPECT_EQ(p.DecodeAtTime(0, position, Bytes(log).subspan(0, 20), 500, offset, length), kNoTime);
}

TEST(NmeaTimeIndex, RealCaptureWithOneSecondDeleted)
{
    SKIP_WITHOUT_DATA();
    const auto bytes =
        testdata::ReadBytes(*testdata::DataDir() / "nmea/gpsd_ublox-neo-m9n_nmea41_gst_zda.log");
    std::string log(bytes.begin(), bytes.end());
    const std::size_t from = log.find("$GNRMC,223800.00");
    ASSERT_NE(from, std::string::npos);
    const std::size_t to = log.find("$GNRMC,", from + 1);
    log.erase(from, to - from);

    RecordingOwner owner;
    CNmeaParser& p = owner.parser;
    p.BuildTimeIndex(Bytes(log), 0, false);
    EXPECT_EQ(p.GetPositionTypeIndex(), CNmeaParser::Rmc);  // RMC leads every epoch
    EXPECT_EQ(p.GetSmallestInterval(CNmeaParser::Rmc), 1000u);
    EXPECT_EQ(p.GetIndexedMessageCount(), 3 * 60);
    for (std::int32_t type : {CNmeaParser::Gga, CNmeaParser::Rmc, CNmeaParser::Gll}) {
        std::vector<IndexGap> gaps;
        EXPECT_TRUE(p.FindIndexGaps(type, gaps));
        EXPECT_EQ(gaps, (std::vector<IndexGap>{{(22 * 3600 + 38 * 60) * 1000u, type}}));
    }
    std::vector<IndexGap> none;
    EXPECT_FALSE(p.FindIndexGaps(CNmeaParser::Gns, none));
    EXPECT_FALSE(p.FindIndexGaps(7, none));

    // Walking the index epoch by epoch visits every remaining second once.
    EpochPosition position;
    std::uint64_t offset = 0;
    std::size_t length = 0;
    std::size_t visited = 0;
    for (std::uint64_t t = 0;; ++visited) {
        const std::uint64_t key = p.DecodeAtTime(t, position, Bytes(log), 0, offset, length);
        if (key == kNoTime) break;
        EXPECT_NEAR(position.latitudeDeg, 38.11, 0.01);
        EXPECT_EQ(position.fixQuality, 2);
        t = key + 1;
    }
    EXPECT_EQ(visited, 60u);
}

}  // namespace
