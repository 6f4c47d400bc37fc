#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/test_data.h"
#include "support/tool_run.h"
#include "tool/convert_command.h"
#include "tool/decode_command.h"
#include "tool/export_command.h"
#include "tool/geoid_command.h"
#include "tool/rtcm_command.h"
#include "tool/scan_command.h"
#include "tool/serve_command.h"
#include "tool/simulate_command.h"
#include "tool/stats_command.h"

namespace {

ToolRun Decode(std::vector<std::string_view> args) { return Tool<RunDecode>(std::move(args)); }

std::string CapturePath(const char* name) { return (*testdata::DataDir() / name).string(); }

// Epoch counts from the capture inventory (distinct solution times of the position protocol),
// and the sentences that fail their checksum (each counted once, however the bytes arrive).
TEST(DecodeCommand, RealCapturesGiveTheirEpochsInAnyBlockSize)
{
    SKIP_WITHOUT_DATA();
    const struct {
        const char* file;
        std::uint64_t epochs;
        std::uint64_t errors;
    } cases[] = {
        {"nmea/gpsd_ublox-zed-f9p_nmea41_4gnss.log", 29, 0},
        {"nmea/gpsd_trimble_rtkfix_10hz.log", 122, 0},
        {"nmea/gpsd_ublox-neo-5q_gga_badck.log", 23, 23},
        {"nmea/gpsd_st-teseo-liv4f_gst_badck.log", 12, 1},
        // Opens with GNTXT banners, then UBX only.
        {"ubx/gpsd_ublox-neo-m8l_esf-status_hnr.log", 19, 0},
        {"ubx/gpsd_ublox-neo-m8p_4hz_relposned.log", 59, 0},
        {"ubx/gpsd_ublox-spg510_navpvt_navsat_navsig_300s.log", 299, 0},
        // NMEA banners ahead of UBX positions; NMEA positions beside UBX raw data.
        {"mixed/pyubx2_ublox-m8_nmea_ubx_39s.log", 39, 0},
        {"mixed/rtklib_ublox_nmea_rxmraw_truncated.ubx", 242, 0},
        {"sbf/sbfmixer_mosaic_pvtgeod_dop_chstatus_meas_atteuler.sbf", 12, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = CapturePath(c.file);
        const ToolRun reference = Decode({path});
        ASSERT_EQ(reference.code, 0) << reference.err;
        const auto lines = Lines(reference.out);
        EXPECT_EQ(lines.back(), "# epochs " + std::to_string(c.epochs) + ", bytes " +
                                    std::to_string(std::filesystem::file_size(path)) +
                                    ", checksum errors " + std::to_string(c.errors));
        for (const char* block : {"1", "7", "300", "65536"})
            EXPECT_EQ(Decode({path, "--block", block}).out, reference.out) << "block " << block;
    }
}

// An F9P base in fixed mode sends GGA (UTC, DGPS) beside NAV-PVT (GPS time, fixType 5).
TEST(DecodeCommand, SyncNonNmeaTakesTheEpochsFromUbx)
{
    SKIP_WITHOUT_DATA();
    const std::string path =
        CapturePath("mixed/pygnssutils_ublox-f9p-base_nmea_ubx_rtcm3_157s.log");
    const auto nmea = DecodedRows({path, "--sync", "auto"});
    const auto ubx = DecodedRows({path, "--sync", "non-nmea"});
    ASSERT_EQ(ubx.size(), nmea.size());
    std::map<std::int64_t, const std::vector<std::string>*> byUtc;
    for (const auto& row : nmea) byUtc[DayMs(row[0])] = &row;
    std::size_t paired = 0;
    for (const auto& row : ubx) {
        EXPECT_EQ(row[6], "5") << "time-only fix of NAV-PVT, not the 3 of GSA";
        // GPS time runs 18 leap seconds ahead of UTC (2022).
        const auto utc = byUtc.find(DayMs(row[0]) - 18000);
        if (utc == byUtc.end()) continue;
        ++paired;
        EXPECT_NEAR(std::stod(row[1]), std::stod((*utc->second)[1]), 1e-6);
        EXPECT_NEAR(std::stod(row[2]), std::stod((*utc->second)[2]), 1e-6);
    }
    // Only the first and last seconds of the capture lack their partner.
    EXPECT_GE(paired + 1, ubx.size());
}

TEST(DecodeCommand, ForcedProtocolTakesEveryByte)
{
    SKIP_WITHOUT_DATA();
    const std::string m8 = CapturePath("mixed/pyubx2_ublox-m8_nmea_ubx_39s.log");
    const std::string raw = CapturePath("mixed/rtklib_ublox_nmea_rxmraw_truncated.ubx");
    // The M8's NMEA is banners only; RXM-RAW carries no position.
    const std::pair<std::vector<std::string_view>, std::string> cases[] = {
        {{m8, "--protocol", "ubx"}, "# epochs 39,"},
        {{m8, "--protocol", "nmea"}, "# epochs 0,"},
        {{raw, "--protocol", "ubx"}, "# epochs 0,"},
        {{raw, "--protocol", "nmea"}, "# epochs 242,"},
    };
    for (const auto& [args, summary] : cases) {
        const ToolRun run = Decode(args);
        ASSERT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(Lines(run.out).back().rfind(summary, 0), 0u) << args[0] << " " << args[2];
    }
}

// Counts from the capture inventory; the station is the caster's (1006) near Manchester.
TEST(RtcmCommand, MessageTableAndStationOfARealStream)
{
    SKIP_WITHOUT_DATA();
    const std::string path = CapturePath("rtcm3/pygnssutils_ntrip_msm7_eph_33s.rtcm3");
    const ToolRun run = Tool<RunRtcm>({path});
    ASSERT_EQ(run.code, 0) << run.err;
    const auto lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 1u + 13 + 2);
    EXPECT_EQ(lines[0], "type,count,bytes");
    EXPECT_EQ(lines[1].rfind("1006,7,", 0), 0u);
    EXPECT_EQ(lines[12].rfind("1230,7,", 0), 0u);
    EXPECT_EQ(lines[14].rfind("# station 25: ecef 3811965.6701 -175800.0708 5093615.5606, "
                              "latitude 53.3448",
                              0),
              0u)
        << lines[14];
    EXPECT_EQ(lines[15], "# frames 292, crc failures 0, bytes 63380, unframed tail 0");
}

// Ten seconds at 1 Hz from 12:00:00 without the GGA of 12:00:03: seven summary lines, the gap,
// then one index line per frame, each starting where the one before ended.
TEST(ScanCommand, SummaryMissingLinesAndIndex)
{
    SimulatorOptions options;
    options.seconds = 10;
    options.startHhmmss = 120000;
    std::string log = Simulated(options);
    const std::size_t gga = log.find("$GNGGA,120003");
    ASSERT_NE(gga, std::string::npos);
    log.erase(gga, log.find('\n', gga) + 1 - gga);
    const std::string path = WriteTemp("scan_gap.log", log);

    const ToolRun run = Tool<RunScan>({path, "--index", "--check-missing", "--error-base", "2"});
    ASSERT_EQ(run.code, 0) << run.err;
    const auto lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 7u + 1 + 9);
    EXPECT_EQ(lines[0], "frames: 9");
    EXPECT_EQ(lines[1], "interval_ms: 1000");
    EXPECT_EQ(lines[2], "rate: NMEA-GGA@1Hz  /8 Frames ");
    const char* names[] = {
        "horizontal_rms: ", "vertical_rms: ", "horizontal_cep: ", "vertical_cep: "};
    double values[4] = {};
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(lines[3 + i].rfind(names[i], 0), 0u) << lines[3 + i];
        values[i] = std::stod(lines[3 + i].substr(std::string(names[i]).size()));
    }
    // CEP is 0.833 of RMS (both printed to 0.1 mm).
    EXPECT_GT(values[0], 0.0);
    EXPECT_NEAR(values[2], 0.833 * values[0], 1e-4);
    EXPECT_NEAR(values[3], 0.833 * values[1], 1e-4);
    EXPECT_EQ(lines[7], "GGA  120003.000 is missing!!");
    std::uint64_t end = 0;
    for (std::size_t i = 8; i < lines.size(); ++i) {
        const auto fields = Fields(lines[i]);
        ASSERT_EQ(fields.size(), 7u) << lines[i];
        EXPECT_EQ(std::stoull(fields[5]), end) << lines[i];
        end = std::stoull(fields[5]) + std::stoull(fields[6]);
    }
    EXPECT_EQ(end, log.size());
    EXPECT_EQ(lines[8].rfind("120000.000,", 0), 0u);
    EXPECT_EQ(lines[16].rfind("120009.000,", 0), 0u);
    EXPECT_EQ(Tool<RunScan>({path, "--error-base", "1", "--ref", "37.5,127.0"}).code, 0);
}

// An F9P base: RMC (157 in the capture) paces the frames under AUTO, NAV-PVT (158) under
// NON NMEA, which cannot scan a plain NMEA log.
TEST(ScanCommand, SyncPicksTheProtocolThatPacesTheFrames)
{
    SKIP_WITHOUT_DATA();
    const std::string mixed =
        CapturePath("mixed/pygnssutils_ublox-f9p-base_nmea_ubx_rtcm3_157s.log");
    const struct {
        std::vector<std::string_view> args;
        const char* firstLine;
        const char* rate;
    } cases[] = {
        {{mixed}, "frames: 157", "rate: NMEA-RMC@1Hz  /156 Frames "},
        {{mixed, "--sync", "non-nmea"}, "frames: 158", "rate: UBX@1Hz  /157 Frames "},
    };
    for (const auto& c : cases) {
        const ToolRun run = Tool<RunScan>(c.args);
        ASSERT_EQ(run.code, 0) << run.err;
        const auto lines = Lines(run.out);
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ(lines[0], c.firstLine);
        EXPECT_EQ(lines[2], c.rate);
    }
    const std::string nmea = CapturePath("nmea/gpsd_ublox-zed-f9p_nmea41_4gnss.log");
    const ToolRun plain = Tool<RunScan>({nmea, "--sync", "non-nmea"});
    EXPECT_EQ(plain.code, 1);
    EXPECT_NE(plain.err.find("NMEA/ UBX/ GSOF/ SBF"), std::string::npos) << plain.err;
}

double Value(const std::string& out, const std::string& key)
{
    const auto at = out.find("\n" + key + " ");
    return at == std::string::npos ? NAN : std::stod(out.substr(at + key.size() + 2));
}

// Great-circle metres on the 6372797.6 m sphere, written out again here.
double Haversine(double lat1, double lon1, double lat2, double lon2)
{
    const double k = M_PI / 180, dLat = (lat2 - lat1) * k, dLon = (lon2 - lon1) * k;
    const double a = std::pow(std::sin(dLat / 2), 2) +
                     std::cos(lat1 * k) * std::cos(lat2 * k) * std::pow(std::sin(dLon / 2), 2);
    return 2 * std::atan2(std::sqrt(a), std::sqrt(1 - a)) * 6372797.6;
}

TEST(ConvertCommand, KnownPointsAndRoundTrip)
{
    using Args = std::vector<std::string_view>;
    const std::pair<Args, std::vector<std::string_view>> good[] = {
        {{"--from", "10", "--to", "1", "127", "38"}, {"easting 200000.000", "northing 500000.000"}},
        {{"--from", "10", "--to", "13", "126.881210", "37.473125"},
         {"easting 945285.230", "northing 1941724.502"}},
        {{"--to", "13", "--from", "10", "126도 52분 52.356초", "37도 28분 23.25초"},
         {"easting 945285.230", "northing 1941724.502"}},
        {{"--from", "13", "--to", "10", "945285.2304", "1941724.5024"},
         {"longitude 126.881210000 (126도 52분 52.3560초)", "latitude 37.473125000"}},
    };
    for (const auto& [args, expected] : good) {
        const ToolRun run = Tool<RunConvert>(args);
        ASSERT_EQ(run.code, 0) << run.err;
        for (const auto text : expected)
            EXPECT_NE(run.out.find(text), std::string::npos) << run.out;
    }
}

// Only epochs with a position enter the horizontal terms; base 2 measures from the previous one.
TEST(StatsCommand, RealCaptureMatchesAnIndependentSumOfSquares)
{
    SKIP_WITHOUT_DATA();
    const auto path = CapturePath("nmea/gpsd_ublox-zed-f9p_nmea41_4gnss.log");
    std::vector<std::pair<double, double>> epochs;
    std::ifstream in(path, std::ios::binary);
    LogDecodeSummary summary;
    ASSERT_TRUE(DecodeLog(
        in, 4096, {},
        [&](const GnssReceiverState& s) {
            if (s.latitudeDeg != 0 && s.longitudeDeg != 0)
                epochs.emplace_back(s.latitudeDeg, s.longitudeDeg);
        },
        summary));
    ASSERT_GT(epochs.size(), 10u);
    std::pair<double, double> mean{};
    for (const auto& [lat, lon] : epochs)
        mean.first += lat / epochs.size(), mean.second += lon / epochs.size();
    for (const bool previous : {false, true}) {
        double sum = 0;
        for (std::size_t i = previous; i < epochs.size(); ++i) {
            const auto& ref = previous ? epochs[i - 1] : mean;
            sum += std::pow(Haversine(epochs[i].first, epochs[i].second, ref.first, ref.second), 2);
        }
        const double rms = std::sqrt(sum / static_cast<double>(epochs.size() - previous));
        const ToolRun run = Tool<RunStats>({path, "--error-base", previous ? "2" : "0"});
        ASSERT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(Value(run.out, "horizontal epochs"), static_cast<double>(epochs.size()));
        EXPECT_NEAR(Value(run.out, "average latitude"), mean.first, 1e-9);
        EXPECT_NEAR(Value(run.out, "horizontal rms"), rms, 1e-3) << run.out;
        EXPECT_NEAR(Value(run.out, "horizontal cep"), 0.833 * rms, 1e-3) << run.out;
    }
    // NON NMEA sync leaves a plain NMEA log without epochs.
    EXPECT_EQ(Value(Tool<RunStats>({path, "--sync", "non-nmea"}).out, "epochs"), 0.0);
}

TEST(GeoidCommand, PrintsMetresWithThreeDecimals)
{
    // Seoul against PROJ (cct vgridshift on egm96_15.gtx: 22.8975 m); 0 outside the grid.
    EXPECT_NEAR(std::stod(Tool<RunGeoid>({"37.5665", "126.9780"}).out), 22.8975, 0.01);
    EXPECT_EQ(Tool<RunGeoid>({"+10", "127"}).out, "0.000\n");
}

using Command = int (*)(std::span<const std::string_view>, std::ostream&, std::ostream&);

int Serve(std::span<const std::string_view> args, std::ostream&, std::ostream& err)
{
    return RunServe(args, err);
}

// Every command: exit 2 for what was asked wrongly, 1 for what failed; one message line that
// names the command, nothing on standard output, and a file is never touched by a refusal.
TEST(ToolArguments, ErrorsGiveTheirCodeAndOneMessage)
{
    const std::string log = WriteTemp("args.nmea", "$GPGGA\r\n"),
                      empty = WriteTemp("args.empty", "");
    const std::string notLink = WriteTemp("args.notalink", "keep"),
                      same = WriteTemp("same.csv", "x");
    SimulatorOptions options;
    options.seconds = 10;
    const std::string sim = WriteTemp("args_sim.nmea", Simulated(options));
    const struct {
        const char* name;
        Command run;
        std::vector<std::string_view> args;
        int code;
        std::string_view message;
    } cases[] = {
        // clang-format off
        {"decode", RunDecode, {}, 2, "no log file"},
        {"decode", RunDecode, {"a", "--block", "12x"}, 2, "--block"},
        {"decode", RunDecode, {"a", "--protocol", "rtcm"}, 2, "--protocol must be auto, nmea, ubx, sbf or gsof"},
        {"decode", RunDecode, {"a", "--sync", "NON-NMEA"}, 2, "--sync must be auto or non-nmea"},
        {"decode", RunDecode, {"/nonexistent/skarnet2.log", "--sync", "non-nmea"}, 1, "cannot open"},
        {"convert", RunConvert, {"--from", "10", "127", "38"}, 2, "--to"},
        {"convert", RunConvert, {"--from", "10", "--to", "23", "1", "2"}, 2, "--to"},
        {"convert", RunConvert, {"--from", "10", "--to", "1", "127"}, 2, "two coordinate values are needed"},
        {"convert", RunConvert, {"--from", "10", "--to", "1", "127", "91"}, 2, "latitude within ±90"},
        {"convert", RunConvert, {"--from", "1", "--to", "10", "1도 2분 3초", "5"}, 2, "is not a grid value in metres"},
        {"convert", RunConvert, {"--from", "1", "--to", "10", "200000", "1e9"}, 1, "Latitude failed to converge"},
        {"stats", RunStats, {}, 2, "no log file given"},
        {"stats", RunStats, {"a.log", "--error-base", "1"}, 2, "--ref"},
        {"stats", RunStats, {"/nonexistent/skarnet2.log"}, 1, "/nonexistent/skarnet2.log"},
        {"geoid", RunGeoid, {"37.5665"}, 2, "expected LAT LON"},
        {"geoid", RunGeoid, {"91", "127"}, 2, "latitude must lie within ±90"},
        {"scan", RunScan, {sim, "--error-base", "4"}, 2, "--error-base"},
        {"scan", RunScan, {sim, "--ref", "91,0"}, 2, "--ref"},
        {"scan", RunScan, {sim, "--sync", "nmea"}, 2, "--sync"},
        {"scan", RunScan, {"/nonexistent/file.log"}, 1, "로그 파일을 열 수 없습니다!"},
        {"scan", RunScan, {sim, "--error-base", "1"}, 1, "기준점 좌표가 설정되지 않았습니다"},
        {"rtcm", RunRtcm, {}, 2, "no log file given"},
        {"rtcm", RunRtcm, {"/nonexistent/rtcm.txt"}, 1, "cannot open"},
        {"export", RunExport, {"a.log"}, 2, "--format must be csv, gpx or kml"},
        {"export", RunExport, {"a.log", "--format", "csv", "--grid", "23"}, 2, "--grid needs a table row from 0 to 22"},
        {"export", RunExport, {"a.log", "b.log", "--format", "csv"}, 2, "only one log file can be exported at a time"},
        {"export", RunExport, {same, "--format", "csv", "--out", same}, 2, "the output would replace the log"},
        {"export", RunExport, {"/nonexistent/a.log", "--format", "gpx"}, 1, "cannot open"},
        {"simulate", RunSimulate, {"--rate", "0"}, 2, "--rate"},
        {"simulate", RunSimulate, {"--rate", "100.5"}, 2, "--rate"},
        {"simulate", RunSimulate, {"--start", "240000"}, 2, "--start"},
        {"simulate", RunSimulate, {"--start", "120060"}, 2, "--start"},
        {"simulate", RunSimulate, {"--lat", "91", "--lon", "0"}, 2, "--lat"},
        {"simulate", RunSimulate, {"--seed", "4294967296"}, 2, "--seed"},
        {"serve", Serve, {}, 2, "no log file given"},
        {"serve", Serve, {log}, 2, "give one of --tcp PORT, --pty LINK and --relay PORT"},
        {"serve", Serve, {log, "--tcp", "0", "--relay", "0"}, 2, "give one of"},
        {"serve", Serve, {log, "--relay", "x"}, 2, "--relay needs a port from 0 to 65535, not 'x'"},
        {"serve", Serve, {log, "--relay", "0", "--device-channel", "70000"}, 2, "--device-channel needs a port"},
        {"serve", Serve, {log, "--relay", "0", "--devices", "A;;B"}, 2, "--devices needs device IDs"},
        {"serve", Serve, {log, "--relay", "0", "--corrections", "/nonexistent/c"}, 1, "cannot create"},
        {"serve", Serve, {log, "--tcp", "65536"}, 2, "--tcp needs a port from 0 to 65535, not '65536'"},
        {"serve", Serve, {empty, "--tcp", "0", "--rate", "100001"}, 2, "--rate must be"},  // no serving if let in
        {"serve", Serve, {log, "--tcp", "0", "--rate", "5", "--real-time"}, 2, "cannot be given together"},
        {"serve", Serve, {log, "--tcp", "0", "--rate", "max", "--burst", "5"}, 2, "--burst goes with"},
        {"serve", Serve, {"/nonexistent/gps.log", "--tcp", "0"}, 1, "cannot read '/nonexistent/gps.log'"},
        {"serve", Serve, {empty, "--tcp", "0"}, 1, "holds nothing to serve"},
        {"serve", Serve, {log, "--pty", notLink}, 1, "exists and is not a symbolic link"},
        // clang-format on
    };
    for (const auto& c : cases) {
        std::ostringstream out, err;
        const int code = c.run(c.args, out, err);
        const std::string text = err.str();
        SCOPED_TRACE(std::string(c.name) + ": " + text);
        EXPECT_EQ(code, c.code);
        EXPECT_TRUE(out.str().empty());
        EXPECT_EQ(text.rfind("skarnet2-tool " + std::string(c.name) + ": ", 0), 0u);
        EXPECT_NE(text.find(c.message), std::string::npos);
        // serve adds its usage to the wrongly asked, every other command says one line.
        const bool usage = text.find("usage: skarnet2-tool serve") != std::string::npos;
        if (c.run == Serve) {
            EXPECT_EQ(usage, c.code == 2);
        } else {
            EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
        }
    }
    EXPECT_TRUE(std::filesystem::is_regular_file(notLink)) << "a real file is never replaced";
    std::ifstream kept(same);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "x");
}

}  // namespace
