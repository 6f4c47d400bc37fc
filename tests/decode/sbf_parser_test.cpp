#include "decode/sbf_parser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <numbers>
#include <random>
#include <tuple>

#include "support/captures.h"
#include "support/epoch_keys.h"
#include "support/frame_walk.h"
#include "support/recording_owner.h"
#include "support/test_data.h"

namespace {

using Owner = BasicRecordingOwner<CSBFParser>;
constexpr double kDeg = 180 / std::numbers::pi;

// Bit by bit, apart from the decoder's table: polynomial 0x1021, start 0.
std::uint16_t XmodemCrc(const std::uint8_t* p, std::size_t n)
{
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= static_cast<std::uint16_t>(p[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

template <class T>
T Get(const std::uint8_t* p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

std::uint8_t U8(int v) { return static_cast<std::uint8_t>(v); }

// Block bytes written field by field: Fill(96)(14, mode)(16, latitude)...
struct Fill {
    ByteVec b;
    explicit Fill(std::size_t size) : b(size) {}
    template <class T>
    Fill& operator()(std::size_t at, T v)
    {
        std::memcpy(&b.at(at + sizeof v - 1) - (sizeof v - 1), &v, sizeof v);
        return *this;
    }
};

// Adds sync, id, TOW, WNc 2360, the length (padded to a multiple of 4) and the CRC.
ByteVec Seal(std::uint16_t number, ByteVec b, std::uint32_t tow = 45296000)
{
    b.resize(std::max<std::size_t>(16, (b.size() + 3) / 4 * 4));
    Fill f(0);
    f.b.swap(b);
    f(0, U8('$'))(1, U8('@'))(4, number)(6, U8(f.b.size()))(7, U8(f.b.size() >> 8))(8, tow);
    f(12, std::uint16_t{2360})(2, XmodemCrc(&f.b[4], f.b.size() - 4));
    return f.b;
}

ByteVec Pvt(int mode, std::uint32_t tow = 45296000)
{
    Fill f(96);
    f(14, U8(mode))(16, 0.5)(24, -1.0)(32, 123.456789012)(40, 45.25f)(56, 123.5f)(74, U8(17));
    f(90, std::uint16_t{500})(92, std::uint16_t{300});
    return Seal(CSBFParser::kPvtGeodetic, f.b, tow);
}

// A ChannelStatus satellite (12 bytes) with an 8-byte state sub-block per PVT status.
ByteVec Sat(int svid, int azimuth, int elevation, ByteVec states)
{
    Fill f(12);
    f(0, U8(svid))(4, std::uint16_t(0x4000 | azimuth))(8, U8(elevation))(9, U8(states.size()));
    for (const std::uint8_t status : states) f.b.insert(f.b.end(), {0, 0, 0, 0, status, 0, 0, 0});
    return f.b;
}

// A MeasEpoch type-1 sub-block (20 bytes) for the first {signal, CN0}, a type-2 one (12 bytes)
// for each further pair.
ByteVec Meas(int svid, std::vector<std::pair<int, int>> signals)
{
    Fill f(20);
    f(1, U8(signals[0].first))(2, U8(svid))(15, U8(signals[0].second))(19, U8(signals.size() - 1));
    for (std::size_t i = 1; i < signals.size(); ++i)
        f.b.insert(f.b.end(),
                   {U8(signals[i].first), 0, U8(signals[i].second), 0, 0, 0, 0, 0, 0, 0, 0, 0});
    return f.b;
}

// ChannelStatus (12/8-byte sub-blocks) or MeasEpoch (20/12) holding count and sub-blocks.
ByteVec WithSubBlocks(std::uint16_t number, int count, std::initializer_list<ByteVec> subs)
{
    const bool meas = number == CSBFParser::kMeasEpoch;
    Fill f(20);
    f(14, U8(count))(15, U8(meas ? 20 : 12))(16, U8(meas ? 12 : 8));
    for (const auto& sub : subs) f.b.insert(f.b.end(), sub.begin(), sub.end());
    return Seal(number, f.b);
}

struct PlainBlock {
    std::size_t at, length;
    int number;
    std::uint32_t tow;
};

// "$@", a length that is a multiple of 4 and fits, and a matching CRC; else one byte on.
std::vector<PlainBlock> PlainBlocks(const ByteVec& d)
{
    std::vector<PlainBlock> out;
    for (std::size_t i = 0; i + 14 <= d.size(); ++i) {
        const std::size_t length = Get<std::uint16_t>(&d[i + 6]);
        if (d[i] != '$' || d[i + 1] != '@' || length < 16 || length % 4 || i + length > d.size() ||
            XmodemCrc(&d[i + 4], length - 4) != Get<std::uint16_t>(&d[i + 2]))
            continue;
        out.push_back(
            {i, length, Get<std::uint16_t>(&d[i + 4]) & 0x1FFF, Get<std::uint32_t>(&d[i + 8])});
        i += length - 1;
    }
    return out;
}

// SBF chosen as the position source, as the main window does for an SBF stream; the input
// arrives in pieces ending at the cuts.
std::unique_ptr<Owner> Decode(const ByteVec& bytes, std::vector<std::size_t> cuts = {})
{
    auto owner = std::make_unique<Owner>();
    owner->parser.SetPositionSource(true);
    cuts.push_back(bytes.size());
    ByteVec buffer;
    for (std::size_t i = 0; i < cuts.size(); ++i) {
        buffer.insert(buffer.end(), bytes.begin() + (i ? cuts[i - 1] : 0), bytes.begin() + cuts[i]);
        buffer.erase(buffer.begin(), buffer.end() - owner->Feed(buffer));
    }
    owner->Flush();
    return owner;
}

TEST(SbfRealData, EveryCaptureDecodesWithItsEpochs)
{
    SKIP_WITHOUT_DATA();
    std::mt19937 random(7);
    const std::size_t files =
        captures::ForEach(captures::kSbf, [&](const auto& c, const ByteVec& bytes) {
            const auto owner = Decode(bytes);
            EXPECT_EQ(owner->parser.ErrorCount(), 0u);
            EXPECT_EQ(owner->epochs.size(), std::size_t(c.sbfEpochs));
            // However the input is split, the epochs stay the same.
            const auto reference = EpochKeys(owner->epochs);
            // Blocks of 1..64 bytes, then four times two random cuts.
            for (std::size_t block = 1; block <= 68; ++block) {
                std::vector<std::size_t> cuts;
                for (std::size_t at = block; block <= 64 && at < bytes.size(); at += block)
                    cuts.push_back(at);
                if (block > 64) cuts = {random() % bytes.size(), random() % bytes.size()};
                std::sort(cuts.begin(), cuts.end());
                EXPECT_EQ(EpochKeys(Decode(bytes, cuts)->epochs), reference) << block;
            }
        });
    EXPECT_EQ(files, 10u);
    // The block cut short at the end waits for more data; it is not an error.
    Owner owner;
    EXPECT_EQ(owner.Feed(captures::Read("sbf/pysbf2_mosaic-x5_truncated_tail.sbf")), 14u);
    EXPECT_TRUE(owner.parser.IsPartial());
}

TEST(SbfRealData, HandCheckedPvtGeodetic)
{
    SKIP_WITHOUT_DATA();
    const auto bytes = captures::Read("sbf/pysbf2_mosaic-x5_pvtgeodetic_velcovgeodetic.sbf");
    const PlainBlock pvt = PlainBlocks(bytes).at(0);
    ASSERT_EQ(pvt.number, 4007);
    const std::uint8_t* raw = &bytes[pvt.at];
    const auto owner = Decode(bytes);
    ASSERT_EQ(owner->epochs.size(), 1u);
    const GnssReceiverState& s = owner->epochs[0];
    ExpectNear({NEAR(s.latitudeDeg, Get<double>(raw + 16) * kDeg, 1e-9),
                NEAR(s.longitudeDeg, Get<double>(raw + 24) * kDeg, 1e-9),
                NEAR(s.latitudeDeg, 53.344052, 1e-6)});
    // Mode 6 (SBAS-aided) is fix quality 2.
    EXPECT_EQ(std::make_tuple(s.ellipsoidHeight, raw[14], s.fixQuality, s.satellitesUsed),
              std::make_tuple(Get<double>(raw + 32), 6, 2, int{raw[74]}));
    EXPECT_FLOAT_EQ(s.horizontalAccuracy, Get<std::uint16_t>(raw + 90) * 0.01f);
    EXPECT_EQ(s.timeOfDayMs, Get<std::uint32_t>(raw + 8) % 86400000);
    EXPECT_EQ(s.timeText + s.dateText, "140727230525");  // week 2367, TOW 482847 s
}

TEST(SbfBlocks, PvtGeodeticModeGivesFixQualityAndMode)
{
    // {mode, fix quality, fix mode, quality delivered}, each after a block of mode 1.
    const std::tuple<int, int, int, bool> cases[] = {
        {0, 0, 3, true},    {1, 1, 3, true},  {2, 2, 3, true},    {3, 2, 3, true}, {6, 2, 3, true},
        {4, 4, 3, true},    {7, 4, 3, true},  {5, 5, 3, true},    {8, 5, 3, true}, {10, 3, 3, true},
        {0x84, 4, 2, true}, {9, 1, 3, false}, {0x8F, 1, 2, false}};
    for (const auto& [mode, quality, fixMode, delivered] : cases) {
        Owner owner;
        owner.Feed(Cat({Pvt(1), Pvt(mode)}));
        const GnssReceiverState& s = *owner.parser.State();
        EXPECT_EQ(std::make_tuple(s.fixQuality, s.fixMode, s.Has(ContentFlag::FixQuality)),
                  std::make_tuple(quality, fixMode, delivered))
            << mode;
    }
}

TEST(SbfBlocks, PvtGeodeticAndDopFields)
{
    Owner owner;
    std::array<double, 3> position = {7, 8, 9};
    EXPECT_EQ(owner.parser.GetPosition(position), kNoTime);
    EXPECT_EQ(position, (std::array<double, 3>{7, 8, 9}));
    owner.Feed(Cat(
        {Pvt(1, 3 * 86400000 + 45296000),
         Seal(CSBFParser::kDop,
              Fill(24)(16, std::uint16_t{250})(20, std::uint16_t{120})(22, std::uint16_t{90}).b)}));
    const GnssReceiverState& s = *owner.parser.State();
    ExpectNear({NEAR(s.latitudeDeg, 0.5 * kDeg, 1e-9), NEAR(s.longitudeDeg, -kDeg, 1e-9)});
    EXPECT_EQ(std::tuple(s.geoidSeparation, s.courseDeg, s.satellitesUsed, s.ellipsoidHeight),
              std::tuple(45.25, 123.5f, 17, 123.456789012));
    EXPECT_EQ(std::make_tuple(s.horizontalAccuracy, s.sigmaAlt, s.pdop, s.hdop, s.vdop),
              std::make_tuple(500 * 0.01f, 300 * 0.01f, 250 * 0.01f, 120 * 0.01f, 90 * 0.01f));
    EXPECT_EQ(s.sigmaLat, s.sigmaLon);
    EXPECT_FLOAT_EQ(std::hypot(s.sigmaLat, s.sigmaLon), 5.0f);
    EXPECT_EQ(std::tuple(s.timeOfDayMs, s.timeText + s.dateText),
              std::tuple(45296000u, "123456020425"));
    EXPECT_TRUE(s.Has(0x22570000u | ContentFlag::Dop));
    EXPECT_EQ(owner.selectCalls, std::vector<std::int32_t>{3});
    EXPECT_EQ(owner.parser.GetPosition(position), 45296000u);
    EXPECT_EQ(position[2], double(float(123.456789012)));
    Owner midnight;  // 00:00:00.000 is a time like any other
    midnight.Feed(Pvt(1, 86400000));
    EXPECT_TRUE(midnight.parser.State()->Has(ContentFlag::TimeOfDay));
}

TEST(SbfBlocks, MeasEpochSignalLevels)
{
    Owner owner;
    owner.Feed(WithSubBlocks(CSBFParser::kMeasEpoch, 5,
                             {Meas(5, {{0, 160}}), Meas(6, {{1, 160}}),
                              Meas(71, {{17, 100}, {2, 100}, {24, 140}, {4, 200}}),
                              Meas(250, {{0, 160}, {2, 100}}), Meas(7, {{31, 160}})}));
    const GnssReceiverState& s = *owner.parser.State();
    EXPECT_EQ(std::tuple(std::get<0>(Signals(s, 1, 5)), std::get<0>(Signals(s, 1, 6))),
              std::tuple(50, 40));
    // The higher of 35 and 45; a P-code signal has no 10 dB-Hz offset; neither SVID 250 nor
    // signal 31 is kept.
    EXPECT_EQ(Signals(s, 4, 71), std::tuple(45, 25, 3u));
    EXPECT_EQ(std::tuple(s.inViewTotal, s.Has(ContentFlag::SatellitesInView)), std::tuple(3, true));
}

TEST(SbfBlocks, ChannelStatusAndMeasEpochShareTheSatelliteEntries)
{
    Owner owner;
    owner.Feed(
        Cat({WithSubBlocks(CSBFParser::kChannelStatus, 2,
                           {Sat(12, 300, 45, {0x0A, 0x09}), Sat(71, 10, 20, {})}),
             WithSubBlocks(CSBFParser::kMeasEpoch, 3,
                           {Meas(12, {{0, 160}}), Meas(71, {{17, 100}}), Meas(13, {{0, 120}})})}));
    const GnssReceiverState& s = *owner.parser.State();
    // Used on three signals: listed three times.
    EXPECT_EQ(std::vector<int>(s.usedPrn[1], s.usedPrn[1] + s.usedCount[1]),
              std::vector<int>(3, 12));
    EXPECT_EQ(std::tuple(s.usedTotal, s.inViewTotal, s.inViewCount[1]), std::tuple(3, 3, 2));
    const SatelliteInView* sat = FindSat(s, 1, 12);
    ASSERT_NE(sat, nullptr);
    EXPECT_EQ(std::make_tuple(sat->azimuthDeg, sat->elevationDeg, sat->snr[0]),
              std::make_tuple(300, 45, 50));
    EXPECT_TRUE(s.Has(0x18000000u));
}

TEST(SbfBlocks, SvidRangesGiveTheConstellation)
{
    // Each side of every range: {svid, row}, row 0 for none kept.
    const std::pair<int, int> cases[] = {{0, 0},   {1, 1},   {37, 1},  {38, 3},  {68, 3},  {69, 0},
                                         {71, 4},  {106, 4}, {107, 0}, {119, 0}, {120, 2}, {140, 2},
                                         {141, 6}, {180, 6}, {181, 5}, {187, 5}, {188, 0}, {197, 0},
                                         {198, 2}, {215, 2}, {216, 0}};
    for (const auto& [svid, row] : cases) {
        Owner owner;
        owner.Feed(WithSubBlocks(CSBFParser::kChannelStatus, 1, {Sat(svid, 10, 20, {})}));
        const GnssReceiverState& s = *owner.parser.State();
        EXPECT_EQ(std::tuple(s.inViewTotal, FindSat(s, row, svid) != nullptr),
                  std::tuple(row ? 1 : 0, row != 0))
            << svid;
    }
}

TEST(SbfBlocks, CountsPointingPastTheBlockDecodeOnlyWhatIsInside)
{
    Owner owner;
    CSBFParser& p = owner.parser;
    const GnssReceiverState& s = *p.State();
    owner.Feed(
        WithSubBlocks(CSBFParser::kChannelStatus, 5, {Sat(3, 1, 2, {}), Sat(4, 1, 2, {2, 2})}));
    EXPECT_EQ(std::tuple(s.inViewTotal, s.usedTotal), std::tuple(2, 2));
    // Four state sub-blocks claimed, one there (the decoder does not look at the CRC).
    ByteVec states = WithSubBlocks(CSBFParser::kChannelStatus, 1, {Sat(9, 1, 2, {2})});
    states[20 + 9] = 4;
    p.ParseMessage(states, false);
    EXPECT_EQ(s.usedTotal, 3);
    // Three type-2 sub-blocks claimed, one there.
    ByteVec cut = WithSubBlocks(CSBFParser::kMeasEpoch, 1, {Meas(6, {{0, 160}, {2, 100}})});
    cut[20 + 19] = 3;
    p.ParseMessage(cut, false);
    EXPECT_EQ(std::get<2>(Signals(s, 1, 6)), 3u);
}

TEST(SbfFraming, StepsOverGarbageBlock4201AndBadCrcs)
{
    Owner owner;
    CSBFParser& p = owner.parser;
    const ByteVec dop = Seal(CSBFParser::kDop, Fill(24)(16, std::uint16_t{250}).b);
    ByteVec bad = dop;
    bad[20] ^= 1;
    const ByteVec step = Seal(CSBFParser::kStepOver, ByteVec(40));
    // A '$' without 0x40, and "$@" with a length that is no multiple of 4.
    const ByteVec bytes = Cat({{'x', '$', 'G', '$', '@', 3, 0, 9, 0, 5, 0}, step, bad, dop});
    std::size_t start = 0, length = 0;
    EXPECT_EQ(p.FindMessage(bytes, start, length, true, false), 0x04000000u);
    EXPECT_EQ(std::make_pair(start, length), std::make_pair(bytes.size() - dop.size(), dop.size()));
    EXPECT_EQ(std::tuple(p.ErrorCount(), p.ErrorLog().size(), p.GetHexText().substr(0, 6),
                         p.GetHexText().size(), owner.protocolsSeen),
              std::tuple(1u, 1u, "24 40 ", dop.size() * 3 - 1, 1u << 3));
    // A length shorter than a header is no block.
    EXPECT_EQ(p.FindMessage(ByteVec{'$', '@', 0, 0, 1, 2, 4, 0, 0, 0}, start, length, true, false),
              0u);
    EXPECT_FALSE(p.IsPartial());
    // With stop-on-error the search ends at the bad block.
    EXPECT_EQ(p.FindMessage(Cat({bad, dop}), start, length, true, true), 0u);
    // The 4201 block is never reported; the bad one never decoded.
    EXPECT_EQ(p.FindMessage(step, start, length, true, false), 0u);
    EXPECT_FALSE(p.IsPartial());
    Owner fed;
    fed.Feed(Cat({step, bad, Pvt(1)}));
    EXPECT_EQ(std::tuple(fed.parser.State()->pdop, fed.parser.State()->Has(ContentFlag::Unknown)),
              std::tuple(0.0f, false));
    // A navigation block (GPSNav) carries the time of its message, not of the epoch.
    fed.Feed(Seal(5891, ByteVec(20), 1000));
    EXPECT_EQ(fed.parser.State()->timeOfDayMs, 45296000u);
    EXPECT_TRUE(fed.parser.State()->Has(ContentFlag::Unknown));
}

TEST(SbfTimeIndex, IndexesPvtGeodeticAndDecodesAtTime)
{
    SKIP_WITHOUT_DATA();
    const auto bytes = captures::Read("sbf/sbfmixer_mosaic_pvtgeod_dop_chstatus_meas_atteuler.sbf");
    std::vector<PlainBlock> pvts;
    for (const PlainBlock& b : PlainBlocks(bytes))
        if (b.number == 4007) pvts.push_back(b);
    ASSERT_EQ(pvts.size(), 12u);
    Owner owner;
    owner.parser.BuildTimeIndex(bytes, 1000, false);
    EXPECT_EQ(std::tuple(owner.parser.GetIndexedMessageCount(),
                         owner.parser.TimeIndexes().SmallestInterval(0)),
              std::tuple(12, 1000u));
    std::vector<IndexGap> gaps;
    EXPECT_FALSE(owner.parser.FindIndexGaps(0, gaps));  // 1 Hz throughout
    const std::uint64_t time = pvts[4].tow % 86400000;
    const AtTime at = DecodeAt(owner.parser, time - 1, bytes, 1000);
    EXPECT_EQ(std::tuple(at.key, at.offset, at.length),
              std::tuple(time, 1000 + pvts[4].at, pvts[4].length));
    const GnssReceiverState live = Decode(bytes)->epochs.at(4);
    EXPECT_EQ(std::make_tuple(at.position.latitudeDeg, at.position.ellipsoidHeight,
                              at.position.fixQuality, at.position.hasFixQuality),
              std::make_tuple(live.latitudeDeg, live.ellipsoidHeight, 2, true));
    std::size_t start = 0, length = 0;
    EXPECT_TRUE(owner.parser.FindPositionMessage(bytes, start, length));
    EXPECT_EQ(start, pvts[0].at);
}

}  // namespace
