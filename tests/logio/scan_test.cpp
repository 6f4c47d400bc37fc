#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cmath>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "geo/distance.h"
#include "logio/epoch_index.h"
#include "logio/missing_check.h"
#include "logio/replay_scanner.h"
#include "support/captures.h"
#include "support/recording_owner.h"
#include "support/test_data.h"
#include "support/tool_run.h"
#include "tool/decode_command.h"
#include "tool/receiver_simulator.h"

namespace {

ScanResult ScanBytes(std::string_view bytes, ScanSettings settings = {})
{
    CMemoryByteSource source(Bytes(bytes));
    return CReplayScanner(settings).Scan(source);
}

std::string SimulatedLog(double rateHz, double seconds, std::int32_t start,
                         SimulatedProtocol protocol = SimulatedProtocol::Nmea)
{
    return Simulated({.rateHz = rateHz, .seconds = seconds, .startHhmmss = start}, protocol);
}

// Epochs decode reports with the decoder named; positioned only on request.
std::size_t DecodedEpochs(const std::filesystem::path& path, std::string_view decoder,
                          bool positionedOnly)
{
    std::optional<ProtocolId> protocol;
    for (int id = 0; id < 4; ++id)
        if (ProtocolName(ProtocolId(id)) == decoder) protocol = ProtocolId(id);
    std::ifstream in(path, std::ios::binary);
    std::size_t count = 0;
    LogDecodeSummary summary;
    DecodeLog(
        in, kDefaultDecodeBlock, IntakeChoice{.forced = protocol},
        [&](const GnssReceiverState& s) {
            count += !positionedOnly || s.Has(ContentFlag::Position);
        },
        summary);
    return count;
}

std::string NmeaSecond(int second, bool gga = true, bool rmc = true)
{
    const std::string t =
        "1200" + std::string(second % 60 < 10, '0') + std::to_string(second % 60) + ".00";
    return (gga ? Sentence("GPGGA," + t + ",3728.3875,N,12652.8726,E,1,08,0.9,45.0,M,20.0,M,,")
                : "") +
           (rmc ? Sentence("GPRMC," + t + ",A,3728.3875,N,12652.8726,E,0.0,0.0,071226,,,A") : "");
}

// Every epoch starts at the first byte of a frame of the protocol the scan chose, and runs to
// the next one.
void ExpectEpochsAtFrames(const ScanResult& result, std::span<const std::uint8_t> bytes)
{
    const std::string& protocol = result.protocolName;
    for (std::size_t n = 0; n < result.index.Size(); ++n) {
        const EpochEntry e = result.index.At(n);
        ASSERT_LT(e.offset + 1, bytes.size());
        const std::uint8_t a = bytes[e.offset], b = bytes[e.offset + 1];
        EXPECT_TRUE(protocol == "NMEA"  ? a == '$'
                    : protocol == "UBX" ? a == 0xB5 && b == 0x62
                    : protocol == "SBF" ? a == '$' && b == '@'
                                        : a == 0x02)
            << protocol << " epoch " << n << " at " << e.offset;
        if (n + 1 < result.index.Size() && e.length < CEpochIndex::kMaxLength) {
            EXPECT_EQ(e.offset + e.length, result.index.At(n + 1).offset) << n;
        }
    }
}

TEST(ReplayScan, EveryRealCaptureScansLikeDecode)
{
    SKIP_WITHOUT_DATA();
    int scanned = 0;
    captures::ForEach(~0u, [&](const captures::Capture& c, const std::vector<std::uint8_t>& bytes) {
        const auto path = *testdata::DataDir() / c.path;
        const ScanResult result = CReplayScanner(ScanSettings{}).ScanFile(path.string());
        if (result.status != ScanStatus::Ok) {
            EXPECT_TRUE(result.status == ScanStatus::NotRecognised ||
                        result.status == ScanStatus::NoPositionOrTime);
            return;
        }
        ++scanned;
        EXPECT_EQ(result.bytesRead, bytes.size());
        // Most captures have header lines before their first frame.
        ExpectEpochsAtFrames(result, bytes);
        const std::size_t frames = result.index.Size();
        if (result.syncSentence.empty()) {
            // Binary: an epoch is a message with both time and position.
            EXPECT_EQ(frames, DecodedEpochs(path, result.protocolName, true));
        } else {
            // Decode also counts epochs timed only by a sentence other than the sync one, and
            // (GGA) an epoch cut off at either end that has RMC but not its GGA.
            EXPECT_LE(frames, DecodedEpochs(path, result.protocolName, false));
            if (result.syncSentence == "GGA") {
                EXPECT_GE(frames + 1, DecodedEpochs(path, result.protocolName, true));
            }
        }
    });
    EXPECT_GT(scanned, 20);
}

TEST(ReplayScan, BinaryLogWithBytesBeforeItsFramesIndexesTheFrames)
{
    const std::string junk = "# header\r\n{\"class\":\"VERSION\"}\r\n";
    for (const auto protocol :
         {SimulatedProtocol::Ubx, SimulatedProtocol::Sbf, SimulatedProtocol::Gsof}) {
        const std::string log = junk + SimulatedLog(1.0, 20, 120000, protocol);
        ASSERT_GT(log.size(), CReplayScanner::kReadBlock);
        const ScanResult result = ScanBytes(log);
        ASSERT_EQ(result.status, ScanStatus::Ok);
        ASSERT_EQ(result.index.Size(), 20u) << result.protocolName;
        EXPECT_EQ(result.index.At(0).offset, junk.size()) << result.protocolName;
        ExpectEpochsAtFrames(result, Bytes(log));
    }
}

TEST(ReplayScan, MixedLogLedByRawMeasurementsScansWithTheDecoderThatHasPositions)
{
    SKIP_WITHOUT_DATA();
    for (const auto& [file, frames] :
         {std::pair{"mixed/gpsd_ublox-zed-f9p_nmea_ubx_rawx_655s.log", 655u},
          {"mixed/rtklib_ublox_nmea_rxmraw_truncated.ubx", 242u}}) {
        const ScanResult result =
            CReplayScanner(ScanSettings{}).ScanFile((*testdata::DataDir() / file).string());
        EXPECT_EQ(std::tuple(result.status, result.protocolName, result.index.Size(),
                             result.frameIntervalMs),
                  std::tuple(ScanStatus::Ok, "NMEA", frames, 1000))
            << file;
    }
}

// Shown in Hz up to a second, in seconds beyond; the count is of intervals.
TEST(ReplayScan, FrameIntervalAndRateTexts)
{
    const std::tuple<const char*, const char*, std::int64_t, std::int64_t, const char*> cases[] = {
        {"NMEA", "RMC", 2000, 10, "NMEA-RMC@2Sec  /9 Frames "},
        {"UBX", "", 300, 4, "UBX@3Hz  /3 Frames "},  // 3.33 Hz shown whole
        {"UBX", "", 0, 0, "UBX@0Sec  /0 Frames "},
        {"GSOF", "", 1000, 2, "GSOF@1Hz  /1 Frames "}};
    for (const auto& [protocol, sync, interval, count, text] : cases)
        EXPECT_EQ(FrameRateText(protocol, sync, interval, count), text);
    SKIP_WITHOUT_DATA();
    const ScanResult tenHz =
        CReplayScanner(ScanSettings{})
            .ScanFile((*testdata::DataDir() / "nmea/gpsd_trimble_rtkfix_10hz.log").string());
    EXPECT_EQ(tenHz.RateText(), "NMEA-GGA@10Hz  /121 Frames ");
}

TEST(ReplayScan, MidnightKeepsTimesIncreasing)
{
    for (const auto protocol : {SimulatedProtocol::Nmea, SimulatedProtocol::Ubx}) {
        const ScanResult result = ScanBytes(SimulatedLog(1.0, 40, 235930, protocol));
        ASSERT_EQ(result.status, ScanStatus::Ok);
        ASSERT_EQ(result.index.Size(), 40u);
        for (std::size_t n = 1; n < result.index.Size(); ++n)
            EXPECT_EQ(result.index.TimeAt(n) - result.index.TimeAt(n - 1), 1000);
        // UBX counts GPS time, 18 s ahead of UTC; both clocks pass midnight inside the run.
        const std::int64_t lastUtc = CEpochIndex::kDayMs + 9000;
        EXPECT_EQ(result.index.TimeAt(39),
                  protocol == SimulatedProtocol::Nmea ? lastUtc : lastUtc + 18000);
    }
}

// The scanner hands its epochs, error base and station to the statistics (checked in depth
// on their own): RMS and CEP against an independent sum of squares.
TEST(ReplayScan, StatisticsMatchAnIndependentComputation)
{
    const auto path = testdata::UniqueTempPath("scan_stats.log");
    std::ofstream(path, std::ios::binary) << SimulatedLog(1.0, 120, 100000);
    std::vector<GnssReceiverState> epochs;
    std::ifstream in(path, std::ios::binary);
    LogDecodeSummary summary;
    DecodeLog(
        in, kDefaultDecodeBlock, {}, [&](const GnssReceiverState& s) { epochs.push_back(s); },
        summary);
    ASSERT_EQ(epochs.size(), 120u);
    double meanAlt = 0, vertical = 0;
    for (const auto& e : epochs) meanAlt += e.ellipsoidHeight / 120;
    for (const auto& e : epochs) vertical += std::pow(e.ellipsoidHeight - meanAlt, 2) / 120;
    // Error bases: the reference station, the previous epoch.
    for (const int base : {1, 2}) {
        double horizontal = 0;
        for (std::size_t i = base - 1; i < epochs.size(); ++i) {
            const bool previous = base == 2;
            horizontal += std::pow(Distance(epochs[i].latitudeDeg, epochs[i].longitudeDeg,
                                            previous ? epochs[i - 1].latitudeDeg : 37.47,
                                            previous ? epochs[i - 1].longitudeDeg : 126.88),
                                   2);
        }
        const double rms = std::sqrt(horizontal / static_cast<double>(121 - base));
        const ScanResult result = CReplayScanner({.errorBase = base,
                                                  .hasReferenceStation = true,
                                                  .referenceLatitude = 37.47,
                                                  .referenceLongitude = 126.88})
                                      .ScanFile(path.string());
        ASSERT_EQ(result.status, ScanStatus::Ok);
        EXPECT_NEAR(result.statistics.horizontalRms, rms, 1e-6 * rms) << base;
        EXPECT_NEAR(result.statistics.horizontalCep, 0.833 * rms, 1e-6 * rms) << base;
        // The average altitude is kept in single precision.
        EXPECT_NEAR(result.statistics.verticalCep, 0.833 * std::sqrt(vertical), 1e-3) << base;
    }
    EXPECT_EQ(CReplayScanner({.errorBase = 1}).ScanFile(path.string()).status,
              ScanStatus::NoReferenceStation);
}

// The entry whose bytes hold offset.
std::optional<EpochEntry> EntryAt(const CEpochIndex& index, std::uint64_t offset)
{
    for (std::size_t n = 0; n < index.Size(); ++n) {
        const EpochEntry e = index.At(n);
        if (offset >= e.offset && offset < e.offset + e.length) return e;
    }
    return std::nullopt;
}

TEST(ReplayScan, LargeEpochAcrossAReadBoundaryIsIndexed)
{
    // NMEA: epoch 2 runs over 12000 bytes, across the first 10240-byte read.
    std::string nmea;
    for (int s = 0; s < 10; ++s) {
        nmea += NmeaSecond(s);
        for (int k = 0; s == 2 && k < 180; ++k) nmea += Sentence("PXYZ," + std::string(60, 'A'));
    }
    const ScanResult n = ScanBytes(nmea);
    ASSERT_EQ(std::tuple(n.status, n.index.Size()), std::tuple(ScanStatus::Ok, 10u));
    const auto big = EntryAt(n.index, CReplayScanner::kReadBlock);
    ASSERT_TRUE(big.has_value());
    EXPECT_EQ(big->timeMs, (12 * 3600 + 2) * 1000);
    EXPECT_GT(big->length, 12000u);

    // UBX: a raw-measurement frame (RXM-RAWX) straddles the read boundary.
    const auto rawx = testdata::UbxFrame(0x0215, std::vector<std::uint8_t>(16 + 32 * 200));
    const std::string raw(rawx.begin(), rawx.end());
    const std::string log = SimulatedLog(1.0, 10, 120000, SimulatedProtocol::Ubx);
    const ScanResult plain = ScanBytes(log);
    ASSERT_EQ(plain.status, ScanStatus::Ok);
    std::string ubx;
    for (std::size_t e = 0; e < plain.index.Size(); ++e) {
        ubx += log.substr(plain.index.At(e).offset, plain.index.At(e).length);
        if (ubx.size() > 6000 && ubx.size() < CReplayScanner::kReadBlock) ubx += raw;
    }
    const ScanResult u = ScanBytes(ubx);
    ASSERT_EQ(std::tuple(u.status, u.index.Size()), std::tuple(ScanStatus::Ok, plain.index.Size()));
    const auto straddling = EntryAt(u.index, CReplayScanner::kReadBlock);
    ASSERT_TRUE(straddling.has_value());
    EXPECT_GT(straddling->length, raw.size());
}

TEST(ReplayScan, DamagedLogsPlayWhatIsDecodable)
{
    for (const auto protocol : {SimulatedProtocol::Nmea, SimulatedProtocol::Ubx}) {
        const std::string log = SimulatedLog(1.0, 30, 120000, protocol);
        // Cut inside a message at many places: never more frames than whole epochs.
        for (std::size_t cut = 1; cut < log.size(); cut += 811)
            EXPECT_LE(ScanBytes(log.substr(0, cut)).index.Size(), 30u);
        // Garbage between the epochs' messages costs nothing.
        std::string noisy;
        std::uint32_t seed = 7;
        for (std::size_t i = 0; i < log.size(); ++i) {
            noisy += log[i];
            for (int k = 0;
                 protocol == SimulatedProtocol::Nmea && log[i] == '\n' && i % 3 == 0 && k < 40; ++k)
                noisy += static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
        }
        if (protocol == SimulatedProtocol::Ubx)
            noisy = log.substr(0, log.size() / 2) + std::string(3000, '\xB5') +
                    log.substr(log.size() / 2);
        EXPECT_GE(ScanBytes(noisy).index.Size(), protocol == SimulatedProtocol::Nmea ? 30u : 29u);
    }
}

TEST(ReplayScan, GrowingLogProgressAndCancel)
{
    const std::string log = SimulatedLog(1.0, 60, 120000);
    const auto path = testdata::UniqueTempPath("scan_growing.log");
    std::ofstream(path, std::ios::binary) << log.substr(0, log.size() / 3);
    CFileByteSource file(path.string());
    ASSERT_TRUE(file.IsOpen());
    std::ofstream(path, std::ios::binary | std::ios::app) << log.substr(log.size() / 3);
    const ScanResult grown = CReplayScanner(ScanSettings{}).Scan(file);
    ASSERT_EQ(grown.status, ScanStatus::Ok);
    EXPECT_EQ(std::tuple(grown.bytesRead, grown.index.Size()), std::tuple(log.size(), 60u));

    // Each pass reports rising progress up to 1000; a cancel stops the first pass early.
    const std::string big = SimulatedLog(10.0, 600, 120000);
    std::atomic<bool> cancel{false};
    for (const bool cancelling : {false, true}) {
        std::array<int, 2> last{-1, -1};
        CMemoryByteSource source(Bytes(big));
        const ScanResult result =
            CReplayScanner(ScanSettings{}, cancel, [&](int pass, int permille) {
                EXPECT_GT(permille, last[pass]);
                last[pass] = permille;
                cancel = cancelling && permille >= 100;
            }).Scan(source);
        EXPECT_EQ(result.status, cancelling ? ScanStatus::Cancelled : ScanStatus::Ok);
        EXPECT_EQ(last[1], cancelling ? -1 : 1000);
        EXPECT_LT(result.bytesRead, cancelling ? big.size() / 5 : big.size() + 1);
    }
}

TEST(ReplayScan, FailuresAndTheirTexts)
{
    EXPECT_EQ(CReplayScanner(ScanSettings{}).ScanFile("/nonexistent/x.log").status,
              ScanStatus::CannotOpen);
    EXPECT_EQ(ScanBytes(std::string(20000, 'x')).status, ScanStatus::NotRecognised);
    EXPECT_EQ(ScanBytes(Sentence("GPGSA,A,3,01,02,03,,,,,,,,,,1.0,1.0,1.0")).status,
              ScanStatus::NoPositionOrTime);
    EXPECT_EQ(ScanStatusMessage(ScanStatus::CannotOpen, "a"), "로그 파일을 열 수 없습니다!");
    EXPECT_EQ(ScanStatusMessage(ScanStatus::NotRecognised, "C:\\a.log"),
              "C:\\a.log\r\n는 인지할 수 있는 GPS data가 아닐 수 있습니다.\nNMEA/ UBX/ GSOF/ SBF "
              "만 인식 가능합니다.");
    EXPECT_EQ(ScanStatusMessage(ScanStatus::NoPositionOrTime, "b"),
              "b\r\n에 위치정보 또는 시각 정보가 없습니다.\n필요한 경우, 설정-위치출력에서 SYNC "
              "Protocol을 변경하세요!");
    EXPECT_EQ(ScanStatusMessage(ScanStatus::Ok, "b"), "");
}

TEST(MissingCheck, NmeaGapsNameTheirSentence)
{
    // GGA absent at 12:00:03, RMC at 12:00:06; padding makes the log span several reads.
    std::string log, gap, whole;
    for (int s = 0; s < 30; ++s) {
        log += NmeaSecond(s, s != 3, s != 6) + Sentence("PXYZ," + std::string(900, 'B'));
        if (s < 5 || (s >= 10 && s < 20)) gap += NmeaSecond(s, true, false);
        if (s < 10) whole += NmeaSecond(s);
    }
    ASSERT_GT(log.size(), 2 * CReplayScanner::kReadBlock);
    const ScanSettings check{.checkMissing = true};
    const ScanResult result = ScanBytes(log, check);
    ASSERT_EQ(std::tuple(result.status, result.missingChecked), std::tuple(ScanStatus::Ok, true));
    EXPECT_EQ(result.missingLines, (std::vector<std::string>{"GGA  120003.000 is missing!!",
                                                             "RMC  120006.000 is missing!!"}));
    EXPECT_EQ(ScanBytes(gap, check).missingLines,
              std::vector<std::string>{"GGA  120005.000 is missing!!"});
    EXPECT_TRUE(ScanBytes(whole, check).missingLines.empty());
    EXPECT_FALSE(ScanBytes(gap).missingChecked);
}

TEST(MissingCheck, GenericGapsAndLineTexts)
{
    CEpochIndex index;
    for (const std::int64_t t : {1000, 2000, 3000, 8000, 9000, 9500})
        index.Add(static_cast<std::uint64_t>(t), 1, 1, 1, 1, 0, 1);
    EXPECT_EQ(CMissingCheck::GenericLines(index, 1000),
              (std::vector<std::string>{"000004.000 is missing!!", "000010.000 is missing!!"}));
    for (const auto& [ms, text] : {std::pair{0LL, "000000.000"},
                                   {45296789LL, "123456.789"},
                                   {86400000LL + 61000, "240101.000"}})
        EXPECT_EQ(FormatMissingTime(ms), text);
    EXPECT_EQ(MissingLine("GGA", 86400000LL + 3600500), "GGA  250000.500 is missing!!");
    for (const auto& [line, listed] :
         {std::pair{"RMC  123456.000 is missing!!", true}, {"GNS  123456.000 is missing!!", false}})
        EXPECT_EQ(IsListedMissingLine(line), listed) << line;
    EXPECT_FALSE(IsListedMissingLine(MissingLine("", 0)));
}

TEST(EpochIndex, TimesLocationsAndSecondLookups)
{
    CEpochIndex index;
    EXPECT_TRUE(index.Add(86399000, 37.5, 127.0, 50.0f, 4, 5'000'000'000ull, 300));
    EXPECT_FALSE(index.Add(86399000, 0, 0, 0, 0, 0, 1));                      // same time
    EXPECT_TRUE(index.Add(500, 37.5, 127.0, 50.0f, 4, 5'000'000'300ull, 0));  // next day
    EXPECT_TRUE(index.Add(3000, 37.5, 127.0, 50.0f, 4, 5'000'000'400ull, 20'000'000));
    EXPECT_EQ(std::tuple(index.At(0).offset, index.At(0).length),
              std::tuple(5'000'000'000ull, 300u));  // beyond 4 GB
    EXPECT_EQ(index.TimeAt(1), 86400500);
    EXPECT_EQ(index.At(2).length, CEpochIndex::kMaxLength);
    EXPECT_EQ(index.FindSecond(86400), std::optional<std::size_t>(1));
    EXPECT_EQ(index.FindSecond(86401), std::nullopt);
    EXPECT_EQ(index.FindSecondNear(86401, true), std::optional<std::size_t>(2));
    EXPECT_EQ(index.FindSecondNear(86402, false), std::optional<std::size_t>(1));
    EXPECT_EQ(index.FindSecondNear(0, false), std::optional<std::size_t>(0));  // clamped
    // A jump looks at most kSecondTries seconds on, either way: seconds 100 and 110 only.
    CEpochIndex gap;
    ASSERT_TRUE(gap.Add(100000, 37.5, 127.0, 50.0f, 4, 0, 10));
    ASSERT_TRUE(gap.Add(110000, 37.5, 127.0, 50.0f, 4, 10, 10));
    EXPECT_EQ(gap.FindSecondNear(105, true), std::nullopt);
    EXPECT_EQ(gap.FindSecondNear(106, true), std::optional<std::size_t>(1));
    EXPECT_EQ(gap.FindSecondNear(105, false), std::nullopt);
    EXPECT_EQ(gap.FindSecondNear(104, false), std::optional<std::size_t>(0));
    // Entry 1 has no bytes: the next readable one is played instead.
    EXPECT_EQ(index.FindReadable(1), std::optional<std::size_t>(2));
    EXPECT_EQ(index.FindReadable(3), std::nullopt);
    index.ExtendLast(5'000'000'500ull);
    EXPECT_EQ(index.At(2).length, 100u);
    const auto points = index.ToGeoPoints();
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(std::tuple(points[1].time, points[2].fixQuality), std::tuple(86400500, 4u));
    EXPECT_LE(index.MemoryBytes() / index.Size(), 64u);
}

}  // namespace
