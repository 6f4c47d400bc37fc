#include "decode/gsof_parser.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <numeric>
#include <string>
#include <tuple>
#include <vector>

#include "support/captures.h"
#include "support/epoch_keys.h"
#include "support/frame_walk.h"
#include "support/recording_owner.h"
#include "support/test_data.h"

namespace {

using Owner = BasicRecordingOwner<CGSOFParser>;
static_assert(std::endian::native == std::endian::little);

constexpr double kDegToRad = 3.14159265358979323846 / 180.0;
constexpr std::uint32_t kDay = 86400000;
constexpr std::uint16_t kWeek = 2345;  // starts Sunday 2024-12-15

// Big-endian fields of a record, as the receiver writes them.
struct Fields {
    ByteVec b;
    template <class T>
    Fields& operator<<(T v)
    {
        std::uint8_t raw[sizeof v];
        std::memcpy(raw, &v, sizeof v);
        for (std::size_t i = sizeof v; i-- > 0;) b.push_back(raw[i]);
        return *this;
    }
};

ByteVec Record(std::uint8_t type, const Fields& f)
{
    return Cat({{type, std::uint8_t(f.b.size())}, f.b});
}
ByteVec Time(std::uint32_t ms, std::uint8_t flags2 = 0, std::uint16_t week = kWeek)
{
    return Record(1, Fields() << ms << week << std::uint8_t(9) << std::uint8_t(0) << flags2
                              << std::uint8_t(0));
}
ByteVec Llh(double lat, double lon, double h)
{
    return Record(2, Fields() << lat * kDegToRad << lon * kDegToRad << h);
}
ByteVec CurrentTime(std::uint32_t ms)
{
    return Record(16, Fields() << ms << kWeek << std::int16_t(18) << std::uint8_t(3));
}
struct Sv {
    std::uint8_t prn, system, flags1;
    std::int8_t elevation;
    std::uint16_t azimuth;
    std::uint8_t l1, l2;
};
ByteVec AllSatellites(const std::vector<Sv>& svs)
{
    Fields f;
    f << std::uint8_t(1) << std::uint8_t(0x11) << static_cast<std::uint8_t>(svs.size());
    for (const Sv& s : svs)
        f << s.prn << s.system << s.flags1 << std::uint8_t(0) << s.elevation << s.azimuth << s.l1
          << s.l2 << std::uint8_t(0);
    return Record(48, f);
}

ByteVec Packet(std::uint8_t type, const ByteVec& data)
{
    ByteVec p = Cat({{0x02, 0x28, type, static_cast<std::uint8_t>(data.size())}, data});
    p.push_back(static_cast<std::uint8_t>(std::accumulate(p.begin() + 1, p.end(), 0u)));
    p.push_back(0x03);
    return p;
}

// Records joined and cut into pages of at most pageSize bytes, one Trimcomm packet each.
std::vector<ByteVec> Pages(const std::vector<ByteVec>& records, std::uint8_t number = 1,
                           std::size_t pageSize = 248)
{
    ByteVec joined;
    for (const ByteVec& r : records) joined = Cat({joined, r});
    const std::size_t count = std::max<std::size_t>(1, (joined.size() + pageSize - 1) / pageSize);
    std::vector<ByteVec> pages;
    for (std::size_t p = 0; p < count; ++p) {
        const std::size_t from = p * pageSize, to = std::min(joined.size(), from + pageSize);
        pages.push_back(Packet(
            0x40, Cat({{number, static_cast<std::uint8_t>(p), static_cast<std::uint8_t>(count - 1)},
                       ByteVec(joined.begin() + from, joined.begin() + to)})));
    }
    return pages;
}
ByteVec Transmission(const std::vector<ByteVec>& records, std::uint8_t number = 1,
                     std::size_t pageSize = 248)
{
    ByteVec out;
    for (const ByteVec& page : Pages(records, number, pageSize)) out = Cat({out, page});
    return out;
}

// A stray STX whose ETX is not in place, and other bytes no packet starts with.
const ByteVec kNoise{0x00, 0x02, 0x28, 0x40, 0x01, 0x11, 0x22, 0x33, 0x44, 'x'};

// Transmission k of a 10 Hz stream: one page, or three when k is odd, noise in front.
ByteVec StreamEpoch(std::uint32_t k)
{
    const std::uint32_t ms = 5 * kDay + 3600000 + 100 * k;
    std::vector<ByteVec> records{Time(ms, 7), Llh(37.5 + k * 1e-6, 127.0, 40.0 + k)};
    if (k % 2) records.push_back(AllSatellites({{5, 0, 0x4C, 40, 300, 180, 160}}));
    return Cat({kNoise, Transmission(records, static_cast<std::uint8_t>(k), k % 2 ? 20 : 248)});
}

TEST(GsofRecords, EveryHandlerFillsTheState)
{
    Owner owner;
    const ByteVec stream = Transmission({
        Time(2 * kDay + 45296000, 0xF7),
        Llh(37.25, -122.5, 31.5),
        Record(8, Fields() << std::uint8_t(1) << 10.0f << float(M_PI / 2) << 0.5f),
        Record(9, Fields() << 1.5f << 0.75f << 1.25f << 0.5f),
        Record(12, Fields() << 1.0f << 3.0f << 4.0f << 0.0f << 6.0f << 0.f << 0.f << 0.f << 1.f
                            << std::uint16_t(1)),
        Record(35, Fields() << std::uint8_t(0) << std::uint64_t(0x4241534531202020)
                            << std::uint16_t(7) << 10.0 * kDegToRad << 20.0 * kDegToRad << 99.0),
        Record(77, Fields() << 1.0 << 2.0),  // unknown: stepped over
        AllSatellites({{3, 0, 0x4C, 45, 270, 181, 160},
                       {65, 2, 0x04, 12, 10, 120, 0},
                       {9, 7, 0x44, -3, 359, 100, 0}}),
    });
    EXPECT_EQ(owner.Feed(stream), 0u);
    const GnssReceiverState& s = *owner.parser.State();
    using std::tuple;
    EXPECT_EQ(tuple(s.timeOfDayMs, s.timeText, s.dateText), tuple(45296000u, "123456", "171224"));
    EXPECT_EQ(tuple(s.satellitesUsed, s.fixQuality, s.fixMode), tuple(9, 4, 3));
    ExpectNear({NEAR(s.latitudeDeg, 37.25, 1e-9), NEAR(s.longitudeDeg, -122.5, 1e-9),
                NEAR(s.speedKmh, 36.0, 1e-5), NEAR(s.headingDeg, 90.0, 1e-4),
                NEAR(s.horizontalAccuracy, 5.0, 1e-6), NEAR(s.baseLatitudeDeg, 10.0, 1e-9),
                NEAR(s.baseLongitudeDeg, 20.0, 1e-9), NEAR(s.baseHeight, 99.0, 0)});
    EXPECT_EQ(tuple(s.ellipsoidHeight, s.pdop, s.hdop, s.vdop, s.sigmaLon, s.sigmaLat, s.sigmaAlt),
              tuple(31.5, 1.5f, 0.75f, 1.25f, 3.0f, 4.0f, 6.0f));
    // GPS in row 1, GLONASS (system 2) in row 3, system 7 in row 0.
    EXPECT_EQ(tuple(s.inViewCount[0], s.inViewCount[1], s.inViewCount[3], s.inViewTotal),
              tuple(1, 1, 1, 3));
    const SatelliteInView& gps = s.satellitesInView[1][0];
    EXPECT_EQ(tuple(gps.prn, gps.elevationDeg, gps.azimuthDeg, gps.snr[0], gps.snr[1]),
              tuple(3, 45, 270, 45, 40));
    EXPECT_EQ(tuple(gps.signalMask, s.satellitesInView[3][0].signalMask), tuple(3u, 1u));
    EXPECT_EQ(tuple(s.satellitesInView[0][0].elevationDeg, s.satellitesInView[0][0].constellation),
              tuple(-3, 0));
    EXPECT_EQ(tuple(s.usedTotal, s.usedPrn[1][0], s.usedPrn[0][0]), tuple(2, 3, 9));
    EXPECT_EQ(tuple(s.contentFlags, owner.protocolsSeen, owner.parser.ErrorCount()),
              tuple(0x3F771000u, 1u << 2, 0u));
    // The hex text: one line per record, the joined buffer's bytes.
    const std::string hex = owner.parser.GetHexText();
    EXPECT_EQ(std::count(hex.begin(), hex.end(), '\r'), 8);
    EXPECT_EQ(hex.substr(0, 36), "01 0A 0C FF E1 80 09 29 09 00 F7 00\r");
}

TEST(GsofRecords, FixModeAndFixQualityRules)
{
    // latitude, longitude, height, position flags 2 -> fix mode, fix quality
    const std::tuple<double, double, double, std::uint8_t, int, int> cases[] = {
        {0.0, 10.0, 100.0, 0x10, 1, 1}, {10.0, 0.0, 0.0, 0x01, 1, 2},
        {10.0, 20.0, 0.0, 0x04, 2, 2},  {10.0, 20.0, 55.0, 0x03, 3, 5},
        {-1.0, -2.0, -3.0, 0x02, 3, 0},
    };
    for (const auto& [lat, lon, height, flags2, fixMode, fixQuality] : cases) {
        Owner owner;
        owner.Feed(Transmission({Time(1000, flags2), Llh(lat, lon, height)}));
        EXPECT_EQ(std::tuple(owner.parser.State()->fixMode, owner.parser.State()->fixQuality),
                  std::tuple(fixMode, fixQuality))
            << lat << " " << height << " " << int(flags2);
    }
}

TEST(GsofRecords, ShortRecordsDecodeOnlyWhatTheyHold)
{
    Owner owner;
    ByteVec shortLlh = Llh(1.0, 2.0, 3.0);
    shortLlh[1] = 16;
    shortLlh.resize(18);
    ByteVec sats = AllSatellites({{1, 0, 0x44, 1, 1, 1, 1}, {2, 0, 0x44, 1, 1, 1, 1}});
    sats[4] = 5;  // claims five blocks, holds two
    ByteVec runsPast = Llh(9.0, 9.0, 9.0);
    runsPast.resize(12);
    const ByteVec records = Cat({Time(5000), shortLlh, sats, runsPast});
    EXPECT_EQ(owner.parser.ParseMessage(records, true), static_cast<int>(records.size() - 12));
    const GnssReceiverState& s = *owner.parser.State();
    EXPECT_NEAR(s.latitudeDeg, 1.0, 1e-9);
    EXPECT_EQ(std::tuple(s.contentFlags & (ContentFlag::Position | ContentFlag::Height), s.fixMode,
                         s.inViewTotal, s.usedTotal),
              std::tuple(ContentFlag::Position, 2, 2, 2));
    // Record 16 takes its time from the record walked, not from the joined transmission.
    owner.Feed(Transmission({Time(7000), Llh(1.0, 2.0, 3.0)}));
    EXPECT_EQ(owner.parser.ParseMessage(CurrentTime(kDay + 61000), true), 11);
    EXPECT_EQ(std::tuple(s.timeOfDayMs, s.timeText), std::tuple(61000u, "000101"));
}

TEST(GsofEpochs, MidnightIsCrossedAndZeroIsATime)
{
    Owner owner;
    for (const std::uint32_t ms : {3 * kDay + 86399000, 4 * kDay, 4 * kDay + 1000})
        owner.Feed(Transmission({CurrentTime(ms), Llh(1.0, 2.0, 3.0)}));
    owner.Flush();
    ASSERT_EQ(owner.epochs.size(), 3u);
    const char* expected[][2] = {{"235959", "181224"}, {"000000", "191224"}, {"000001", "191224"}};
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(std::tuple(owner.epochs[i].timeText, owner.epochs[i].dateText),
                  std::tuple(expected[i][0], expected[i][1]));
    EXPECT_EQ(std::tuple(owner.epochs[1].timeOfDayMs, owner.selectCalls),
              std::tuple(0u, std::vector<std::int32_t>{2}));
}

TEST(GsofFraming, TwoPagesInTwoBuffersDecodeOnce)
{
    Owner owner;
    CGSOFParser& p = owner.parser;
    const auto pages =
        Pages({Time(1000), Llh(1.0, 2.0, 3.0), AllSatellites({{4, 0, 0x4C, 0, 0, 0, 0}})}, 9, 30);
    ASSERT_EQ(pages.size(), 2u);
    std::size_t start = 0, length = 0;
    EXPECT_EQ(p.FindMessage(pages[0], start, length, true, false), 0x02100000u);
    EXPECT_EQ(std::tuple(length, p.IsAtDataEnd(nullptr)), std::tuple(pages[0].size(), false));
    EXPECT_EQ(p.ParseMessage(pages[0], false), 0);
    ByteVec second = Cat({kNoise, pages[1]});
    EXPECT_NE(p.FindMessage(second, start, length, true, false), 0u);
    EXPECT_EQ(std::tuple(start, p.IsAtDataEnd(nullptr)), std::tuple(kNoise.size(), true));
    EXPECT_EQ(p.ParseMessage({}, false), 12 + 26 + 15);
    EXPECT_EQ(p.ParseMessage({}, false), 0);
    EXPECT_EQ(p.State()->inViewTotal, 1);
    // A partial tail is reported as such and framed once the rest arrives.
    const ByteVec one = Transmission({Time(2000), Llh(1.0, 2.0, 3.0)});
    EXPECT_EQ(p.FindMessage({one.data(), 5}, start, length, true, false), 0u);
    EXPECT_EQ(std::tuple(p.IsPartial(), length), std::tuple(true, 5u));
}

TEST(GsofFraming, BadPagesOtherPacketsAndOverflowAreSkipped)
{
    Owner owner;
    auto pages = Pages({Time(1000), Llh(1.0, 2.0, 3.0)}, 3, 20);
    ASSERT_EQ(pages.size(), 2u);
    ByteVec bad = pages[1];
    bad[8] ^= 0x40;
    std::vector<ByteVec> big(17, Cat({{99, 240}, ByteVec(240, 0x55)}));
    big.push_back(Llh(50.0, 50.0, 50.0));
    const ByteVec stream =
        Cat({pages[0], Packet(0x57, ByteVec(30, 0x03)), bad, pages[1], Packet(0x55, {1, 2, 3}),
             pages[1], Transmission(big, 4), Transmission({Time(2000), Llh(4.0, 5.0, 6.0)}, 5)});
    owner.Feed(stream);
    owner.Flush();
    // The bad page was never joined: the good copy behind it completes the transmission; the
    // repeated copy and the overflowing transmission are dropped.
    ASSERT_EQ(owner.epochs.size(), 2u);
    ExpectNear({NEAR(owner.epochs[0].latitudeDeg, 1.0, 1e-9),
                NEAR(owner.epochs[1].latitudeDeg, 4.0, 1e-9)});
    EXPECT_EQ(std::tuple(owner.parser.ErrorCount(), owner.parser.ErrorLog().size()),
              std::tuple(2u, 2u));
    EXPECT_EQ(std::tuple(owner.parser.VerifyChecksum({pages[0].data() + 1, pages[0].size() - 1}),
                         owner.parser.VerifyChecksum(bad)),
              std::tuple(true, false));
}

TEST(GsofFraming, TransmissionWithAMiddlePageMissingIsDropped)
{
    const auto page = [](std::uint8_t number, std::uint8_t index, const ByteVec& records) {
        return Packet(0x40, Cat({{number, index, 2}, records}));
    };
    // Pages 0 and 2 of transmission 6 hold whole records: joined they would read as an epoch.
    const ByteVec stream = Cat({page(6, 0, Time(1000)), page(6, 2, Llh(1.0, 2.0, 3.0)),
                                page(7, 0, Time(2000)), page(7, 1, Llh(4.0, 5.0, 6.0)),
                                page(7, 2, AllSatellites({{4, 0, 0x4C, 0, 0, 0, 0}}))});
    Owner owner;
    owner.Feed(stream);
    owner.Flush();
    ASSERT_EQ(owner.epochs.size(), 1u);
    EXPECT_NEAR(owner.epochs[0].latitudeDeg, 4.0, 1e-9);
    EXPECT_EQ(std::tuple(owner.epochs[0].timeOfDayMs, owner.epochs[0].inViewTotal,
                         owner.parser.ErrorCount()),
              std::tuple(2000u, 1, 0u));
    owner.parser.BuildTimeIndex(stream, 0, false);
    EXPECT_EQ(owner.parser.GetIndexedMessageCount(), 1);
}

TEST(GsofFraming, EveryBlockSizeGivesTheSameEpochs)
{
    ByteVec stream;
    for (std::uint32_t k = 0; k < 24; ++k) stream = Cat({stream, StreamEpoch(k)});
    Owner whole;
    whole.FeedInBlocks(stream, stream.size());
    ASSERT_EQ(whole.epochs.size(), 24u);
    EXPECT_EQ(whole.epochs[23].inViewTotal, 1);
    for (std::size_t block = 1; block <= 64; ++block) {
        Owner split;
        split.FeedInBlocks(stream, block);
        ASSERT_EQ(EpochKeys(split.epochs), EpochKeys(whole.epochs)) << block;
        EXPECT_EQ(split.parser.ErrorCount(), 0u);
    }
}

TEST(GsofTimeIndex, IndexesTransmissionsAndDecodesAtTime)
{
    ByteVec log;
    std::vector<std::size_t> starts;
    for (std::uint32_t k = 0; k < 12; ++k) {
        if (k == 7) continue;  // a lost epoch
        starts.push_back(log.size() + kNoise.size());
        log = Cat({log, StreamEpoch(k)});
    }
    const ByteVec noPosition = Transmission({Time(5 * kDay + 3600000 + 5000)});
    log = Cat({log, noPosition});
    Owner owner;
    CGSOFParser& p = owner.parser;
    p.BuildTimeIndex(log, 1000, false);
    ASSERT_EQ(p.GetIndexedMessageCount(), 11);
    EXPECT_EQ(p.TimeIndexes().SmallestInterval(0), 100u);
    const auto& index = p.TimeIndexes().Get(0);
    EXPECT_EQ(index.begin()->second.filePosition, 1000u + starts[0]);
    std::vector<IndexGap> gaps;
    EXPECT_TRUE(p.FindIndexGaps(0, gaps));
    EXPECT_EQ(gaps, (std::vector<IndexGap>{{3600000 + 700, 0}}));

    const AtTime at = DecodeAt(p, 3600000 + 650, log, 1000);
    EXPECT_NEAR(at.position.latitudeDeg, 37.5 + 8e-6, 1e-9);
    EXPECT_EQ(std::tuple(at.key, at.position.ellipsoidHeight, at.position.hasFixQuality,
                         at.position.fixQuality, at.offset, at.length, owner.epochs.size()),
              std::tuple(3600800u, 48.0, true, 4, 1000u + starts[7],
                         starts[8] - starts[7] - kNoise.size(), 0u));
    EXPECT_EQ(DecodeAt(p, 3600000 + 1200, log, 1000).key, kNoTime);

    // From inside the first transmission on, the second is the first one complete.
    const std::size_t skip = starts[0] + 4;
    std::size_t start = 0, length = 0;
    EXPECT_TRUE(p.FindPositionMessage({log.data() + skip, log.size() - skip}, start, length));
    EXPECT_EQ(start + skip, starts[1]);
    EXPECT_FALSE(p.FindPositionMessage(noPosition, start, length));
    EXPECT_EQ(length, noPosition.size());
}

// Plain reading of the capture: STX, length, ETX in place and the sum of status..data.
std::vector<std::size_t> TrimcommPacketEnds(const ByteVec& bytes)
{
    std::vector<std::size_t> ends;
    for (std::size_t i = 0; i + 6 <= bytes.size(); ++i) {
        const std::size_t n = bytes[i + 3] + 6u;
        if (bytes[i] != 0x02 || i + n > bytes.size() || bytes[i + n - 1] != 0x03) continue;
        const unsigned sum = std::accumulate(&bytes[i + 1], &bytes[i + n - 2], 0u);
        if ((sum & 0xFF) != bytes[i + n - 2]) continue;
        i += n - 1;
        ends.push_back(i + 1);
    }
    return ends;
}

TEST(GsofRealData, TrimcommPacketsOfOtherTypesAreSkipped)
{
    SKIP_WITHOUT_DATA();
    const ByteVec bytes = captures::Read("gsof/rtklib_trimble_rt17_trimcomm_not_gsof.rt17");
    const auto ends = TrimcommPacketEnds(bytes);
    EXPECT_EQ(ends.size(), 248u + 19u);
    for (std::size_t block = 1; block <= 64; ++block) {
        Owner owner;
        owner.FeedInBlocks(bytes, block);
        EXPECT_EQ(
            std::tuple(owner.parser.ErrorCount(), owner.epochs.size(), owner.parser.GetHexText()),
            std::tuple(0u, 0u, ""))
            << block;
    }
    // A transmission behind every packet decodes only when framing stepped over each packet
    // exactly.
    ByteVec mixed;
    std::size_t from = 0;
    for (std::size_t i = 0; i < ends.size(); from = ends[i++])
        mixed = Cat({mixed, ByteVec(bytes.begin() + from, bytes.begin() + ends[i]),
                     Transmission({Time(1000 * i), Llh(1.0, 2.0, 3.0)})});
    Owner owner;
    owner.FeedInBlocks(mixed, 4096);
    EXPECT_EQ(std::tuple(owner.epochs.size(), owner.parser.ErrorCount()),
              std::tuple(ends.size(), 0u));
    owner.parser.BuildTimeIndex(mixed, 0, false);
    EXPECT_EQ(owner.parser.GetIndexedMessageCount(), static_cast<std::int32_t>(ends.size()));
}

}  // namespace
