#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "geo/distance.h"
#include "logio/epoch_index.h"
#include "logio/missing_check.h"
#include "logio/replay_scanner.h"
#include "support/test_data.h"
#include "tool/decode_command.h"
#include "tool/receiver_simulator.h"

namespace {

std::span<const std::uint8_t> Bytes(const std::string& text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

ScanResult ScanBytes(std::span<const std::uint8_t> bytes, ScanSettings settings = {})
{
    CMemoryByteSource source(bytes);
    return CReplayScanner(settings).Scan(source);
}

std::string SimulatedLog(double rateHz, double seconds, std::int32_t start,
                         SimulatedProtocol protocol = SimulatedProtocol::Nmea)
{
    SimulatorOptions options;
    options.rateHz = rateHz;
    options.seconds = seconds;
    options.startHhmmss = start;
    CReceiverSimulator simulator(options, protocol);
    std::string log;
    while (simulator.NextEpoch(log)) {
    }
    return log;
}

// The decoder the scan chose, by its name.
std::optional<ProtocolId> DecoderNamed(std::string_view name)
{
    for (const ProtocolId id :
         {ProtocolId::Nmea, ProtocolId::Ubx, ProtocolId::Gsof, ProtocolId::Sbf}) {
        if (ProtocolName(id) == name) return id;
    }
    return std::nullopt;
}

// Epochs decode reports with that one decoder; positioned only on request.
std::size_t DecodedEpochs(const std::filesystem::path& path, std::optional<ProtocolId> protocol,
                          bool positionedOnly)
{
    std::ifstream in(path, std::ios::binary);
    std::size_t count = 0;
    LogDecodeSummary summary;
    DecodeLog(
        in, kDefaultDecodeBlock, IntakeChoice{.forced = protocol},
        [&](const GnssReceiverState& s) {
            if (!positionedOnly || s.Has(ContentFlag::Position)) ++count;
        },
        summary);
    return count;
}

// A GGA/RMC pair with its checksums, at hh:mm:ss.
std::string Sentence(const std::string& body)
{
    unsigned sum = 0;
    for (const char c : body) sum ^= static_cast<unsigned char>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
    return "$" + body + tail;
}

std::string NmeaSecond(int second, bool gga, bool rmc)
{
    char hhmmss[24];
    std::snprintf(hhmmss, sizeof hhmmss, "1200%02d.00", second % 60);
    std::string out;
    if (gga)
        out += Sentence(std::string("GPGGA,") + hhmmss +
                        ",3728.3875,N,12652.8726,E,1,08,0.9,45.0,M,20.0,M,,");
    if (rmc)
        out += Sentence(std::string("GPRMC,") + hhmmss +
                        ",A,3728.3875,N,12652.8726,E,0.0,0.0,071226,,,A");
    return out;
}

}  // namespace

TEST(ReplayScan, EveryRealCaptureScansLikeDecode)
{
    SKIP_WITHOUT_DATA();
    int scanned = 0;
    for (const char* folder : {"nmea", "ubx", "sbf", "mixed", "gsof", "rtcm3", "ntrip"}) {
        for (const auto& path : testdata::FilesIn(folder)) {
            SCOPED_TRACE(path.string());
            const ScanResult result = CReplayScanner(ScanSettings{}).ScanFile(path.string());
            if (result.status != ScanStatus::Ok) {
                EXPECT_TRUE(result.status == ScanStatus::NotRecognised ||
                            result.status == ScanStatus::NoPositionOrTime);
                continue;
            }
            ++scanned;
            EXPECT_EQ(result.bytesRead, std::filesystem::file_size(path));
            const auto protocol = DecoderNamed(result.protocolName);
            const std::size_t frames = result.index.Size();
            if (result.syncSentence.empty()) {
                // Binary: an epoch is a message with both time and position.
                EXPECT_EQ(frames, DecodedEpochs(path, protocol, true));
            } else if (result.syncSentence == "GGA") {
                // Decode also counts epochs timed only by ZDA, and an epoch cut off at either
                // end of the capture that has RMC but not its GGA.
                EXPECT_LE(frames, DecodedEpochs(path, protocol, false));
                EXPECT_GE(frames + 1, DecodedEpochs(path, protocol, true));
            } else {
                // Epochs whose only time is in a sentence other than the sync sentence are
                // not frames.
                EXPECT_LE(frames, DecodedEpochs(path, protocol, false));
            }
        }
    }
    EXPECT_GT(scanned, 20);
}

TEST(ReplayScan, MixedLogLedByRawMeasurementsScansWithTheDecoderThatHasPositions)
{
    SKIP_WITHOUT_DATA();
    struct Case {
        const char* file;
        std::size_t frames;
    };
    // u-blox receivers that send raw measurements (no positions) ahead of their NMEA fixes.
    for (const Case& c : {Case{"gpsd_ublox-zed-f9p_nmea_ubx_rawx_655s.log", 655},
                          Case{"rtklib_ublox_nmea_rxmraw_truncated.ubx", 242}}) {
        const ScanResult result = CReplayScanner(ScanSettings{})
                                      .ScanFile((*testdata::DataDir() / "mixed" / c.file).string());
        ASSERT_EQ(result.status, ScanStatus::Ok) << c.file;
        EXPECT_EQ(result.protocolName, "NMEA") << c.file;
        EXPECT_EQ(result.index.Size(), c.frames) << c.file;
        EXPECT_EQ(result.frameIntervalMs, 1000) << c.file;
    }
}

TEST(ReplayScan, FrameIntervalAndRateText)
{
    struct Case {
        double rateHz;
        std::int64_t intervalMs;
        const char* rate;
    };
    for (const Case c : {Case{1.0, 1000, "NMEA-GGA@1Hz  /59 Frames "},
                         Case{5.0, 200, "NMEA-GGA@5Hz  /299 Frames "}}) {
        const std::string log = SimulatedLog(c.rateHz, 60, 120000);
        const ScanResult result = ScanBytes(Bytes(log));
        ASSERT_EQ(result.status, ScanStatus::Ok);
        EXPECT_EQ(result.index.Size(), static_cast<std::size_t>(60 * c.rateHz));
        EXPECT_EQ(result.frameIntervalMs, c.intervalMs);
        EXPECT_EQ(result.RateText(), c.rate);
    }
    SKIP_WITHOUT_DATA();
    const ScanResult tenHz =
        CReplayScanner(ScanSettings{})
            .ScanFile((*testdata::DataDir() / "nmea/gpsd_trimble_rtkfix_10hz.log").string());
    ASSERT_EQ(tenHz.status, ScanStatus::Ok);
    EXPECT_EQ(tenHz.frameIntervalMs, 100);
    EXPECT_EQ(tenHz.RateText(), "NMEA-GGA@10Hz  /121 Frames ");
}

TEST(ReplayScan, RateTextOfAnEmptyIndexCountsNoFrames)
{
    EXPECT_EQ(FrameRateText("UBX", "", 0, 0), "UBX@0Sec  /0 Frames ");
    EXPECT_EQ(FrameRateText("UBX", "", 300, 4), "UBX@3Hz  /3 Frames ");  // 3.33 Hz shown whole
    EXPECT_EQ(MissingLine("GGA", 86400000LL + 3600500), "GGA  250000.500 is missing!!");
    EXPECT_FALSE(IsListedMissingLine(MissingLine("GNS", 0)));
    EXPECT_FALSE(IsListedMissingLine(MissingLine("", 0)));
}

TEST(ReplayScan, RateTextFormsForEveryInterval)
{
    struct Case {
        const char* protocol;
        const char* sync;
        std::int64_t interval;
        std::int64_t count;
        const char* text;
    };
    for (const Case c : {Case{"NMEA", "GGA", 100, 600, "NMEA-GGA@10Hz  /599 Frames "},
                         Case{"NMEA", "RMC", 2000, 10, "NMEA-RMC@2Sec  /9 Frames "},
                         Case{"UBX", "", 250, 59, "UBX@4Hz  /58 Frames "},
                         Case{"SBF", "", 10000, 1, "SBF@10Sec  /0 Frames "},
                         Case{"GSOF", "", 1000, 2, "GSOF@1Hz  /1 Frames "}}) {
        EXPECT_EQ(FrameRateText(c.protocol, c.sync, c.interval, c.count), c.text);
    }
}

TEST(ReplayScan, MidnightKeepsTimesIncreasing)
{
    for (const auto protocol : {SimulatedProtocol::Nmea, SimulatedProtocol::Ubx}) {
        const std::string log = SimulatedLog(1.0, 40, 235930, protocol);
        const ScanResult result = ScanBytes(Bytes(log));
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

TEST(ReplayScan, StatisticsMatchAnIndependentComputation)
{
    const std::string log = SimulatedLog(1.0, 120, 100000);
    const auto path = testdata::UniqueTempPath("scan_stats.log");
    std::ofstream(path, std::ios::binary) << log;
    std::vector<GnssReceiverState> epochs;
    std::ifstream in(path, std::ios::binary);
    LogDecodeSummary summary;
    DecodeLog(
        in, kDefaultDecodeBlock, {}, [&](const GnssReceiverState& s) { epochs.push_back(s); },
        summary);
    ASSERT_EQ(epochs.size(), 120u);

    double latSum = 0, lonSum = 0, altSum = 0;
    for (const auto& e : epochs) {
        latSum += e.latitudeDeg;
        lonSum += e.longitudeDeg;
        altSum += e.ellipsoidHeight;
    }
    const double n = static_cast<double>(epochs.size());
    const double meanLat = latSum / n, meanLon = lonSum / n, meanAlt = altSum / n;
    const double refLat = 37.47, refLon = 126.88;
    double vertical = 0;
    for (const auto& e : epochs) vertical += std::pow(e.ellipsoidHeight - meanAlt, 2);
    const double verticalRms = std::sqrt(vertical / n);

    for (const int base : {0, 1, 2, 3}) {
        SCOPED_TRACE(base);
        double horizontal = 0;
        int count = 0;
        for (std::size_t i = 0; i < epochs.size(); ++i) {
            const auto& e = epochs[i];
            double lat = base == 0 ? meanLat : refLat, lon = base == 0 ? meanLon : refLon;
            if (base == 2) {
                if (i == 0) continue;
                lat = epochs[i - 1].latitudeDeg;
                lon = epochs[i - 1].longitudeDeg;
            }
            horizontal += std::pow(Distance(e.latitudeDeg, e.longitudeDeg, lat, lon), 2);
            ++count;
        }
        const double horizontalRms = std::sqrt(horizontal / count);
        ScanSettings settings;
        settings.errorBase = base;
        settings.hasReferenceStation = true;
        settings.referenceLatitude = refLat;
        settings.referenceLongitude = refLon;
        const ScanResult result = CReplayScanner(settings).ScanFile(path.string());
        ASSERT_EQ(result.status, ScanStatus::Ok);
        EXPECT_NEAR(result.statistics.horizontalRms, horizontalRms, 1e-6 * horizontalRms + 1e-9);
        EXPECT_NEAR(result.statistics.horizontalCep, 0.833 * horizontalRms,
                    1e-6 * horizontalRms + 1e-9);
        // The average altitude is kept in single precision.
        EXPECT_NEAR(result.statistics.verticalRms, verticalRms, 1e-3);
        EXPECT_NEAR(result.statistics.verticalCep, 0.833 * verticalRms, 1e-3);
    }
    ScanSettings noStation;
    noStation.errorBase = 1;
    EXPECT_EQ(CReplayScanner(noStation).ScanFile(path.string()).status,
              ScanStatus::NoReferenceStation);
}

namespace {

// A UBX frame with its Fletcher checksum.
std::string UbxFrame(std::uint8_t cls, std::uint8_t id, const std::string& payload)
{
    std::string frame = "\xB5\x62";
    frame += static_cast<char>(cls);
    frame += static_cast<char>(id);
    frame += static_cast<char>(payload.size() & 0xFF);
    frame += static_cast<char>(payload.size() >> 8);
    frame += payload;
    std::uint8_t a = 0, b = 0;
    for (std::size_t i = 2; i < frame.size(); ++i) {
        a = static_cast<std::uint8_t>(a + static_cast<std::uint8_t>(frame[i]));
        b = static_cast<std::uint8_t>(b + a);
    }
    frame += static_cast<char>(a);
    frame += static_cast<char>(b);
    return frame;
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

// Epoch logs whose epoch k carries padding of the given size after its position message.
std::string PaddedNmeaLog(int epochs, int padded, std::size_t padding)
{
    std::string log;
    for (int s = 0; s < epochs; ++s) {
        log += NmeaSecond(s, true, true);
        while (s == padded && padding > 0) {
            const std::string line = Sentence("PXYZ," + std::string(60, 'A'));
            log += line;
            padding -= std::min(padding, line.size());
        }
    }
    return log;
}

}  // namespace

TEST(ReplayScan, LargeEpochAcrossAReadBoundaryIsIndexed)
{
    // NMEA: epoch 2 runs over 12000 bytes, across the first 10240-byte read.
    const std::string nmea = PaddedNmeaLog(10, 2, 12000);
    const ScanResult n = ScanBytes(Bytes(nmea));
    ASSERT_EQ(n.status, ScanStatus::Ok);
    EXPECT_EQ(n.index.Size(), 10u);
    const auto big = EntryAt(n.index, CReplayScanner::kReadBlock);
    ASSERT_TRUE(big.has_value());
    EXPECT_EQ(big->timeMs, (12 * 3600 + 2) * 1000);
    EXPECT_GT(big->length, 12000u);

    // UBX: a raw-measurement frame of 6416 bytes straddles the read boundary.
    const std::string raw = UbxFrame(0x02, 0x15, std::string(16 + 32 * 200, '\0'));
    std::string ubx;
    const std::string log = SimulatedLog(1.0, 10, 120000, SimulatedProtocol::Ubx);
    const ScanResult plain = ScanBytes(Bytes(log));
    ASSERT_EQ(plain.status, ScanStatus::Ok);
    for (std::size_t e = 0; e < plain.index.Size(); ++e) {
        const EpochEntry entry = plain.index.At(e);
        ubx += log.substr(entry.offset, entry.length);
        if (ubx.size() > 6000 && ubx.size() < CReplayScanner::kReadBlock) ubx += raw;
    }
    const ScanResult u = ScanBytes(Bytes(ubx));
    ASSERT_EQ(u.status, ScanStatus::Ok);
    EXPECT_EQ(u.index.Size(), plain.index.Size());
    const auto straddling = EntryAt(u.index, CReplayScanner::kReadBlock);
    ASSERT_TRUE(straddling.has_value());
    EXPECT_GT(straddling->length, raw.size());
}

TEST(ReplayScan, DamagedLogsPlayWhatIsDecodable)
{
    const std::string log = SimulatedLog(1.0, 30, 120000);
    // Cut inside a message at many places: never more frames than whole epochs.
    for (std::size_t cut = 1; cut < log.size(); cut += 997) {
        const ScanResult result = ScanBytes(Bytes(log.substr(0, cut)));
        if (result.status == ScanStatus::Ok) {
            EXPECT_LE(result.index.Size(), 30u);
        }
    }
    // Garbage between the epochs' messages costs nothing.
    std::string noisy;
    std::uint32_t seed = 7;
    for (std::size_t i = 0; i < log.size(); ++i) {
        noisy += log[i];
        if (log[i] == '\n' && i % 3 == 0) {
            for (int k = 0; k < 40; ++k) {
                seed = seed * 1103515245u + 12345u;
                noisy += static_cast<char>(seed >> 24);
            }
        }
    }
    EXPECT_EQ(ScanBytes(Bytes(noisy)).index.Size(), 30u);
    const std::string ubx = SimulatedLog(1.0, 30, 120000, SimulatedProtocol::Ubx);
    const std::string noisyUbx =
        ubx.substr(0, ubx.size() / 2) + std::string(3000, '\xB5') + ubx.substr(ubx.size() / 2);
    EXPECT_GE(ScanBytes(Bytes(noisyUbx)).index.Size(), 29u);
    for (std::size_t cut = 1; cut < ubx.size(); cut += 811)
        EXPECT_LE(ScanBytes(Bytes(ubx.substr(0, cut))).index.Size(), 30u);
}

TEST(ReplayScan, LogGrowingWhileScannedIsReadToItsEnd)
{
    const std::string log = SimulatedLog(1.0, 60, 120000);
    const auto path = testdata::UniqueTempPath("scan_growing.log");
    std::ofstream(path, std::ios::binary) << log.substr(0, log.size() / 3);
    CFileByteSource source(path.string());
    ASSERT_TRUE(source.IsOpen());
    std::ofstream(path, std::ios::binary | std::ios::app) << log.substr(log.size() / 3);
    int last = -1;
    const ScanResult result = CReplayScanner(ScanSettings{}, [&](int pass, int permille) {
                                  if (pass == 0) last = permille;
                                  EXPECT_LE(permille, 1000);
                              }).Scan(source);
    ASSERT_EQ(result.status, ScanStatus::Ok);
    EXPECT_EQ(result.bytesRead, log.size());
    EXPECT_EQ(result.index.Size(), 60u);
    EXPECT_EQ(last, 1000);
}

TEST(ReplayScan, ProgressIsRationedAndCancelStopsEarly)
{
    const std::string log = SimulatedLog(10.0, 600, 120000);
    std::array<int, 2> calls{};
    std::array<int, 2> last{-1, -1};
    const ScanResult result = CReplayScanner(ScanSettings{}, [&](int pass, int permille) {
                                  ++calls[pass];
                                  EXPECT_GT(permille, last[pass]);
                                  last[pass] = permille;
                              }).Scan(*std::make_unique<CMemoryByteSource>(Bytes(log)));
    ASSERT_EQ(result.status, ScanStatus::Ok);
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_LE(calls[pass], 102);
        EXPECT_GE(calls[pass], 50);
        EXPECT_EQ(last[pass], 1000);
    }

    std::atomic<bool> cancel{false};
    CMemoryByteSource source(Bytes(log));
    const ScanResult cancelled = CReplayScanner(ScanSettings{}, cancel, [&](int, int permille) {
                                     if (permille >= 100) cancel = true;
                                 }).Scan(source);
    EXPECT_EQ(cancelled.status, ScanStatus::Cancelled);
    EXPECT_LT(cancelled.bytesRead, log.size() / 5);
}

TEST(ReplayScan, FailuresAndTheirTexts)
{
    EXPECT_EQ(CReplayScanner(ScanSettings{}).ScanFile("/nonexistent/x.log").status,
              ScanStatus::CannotOpen);
    const std::string text(20000, 'x');
    EXPECT_EQ(ScanBytes(Bytes(text)).status, ScanStatus::NotRecognised);
    const std::string noTime = Sentence("GPGSA,A,3,01,02,03,,,,,,,,,,1.0,1.0,1.0") + "\r\n";
    EXPECT_EQ(ScanBytes(Bytes(noTime)).status, ScanStatus::NoPositionOrTime);
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
    std::string log;
    for (int s = 0; s < 30; ++s) {
        log += NmeaSecond(s, s != 3, s != 6);
        log += Sentence("PXYZ," + std::string(900, 'B'));
    }
    ScanSettings settings;
    settings.checkMissing = true;
    const ScanResult result = ScanBytes(Bytes(log), settings);
    ASSERT_EQ(result.status, ScanStatus::Ok);
    ASSERT_GT(log.size(), 2 * CReplayScanner::kReadBlock);
    EXPECT_TRUE(result.missingChecked);
    EXPECT_EQ(result.missingLines, (std::vector<std::string>{"GGA  120003.000 is missing!!",
                                                             "RMC  120006.000 is missing!!"}));

    std::string gap;
    for (int s = 0; s < 20; ++s)
        if (s < 5 || s >= 10) gap += NmeaSecond(s, true, false);
    const ScanResult gapResult = ScanBytes(Bytes(gap), settings);
    EXPECT_EQ(gapResult.missingLines, std::vector<std::string>{"GGA  120005.000 is missing!!"});

    EXPECT_TRUE(ScanBytes(Bytes(PaddedNmeaLog(10, 0, 0)), settings).missingLines.empty());
    EXPECT_FALSE(ScanBytes(Bytes(gap)).missingChecked);
}

TEST(MissingCheck, GenericGapsAndLineTexts)
{
    CEpochIndex index;
    for (const std::int64_t t : {1000, 2000, 3000, 8000, 9000, 9500})
        index.Add(static_cast<std::uint64_t>(t), 1, 1, 1, 1, 0, 1);
    EXPECT_EQ(CMissingCheck::GenericLines(index, 1000),
              (std::vector<std::string>{"000004.000 is missing!!", "000010.000 is missing!!"}));

    struct Case {
        std::int64_t ms;
        const char* text;
    };
    for (const Case c : {Case{0, "000000.000"}, Case{45296789, "123456.789"},
                         Case{86400000 + 61000, "240101.000"}})
        EXPECT_EQ(FormatMissingTime(c.ms), c.text);
    EXPECT_EQ(MissingLine("GGA", 45296000), "GGA  123456.000 is missing!!");
    EXPECT_TRUE(IsListedMissingLine("RMC  123456.000 is missing!!"));
    EXPECT_TRUE(IsListedMissingLine("GGA  123456.000 is missing!!"));
    EXPECT_FALSE(IsListedMissingLine("GNS  123456.000 is missing!!"));
    EXPECT_FALSE(IsListedMissingLine("123456.000 is missing!!"));
}

TEST(EpochIndex, TimesLocationsAndSecondLookups)
{
    CEpochIndex index;
    EXPECT_TRUE(index.Add(86399000, 37.5, 127.0, 50.0f, 4, 5'000'000'000ull, 300));
    EXPECT_FALSE(index.Add(86399000, 0, 0, 0, 0, 0, 1));                      // same time
    EXPECT_TRUE(index.Add(500, 37.5, 127.0, 50.0f, 4, 5'000'000'300ull, 0));  // next day
    EXPECT_TRUE(index.Add(3000, 37.5, 127.0, 50.0f, 4, 5'000'000'400ull, 20'000'000));
    const EpochEntry first = index.At(0);
    EXPECT_EQ(first.offset, 5'000'000'000ull);  // beyond 4 GB
    EXPECT_EQ(first.length, 300u);
    EXPECT_EQ(index.TimeAt(1), 86400500);
    EXPECT_EQ(index.At(2).length, CEpochIndex::kMaxLength);

    EXPECT_EQ(index.FindSecond(86400), std::optional<std::size_t>(1));
    EXPECT_EQ(index.FindSecond(86401), std::nullopt);
    EXPECT_EQ(index.FindSecondNear(86401, true), std::optional<std::size_t>(2));
    EXPECT_EQ(index.FindSecondNear(86402, false), std::optional<std::size_t>(1));
    EXPECT_EQ(index.FindSecondNear(0, false), std::optional<std::size_t>(0));  // clamped
    // Entry 1 has no bytes: the next readable one is played instead.
    EXPECT_EQ(index.FindReadable(1), std::optional<std::size_t>(2));
    EXPECT_EQ(index.FindReadable(3), std::nullopt);

    index.ExtendLast(5'000'000'500ull);
    EXPECT_EQ(index.At(2).length, 100u);
    const auto points = index.ToGeoPoints();
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[1].time, 86400500);
    EXPECT_EQ(points[2].fixQuality, 4u);
    EXPECT_LE(index.MemoryBytes() / index.Size(), 64u);
}
