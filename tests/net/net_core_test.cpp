#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "decode/gnss_receiver_state.h"
#include "geo/ecef.h"
#include "net/chunked_decoder.h"
#include "net/forward_groups.h"
#include "net/ntrip_messages.h"
#include "net/ntrip_reply.h"
#include "net/relay_protocol.h"
#include "net/rtcm3_framer.h"
#include "net/rtcm_monitor.h"
#include "net/source_table.h"
#include "support/recording_owner.h"
#include "support/test_data.h"

namespace {

using ByteVector = std::vector<std::uint8_t>;
using namespace std::string_view_literals;

ByteVector ToBytes(std::string_view text) { return {text.begin(), text.end()}; }

// Pieces of 1 byte, 7 bytes, random sizes up to 700, and the whole.
std::vector<std::vector<std::size_t>> PieceSizes(std::size_t total)
{
    std::vector<std::vector<std::size_t>> plans{{1}, {7}, {}, {total}};
    std::mt19937 random(11);
    std::uniform_int_distribution<std::size_t> size(1, 700);
    for (std::size_t at = 0; at < total; at += plans[2].back()) plans[2].push_back(size(random));
    return plans;
}

// Feeds bytes to feed(span) in the pieces of a plan (a one-element plan repeats its size).
template <class Feed>
void FeedInPieces(const ByteVector& bytes, const std::vector<std::size_t>& plan, Feed&& feed)
{
    std::size_t at = 0;
    for (std::size_t i = 0; at < bytes.size(); ++i) {
        const std::size_t n = std::min(plan[plan.size() == 1 ? 0 : i], bytes.size() - at);
        feed(std::span<const std::uint8_t>(bytes).subspan(at, n));
        at += n;
    }
}

// The capture without gpsd's '#' comment lines.
ByteVector WithoutComments(const ByteVector& bytes)
{
    ByteVector kept;
    bool lineStart = true, comment = false;
    for (const std::uint8_t b : bytes) {
        if (lineStart) comment = b == '#';
        if (!comment) kept.push_back(b);
        lineStart = b == '\n';
    }
    return kept;
}

std::map<int, int> FrameTypes(const ByteVector& stream, const std::vector<std::size_t>& plan,
                              CRtcm3Framer& framer)
{
    std::map<int, int> types;
    FeedInPieces(stream, plan, [&](std::span<const std::uint8_t> piece) {
        framer.Feed(piece, [&](std::span<const std::uint8_t> frame) {
            ++types[rtcm3::MessageType(frame)];
        });
    });
    return types;
}

TEST(Rtcm3Framer, RealStreamsGiveTheirMessageCountsInAnyPieces)
{
    SKIP_WITHOUT_DATA();
    const struct {
        const char* file;
        std::map<int, int> types;
    } cases[] = {
        // clang-format off
        {"rtcm3/gpsd_igs-stfu7_rtcm32.log",
         {{1019, 32}, {1020, 24}, {1087, 24}, {1097, 24}, {1107, 24}, {1077, 23}, {63, 13},
          {1045, 9}, {1046, 9}, {1007, 3}, {1008, 3}, {1033, 3}, {1044, 1}}},
        {"rtcm3/pygnssutils_ntrip_msm7_eph_33s.rtcm3",
         {{1019, 33}, {1020, 33}, {1042, 33}, {1046, 33}, {1077, 33}, {1087, 33}, {1097, 33},
          {1127, 32}, {1006, 7}, {1033, 7}, {1230, 7}, {4094, 7}, {1013, 1}}},
        // clang-format on
    };
    for (const auto& c : cases) {
        const ByteVector bytes = testdata::ReadBytes(*testdata::DataDir() / c.file);
        for (const auto& plan : PieceSizes(bytes.size())) {
            CRtcm3Framer framer;
            EXPECT_EQ(FrameTypes(bytes, plan, framer), c.types) << c.file << " " << plan[0];
            EXPECT_EQ(framer.CrcFailures(), 0u) << c.file;
        }
    }
}

TEST(Rtcm3Framer, DamagedFrameIsCountedAndTheNextOneFound)
{
    SKIP_WITHOUT_DATA();
    ByteVector bytes =
        testdata::ReadBytes(*testdata::DataDir() / "rtcm3/pygnssutils_ntrip_msm7_eph_33s.rtcm3");
    CRtcm3Framer clean;
    const auto expected = FrameTypes(bytes, {bytes.size()}, clean);
    // Flip a bit inside the first frame's message.
    std::size_t first = 0;
    while (bytes[first] != rtcm3::kPreamble) ++first;
    bytes[first + 5] ^= 0x10;
    CRtcm3Framer framer;
    auto types = FrameTypes(bytes, {1}, framer);
    EXPECT_GE(framer.CrcFailures(), 1u);
    EXPECT_EQ(framer.Frames() + 1, clean.Frames());
    EXPECT_EQ(framer.Pending(), 0u);
    int missing = 0;
    for (const auto& [type, count] : expected) missing += count - types[type];
    EXPECT_EQ(missing, 1);
}

// A real stream fed over 6.3 s: counts, the bit rate of the last ten seconds, the station,
// the baseline to a rover 100 m above it, and "stale" ten seconds after the last byte.
TEST(RtcmMonitor, CountsRateStationBaselineAndStale)
{
    SKIP_WITHOUT_DATA();
    const ByteVector bytes =
        testdata::ReadBytes(*testdata::DataDir() / "rtcm3/pygnssutils_ntrip_msm7_eph_33s.rtcm3");
    CRtcmMonitor monitor;
    std::int64_t now = 0;
    FeedInPieces(bytes, {1000}, [&](std::span<const std::uint8_t> piece) {
        now += 100;
        monitor.Feed(piece, now);
    });
    auto s = monitor.Take(now);
    ASSERT_EQ(s.types.size(), 13u);
    EXPECT_EQ(s.types.front().type, 1006);
    EXPECT_EQ(s.types.front().count, 7u);
    EXPECT_EQ(s.frames, 292u);
    EXPECT_NEAR(s.bitsPerSecond, bytes.size() * 8.0 / 10.0, 1e-6);
    EXPECT_FALSE(s.stale);
    // 1006 of station 25, decoded here independently: ECEF at 0.1 mm, antenna 0.1 m.
    ASSERT_TRUE(s.station.has_value());
    EXPECT_EQ(s.station->stationId, 25);
    EXPECT_NEAR(s.station->x, 3811965.6701, 1e-6);
    EXPECT_NEAR(s.station->y, -175800.0708, 1e-6);
    EXPECT_NEAR(s.station->z, 5093615.5606, 1e-6);
    EXPECT_NEAR(s.station->antennaHeight, 0.1, 1e-9);
    EXPECT_FALSE(s.baselineM.has_value());
    const Geodetic station = EcefToGeodetic({s.station->x, s.station->y, s.station->z});
    monitor.SetRover(station.latitudeDeg, station.longitudeDeg, station.heightM + 100.0);
    EXPECT_NEAR(*monitor.Take(now).baselineM, 100.0, 1e-3);
    // Five seconds on, half of the pieces fell out of the window; ten seconds on, all.
    EXPECT_LT(monitor.Take(now + 5000).bitsPerSecond, s.bitsPerSecond);
    s = monitor.Take(now + 9999);
    EXPECT_FALSE(s.stale);
    EXPECT_GT(s.bitsPerSecond, 0.0);
    s = monitor.Take(now + 10000);
    EXPECT_TRUE(s.stale);
    EXPECT_EQ(s.bitsPerSecond, 0.0);
    EXPECT_TRUE(CRtcmMonitor().Take(0).stale);
}

// Real replies in any pieces: the NTRIP 2 capture is a chunked body (only RTCM goes on), the
// NTRIP 1 one hands on only the data behind "ICY 200 OK", and a source table lists its streams.
TEST(NtripReply, RealRepliesGiveTheSameBodyInAnyPieces)
{
    SKIP_WITHOUT_DATA();
    const auto read = [](const char* file) {
        return testdata::ReadBytes(*testdata::DataDir() / file);
    };
    ByteVector chunked = ToBytes(
        "HTTP/1.1 200 OK\r\nNtrip-Version: Ntrip/2.0\r\n"
        "Transfer-Encoding: Chunked\r\nContent-Type: gnss/data\r\n\r\n");
    const ByteVector rtcm = read("ntrip/pygnssutils_ntrip2_chunked_rtcm3.bin");
    chunked.insert(chunked.end(), rtcm.begin(), rtcm.end());
    const ByteVector ntrip1 = WithoutComments(read("ntrip/gpsd_ntrip1_request_icy200_rtcm2.log"));
    const std::size_t icy = std::string(ntrip1.begin(), ntrip1.end()).find("ICY 200 OK");
    ASSERT_NE(icy, std::string::npos);
    const struct {
        ByteVector reply;
        NtripReplyKind kind;
    } cases[] = {
        {chunked, NtripReplyKind::Stream},
        {ByteVector(ntrip1.begin() + static_cast<std::ptrdiff_t>(icy), ntrip1.end()),
         NtripReplyKind::Stream},
        {WithoutComments(read("ntrip/gpsd_sapos_sourcetable.log")), NtripReplyKind::SourceTable},
    };
    std::vector<ByteVector> bodies;
    for (const auto& c : cases) {
        bodies.emplace_back();
        for (const auto& plan : PieceSizes(c.reply.size())) {
            CNtripReplyReader reader;
            ByteVector out;
            FeedInPieces(c.reply, plan,
                         [&](std::span<const std::uint8_t> p) { reader.Feed(p, out); });
            EXPECT_EQ(reader.Kind(), c.kind);
            EXPECT_EQ(reader.Chunked(), &c == &cases[0]);
            EXPECT_FALSE(reader.BodyBroken());
            if (bodies.back().empty()) bodies.back() = out;
            EXPECT_EQ(out, bodies.back()) << "pieces " << plan[0];
        }
    }
    CRtcm3Framer framer;
    framer.Feed(bodies[0], [](std::span<const std::uint8_t>) {});
    EXPECT_EQ(framer.Frames(), 109u);
    EXPECT_EQ(framer.CrcFailures(), 0u);
    const std::string_view header = "ICY 200 OK\n\n";  // the capture has LF line ends
    ASSERT_GT(bodies[1].size(), 1000u);
    EXPECT_TRUE(std::equal(bodies[1].begin(), bodies[1].end(),
                           ntrip1.begin() + static_cast<std::ptrdiff_t>(icy + header.size()),
                           ntrip1.end()));
    const auto streams =
        ParseSourceTable({reinterpret_cast<const char*>(bodies[2].data()), bodies[2].size()});
    ASSERT_EQ(streams.size(), 4u);
    EXPECT_EQ(streams.back().mountPoint, "EPS");
    EXPECT_EQ(streams.back().format, "RTCM2.3");
    EXPECT_NEAR(*streams.back().latitude, 52.48, 1e-9);
    EXPECT_TRUE(streams.back().wantsGga);
}

TEST(NtripReply, KindsAndWhatReachesTheBody)
{
    const std::string rtcm = "\xD3\x00\x02\x3E\xD0\x11\x22\x33";
    const struct {
        std::string reply;
        NtripReplyKind kind;
        std::string body;
    } cases[] = {
        {"ICY 200 OK\r\n" + rtcm, NtripReplyKind::Stream, rtcm},
        {"ICY 200 OK\r\n\r\n" + rtcm, NtripReplyKind::Stream, rtcm},
        {"ICY 200 OK\r\n\r" + rtcm, NtripReplyKind::Stream, "\r" + rtcm},
        {"HTTP/1.0 200 OK\r\nServer: x\r\n\r\n" + rtcm, NtripReplyKind::Stream, rtcm},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: "
         "chunked\r\n\r\n3;ext=1\r\nabc\r\n2\r\nde\r\n0\r\n\r\n",
         NtripReplyKind::Stream, "abcde"},
        {"HTTP/1.1 200 OK\r\nContent-Type: gnss/sourcetable\r\n\r\nSTR;A;\r\n",
         NtripReplyKind::SourceTable, "STR;A;\r\n"},
        {"SOURCETABLE 200 OK\r\nContent-Length: 7\r\n\r\nSTR;B;\n", NtripReplyKind::SourceTable,
         "STR;B;\n"},
        {"HTTP/1.0 401 Unauthorized\r\n\r\n", NtripReplyKind::Unauthorized, ""},
        {"ICY 401 Unauthorized\r\n", NtripReplyKind::Unauthorized, ""},
        {"HTTP/1.1 404 Not Found\r\n\r\n" + rtcm, NtripReplyKind::Refused, ""},
        {"ERROR - Bad Password\r\n", NtripReplyKind::Refused, ""},
        {"ICY 200", NtripReplyKind::Pending, ""},
    };
    for (const auto& c : cases) {
        CNtripReplyReader reader;
        ByteVector out;
        reader.Feed(ToBytes(c.reply), out);
        EXPECT_EQ(reader.Kind(), c.kind) << c.reply;
        EXPECT_EQ(std::string(out.begin(), out.end()), c.body) << c.reply;
    }
}

// Each limit on both sides: a reply header of 8192 bytes, a reply text of 240 characters, a
// chunk size line of 64 bytes and a chunk of 16 MiB.
TEST(NtripReply, LimitsHoldOnBothSides)
{
    for (const bool over : {false, true}) {
        SCOPED_TRACE(over);
        CNtripReplyReader reader;
        ByteVector out;
        // 17 bytes of status line, 3 + filler + 2 of a header line, 2 of the empty line.
        reader.Feed(
            ToBytes("HTTP/1.0 200 OK\r\nX: " + std::string(8192 - 24 + over, 'x') + "\r\n\r\nD"),
            out);
        EXPECT_EQ(reader.Kind(), over ? NtripReplyKind::Refused : NtripReplyKind::Stream);
        EXPECT_EQ(out.size(), over ? 0u : 1u);

        const std::string refusal = "ERROR\n" + std::string(240 - 6 + over, 'y');
        CNtripReplyReader refused;
        refused.Feed(ToBytes(refusal), out);
        EXPECT_EQ(refused.ReplyText(), refusal.substr(0, 240) + (over ? "..." : ""));

        CChunkedDecoder line, chunk;
        ByteVector body;
        line.Feed(ToBytes("3;" + std::string(64 - 3 + over, 'e') + "\r\nabc\r\n"), body);
        EXPECT_EQ(line.Broken(), over);
        chunk.Feed(ToBytes(std::string(over ? "1000001" : "1000000") + "\r\nab"), body);
        EXPECT_EQ(chunk.Broken(), over);
        EXPECT_EQ(std::string(body.begin(), body.end()), over ? "" : "abcab");
    }
}

TEST(SourceTable, OnlyStrRecordsUntilTheEnd)
{
    const std::string table =
        "CAS;rts1.example;2101;X;Y;0;KOR;37.5;127.0\r\nNET;NGII;NGII;B;N;;;;\r\n"
        "STR;FKP_V31;Seoul;RTCM 3.1;;2;GPS+GLO;NGII;KOR;37.50;127.00;1;0;x;none;B;N;9600;\r\n"
        "STR;" +
        std::string(200, 'M') +
        ";;;\r\nSTR;;empty mount\r\nSTR;VRS_V32\r\n"
        "ENDSOURCETABLE\r\nSTR;AFTER_END;\r\n";
    const auto streams = ParseSourceTable(table);
    ASSERT_EQ(streams.size(), 3u);
    EXPECT_EQ(streams[0].mountPoint, "FKP_V31");
    EXPECT_TRUE(streams[0].wantsGga);
    EXPECT_NEAR(*streams[0].longitude, 127.0, 1e-9);
    EXPECT_EQ(streams[1].mountPoint.size(), kMaxMountPoint);
    EXPECT_EQ(streams[2].mountPoint, "VRS_V32");
    EXPECT_FALSE(streams[2].latitude.has_value());
    EXPECT_FALSE(streams[2].wantsGga);
    // Without ENDSOURCETABLE the table runs to the end; a non-table reply lists nothing.
    EXPECT_EQ(ParseSourceTableReply("SOURCETABLE 200 OK\r\n\r\nSTR;A;\r\nSTR;B;")->size(), 2u);
    EXPECT_FALSE(ParseSourceTableReply("ICY 200 OK\r\nSTR;A;\r\n").has_value());
    EXPECT_FALSE(ParseSourceTableReply("HTTP/1.0 401 Unauthorized\r\n\r\n").has_value());
}

GnssReceiverState Rover(double latitude, double longitude, std::int32_t fixQuality)
{
    GnssReceiverState s;
    s.timeText = "123519.00";
    std::tie(s.latitudeDeg, s.longitudeDeg, s.mslAltitude, s.geoidSeparation) =
        std::tuple(latitude, longitude, 45.4, 23.1);
    std::tie(s.fixQuality, s.satellitesUsed, s.hdop) = std::tuple(fixQuality, 8, 0.9f);
    return s;
}

// The sentence a caster gets reads back through the program's own NMEA decoder.
TEST(NtripMessages, GgaReadsBackThroughTheNmeaDecoder)
{
    const struct {
        double latitude, longitude;
        std::int32_t quality, sent;
    } cases[] = {{37.473125, 126.88121, 4, 4}, {-33.8568, -70.6483, 9, 1}, {0.5, 0.25, 2, 2}};
    for (const auto& c : cases) {
        const auto gga = BuildNtripGga(Rover(c.latitude, c.longitude, c.quality));
        ASSERT_TRUE(gga.has_value());
        GnssReceiverState later = Rover(c.latitude, c.longitude, c.quality);
        later.timeText = "123520.00";  // the next epoch's sentence closes this one
        BasicRecordingOwner<CNmeaParser> owner;
        owner.parser.SetPositionSource(true);
        DecodeMessages(owner.parser, Bytes(*gga + *BuildNtripGga(later)));
        ASSERT_EQ(owner.parser.ErrorCount(), 0u) << *gga;
        ASSERT_FALSE(owner.epochs.empty()) << *gga;
        const GnssReceiverState& s = owner.epochs.back();
        EXPECT_NEAR(s.latitudeDeg, c.latitude, 1e-8) << *gga;
        EXPECT_NEAR(s.longitudeDeg, c.longitude, 1e-8) << *gga;
        EXPECT_EQ(s.fixQuality, c.sent) << *gga;
        EXPECT_EQ(s.satellitesUsed, 8);
        EXPECT_NEAR(s.hdop, 0.9, 1e-4);
        EXPECT_NEAR(s.mslAltitude, 45.4, 1e-4);
        EXPECT_NEAR(s.geoidSeparation, 23.1, 1e-4);
    }
    EXPECT_FALSE(BuildNtripGga(Rover(0.0, 126.9, 1)).has_value());
    EXPECT_FALSE(BuildNtripGga(Rover(37.5, 126.9, 0)).has_value());
    EXPECT_FALSE(MountPointWantsGga("SSRA00BKG0"));
    EXPECT_TRUE(MountPointWantsGga("FKP_V31"));
}

TEST(ForwardGroups, WholeGroupsOfFourAndNothingLost)
{
    const std::vector<std::vector<std::size_t>> cases = {{4097, 3}, {1, 1, 1, 1, 1}, {2, 5},
                                                         {3, 1},    {0, 8},          {6, 6, 6}};
    for (const auto& blocks : cases) {
        CForwardGroups groups;
        ByteVector in, written;
        std::uint8_t next = 0;
        for (const std::size_t n : blocks) {
            ByteVector block(n);
            for (auto& b : block) b = next++;
            in.insert(in.end(), block.begin(), block.end());
            groups.Take(block, [&](std::span<const std::uint8_t> out) {
                EXPECT_EQ(out.size() % 4, 0u);
                written.insert(written.end(), out.begin(), out.end());
            });
            EXPECT_EQ(written.size() + groups.Waiting(), in.size());
            EXPECT_LT(groups.Waiting(), 4u);
        }
        EXPECT_TRUE(std::equal(written.begin(), written.end(), in.begin()));
    }
}

TEST(RelayProtocol, ViewerIdFromHardwareAddresses)
{
    using Addresses = std::vector<std::vector<std::uint8_t>>;
    const struct {
        Addresses addresses;
        const char* id;
    } cases[] = {
        // 0x01+0x03+0x05 + (0x02+0x04+0x06)<<8 = 0x0C09; 0xFF+0xFF<<8 = 0xFFFF: smaller first.
        {{{0xFF, 0xFF}, {1, 2, 3, 4, 5, 6}}, "0c09ffff"},
        {{{1, 2, 3, 4, 5, 6}}, "00000c09"},                  // one adapter: 0 for the other
        {{{0xFF, 0xFF, 0xFF, 0xFF, 0x03}, {}}, "00000001"},  // sums wrap; odd length
        {{}, "00000000"},
    };
    for (const auto& c : cases) EXPECT_EQ(relay::ViewerId(c.addresses), c.id);
}

// What the server's side reads of an introduction; where said is given, Introduction() with
// that NMEA list says the line (OUTMSG goes only with a login).
TEST(RelayProtocol, IntroductionAndDeviceRequest)
{
    const struct {
        std::string line;
        const char *id = nullptr, *login = "", *device = "", *nmea = "";  // id nullptr: dropped
        const char* said = nullptr;
    } cases[] = {
        // clang-format off
        {"CONNECT_TO VIEWER:1a2b3c4d LOGIN:kim OUTMSG:GGA", "1a2b3c4d", "kim", "", "GGA", "GGA"},
        {"CONNECT_TO VIEWER:1a2b3c4d", "1a2b3c4d", "", "", "", "GGA"},
        {"CONNECT_TO VIEWER:1a2b3c4d DEVICE:DEV01", "1a2b3c4d", "", "DEV01", "", "GGA"},
        {"CONNECT_TO VIEWER:1a2b3c4d LOGIN:kim DEVICE:DEV01 OUTMSG:GGA,RMC", "1a2b3c4d", "kim", "DEV01", "GGA,RMC", "GGA,RMC"},
        // clang-format on
        {"CONNECT_TO VIEWER:0C09FFFF\r\n", "0C09FFFF"},
        {"CONNECT_TO VIEWER:0c09ffff DEVICE:D1  LOGIN:lee EXTRA", "0c09ffff", "lee", "D1"},
        {"CONNECT_TO VIEWER:0c09ffff LOGIN:", "0c09ffff"},
        {"CONNECT_TO VIEWER:0c09fff"},
        {"CONNECT_TO VIEWER:0c09ffff0"},
        {"CONNECT_TO VIEWER:0c09fffg"},
        {"CONNECT_TO VIEWER: 0c09ffff"},
        {"CONNECT_TO VIEWER:0c09ffff LOGIN:a\r\nALIVE"},
        {"CONNECT_TO VIEWER:0c09ffff LOGIN:\xEA\xB9\x80"},
        {"connect_to viewer:0c09ffff"},
        {""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.said ? relay::Introduction(c.id, c.login, c.device, c.said) : c.line, c.line);
        const auto got = relay::ParseIntroduction(c.line);
        ASSERT_EQ(got.has_value(), c.id != nullptr) << c.line;
        if (!got) continue;
        EXPECT_EQ(std::tuple(got->viewerId, got->login, got->device, got->relayedNmea),
                  std::tuple(c.id, c.login, c.device, c.nmea));
    }
    EXPECT_EQ(relay::DeviceRequest("1a2b3c4d", "DEV01"), "[1a2b3c4d,|VS003|DEV01|30]");
    // What we ask the server for, the server's own decoder would take.
    std::string device;
    EXPECT_FALSE(
        relay::CDeviceChannelDecoder::Accept(relay::DeviceRequest("1a2b3c4d", "D"), device));
}

// Frames split anywhere; only whole, checked VS002/VS003 frames with a device count.
TEST(RelayProtocol, DeviceChannelFrames)
{
    const std::string good = "[V1|VS002|x|y|DEV7,extra|1B]";
    const std::string stream = "noise" + good + "[V1|VS002|x|y|DEV8|00]" + "[V1|VS001|x|y|Z|00]" +
                               "[V1|VS003|x|1C]" + "]]" + good;
    for (const auto& plan : PieceSizes(stream.size())) {
        relay::CDeviceChannelDecoder decoder;
        std::vector<std::string> devices;
        FeedInPieces(ToBytes(stream), plan, [&](std::span<const std::uint8_t> piece) {
            decoder.Feed(piece, [&](const std::string& id) { devices.push_back(id); });
        });
        EXPECT_EQ(devices, (std::vector<std::string>{"DEV7", "DEV7"})) << "pieces " << plan[0];
        // The server's side wants every whole frame as it came, checked or not.
        relay::CDeviceChannelDecoder cutter;
        std::vector<std::string> frames;
        FeedInPieces(ToBytes(stream), plan, [&](std::span<const std::uint8_t> piece) {
            cutter.FeedFrames(piece, [&](std::string_view frame) { frames.emplace_back(frame); });
        });
        EXPECT_EQ(frames,
                  (std::vector<std::string>{good, "[V1|VS002|x|y|DEV8|00]", "[V1|VS001|x|y|Z|00]",
                                            "[V1|VS003|x|1C]", good}))
            << "pieces " << plan[0];
    }
    // A frame of 4096 bytes is whole; longer ones are given up, and the next frame still counts.
    for (const std::size_t size : {4096u, 4097u, 100000u}) {
        const ByteVector stream = ToBytes("[" + std::string(size - 2, 'x') + "]" + good);
        relay::CDeviceChannelDecoder decoder;
        std::vector<std::string> devices, frames;
        decoder.Feed(stream, [&](const std::string& id) { devices.push_back(id); });
        decoder.FeedFrames(stream, [&](std::string_view frame) { frames.emplace_back(frame); });
        EXPECT_EQ(devices, std::vector<std::string>{"DEV7"}) << size;
        EXPECT_EQ(frames.size(), size == 4096 ? 2u : 1u) << size;
        EXPECT_EQ(frames.back(), good) << size;
        EXPECT_LE(decoder.Buffered(), relay::CDeviceChannelDecoder::kMaxFrame);
    }
}

TEST(RelayProtocol, DeviceRequestsAndAnswers)
{
    std::string flipped = relay::DeviceRequest("1a2b3c4d", "DEV01");
    flipped[3] ^= 1;
    // Frames with a right checksum, to try the other rules on their own.
    const auto checked = [](std::string body) {
        std::uint8_t sum = 0;
        for (const char c : body) sum ^= static_cast<std::uint8_t>(c);
        return "[" + body + "0123456789ABCDEF"[sum >> 4] + "0123456789ABCDEF"[sum & 15] + "]";
    };
    const struct {
        std::string frame;
        const char *viewer = nullptr, *device = "";  // viewer nullptr: not a request
    } requests[] = {
        {relay::DeviceRequest("1a2b3c4d", "DEV01"), "1a2b3c4d", "DEV01"},
        {flipped},
        {checked("1a2b3c4d,|VS003|DEV01|"), "1a2b3c4d", "DEV01"},
        {checked("1a2b3c4d|VS003|DEV01|")},     // no comma after the viewer
        {checked("1a2b3c4d,|VS002|DEV01|")},    // an answer's type
        {checked("1a2b3c4d,|VS003|DEV01|x|")},  // a field too many
        {relay::DeviceRequest("", "DEV01")},
        {relay::DeviceRequest("1a2b3c4d", "")},
        {relay::DeviceAnswer("1a2b3c4d", "srv", "OK", "DEV01", "ONLINE")},
        {"1a2b3c4d,|VS003|DEV01|30"},
    };
    for (const auto& r : requests) {
        const auto query = relay::ReadDeviceRequest(r.frame);
        ASSERT_EQ(query.has_value(), r.viewer != nullptr) << r.frame;
        if (!query) continue;
        EXPECT_EQ(query->viewerId, r.viewer);
        EXPECT_EQ(query->device, r.device);
    }
    // The viewer's decoder taking it: the test of serve's device channel.
    EXPECT_EQ(relay::DeviceAnswer("1a2b3c4d", "skarnet2-tool", "OK", "DEV01", "x"),
              "[1a2b3c4d|VS002|skarnet2-tool|OK|DEV01,x|3E]");
}

// ALIVE lines are taken out of the viewer's corrections however the stream is cut.
TEST(RelayProtocol, AliveLinesAmongCorrections)
{
    const struct {
        std::string sent, data;
        std::size_t alives;
    } cases[] = {
        {"ALIVE\r\n", "", 1},
        {"ALIVE\r\nALIVE\r\n", "", 2},
        {std::string("\xD3\x00\x13"
                     "ALIVE\r\n\x3E"sv),
         std::string("\xD3\x00\x13\x3E"sv), 1},
        {"AALIVE\r\n", "A", 1},
        {"ALIVALIVE\r\n", "ALIV", 1},
        {"ALIVE\r\r\nALIVE\n", "ALIVE\r\r\nALIVE\n", 0},
        {"ALIVE\r", "ALIVE\r", 0},  // held back, then given up at the end
        {"alive\r\n", "alive\r\n", 0},
    };
    for (const auto& c : cases) {
        for (const auto& plan : PieceSizes(c.sent.size())) {
            relay::CAliveFilter filter;
            std::string data;
            std::size_t alives = 0;
            const auto keep = [&](std::span<const std::uint8_t> bytes) {
                EXPECT_FALSE(bytes.empty());
                data.append(bytes.begin(), bytes.end());
            };
            FeedInPieces(ToBytes(c.sent), plan, [&](std::span<const std::uint8_t> piece) {
                filter.Feed(piece, keep, [&] { ++alives; });
                EXPECT_LT(filter.Held(), relay::kAlive.size());
            });
            filter.Finish(keep);
            EXPECT_EQ(data, c.data) << "pieces " << plan[0];
            EXPECT_EQ(alives, c.alives) << "pieces " << plan[0];
            EXPECT_EQ(filter.Held(), 0u);
        }
    }
}

}  // namespace
