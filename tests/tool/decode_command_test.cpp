#include "tool/decode_command.h"

#include <gtest/gtest.h>

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
#include "tool/log_epochs.h"
#include "tool/receiver_simulator.h"

namespace {

ToolRun Decode(std::vector<std::string_view> args) { return Tool<RunDecode>(std::move(args)); }

std::string SimulatedLog(const SimulatorOptions& options)
{
    CReceiverSimulator simulator(options);
    std::string log;
    while (simulator.NextEpoch(log)) {
    }
    return log;
}

std::string WriteTemp(const std::string& name, const std::string& bytes)
{
    const auto path = testdata::UniqueTempPath(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
}

std::vector<std::string> Fields(const std::string& line)
{
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
    return fields;
}

std::int64_t Milliseconds(const std::string& hhmmss)
{
    const std::int64_t t = std::llround(std::stod(hhmmss) * 1000);
    return t / 10000000 * 3600000 + t / 100000 % 100 * 60000 + t % 100000;
}

std::string CapturePath(const char* name) { return (*testdata::DataDir() / name).string(); }

// Epoch counts from the capture inventory (distinct solution times of the position protocol),
// and the sentences that fail their checksum (each counted once, however the bytes arrive).
TEST(DecodeCommand, RealCapturesGiveTheirEpochsInAnyBlockSizeAndServeCutsAsMany)
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
        EXPECT_EQ(SplitLogEpochs(testdata::ReadBytes(path)).size(), c.epochs);
    }
}

// An F9P base in fixed mode sends GGA (UTC, DGPS) beside NAV-PVT (GPS time, fixType 5).
TEST(DecodeCommand, SyncNonNmeaTakesTheEpochsFromUbx)
{
    SKIP_WITHOUT_DATA();
    const std::string path =
        CapturePath("mixed/pygnssutils_ublox-f9p-base_nmea_ubx_rtcm3_157s.log");
    std::map<std::string, std::vector<std::vector<std::string>>> rows;
    for (const char* sync : {"auto", "non-nmea"}) {
        const ToolRun run = Decode({path, "--sync", sync});
        ASSERT_EQ(run.code, 0) << run.err;
        for (const std::string& line : Lines(run.out))
            if (line[0] != 't' && line[0] != '#') rows[sync].push_back(Fields(line));
    }
    const auto& nmea = rows["auto"];
    const auto& ubx = rows["non-nmea"];
    ASSERT_EQ(ubx.size(), nmea.size());
    std::map<std::int64_t, const std::vector<std::string>*> byUtc;
    for (const auto& row : nmea) byUtc[Milliseconds(row[0])] = &row;
    std::size_t paired = 0;
    for (const auto& row : ubx) {
        EXPECT_EQ(row[6], "5") << "time-only fix of NAV-PVT, not the 3 of GSA";
        // GPS time runs 18 leap seconds ahead of UTC (2022).
        const auto utc = byUtc.find(Milliseconds(row[0]) - 18000);
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

TEST(DecodeCommand, SimulatedRunDecodesEveryEpoch)
{
    SimulatorOptions options;
    options.rateHz = 5;
    options.seconds = 60;
    options.startHhmmss = 235950;
    const std::string log = SimulatedLog(options);
    const ToolRun run = Decode({WriteTemp("skarnet2_decode_sim5.nmea", log)});
    ASSERT_EQ(run.code, 0);
    const auto lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 300u + 2);
    EXPECT_EQ(lines.front().rfind("time,latitude,longitude", 0), 0u);
    EXPECT_EQ(lines[1].substr(0, 10), "235950.000");
    EXPECT_EQ(lines[2].substr(0, 10), "235950.200");
    EXPECT_EQ(lines[51].substr(0, 10), "000000.000") << "the day rolls over";
    EXPECT_EQ(lines.back(),
              "# epochs 300, bytes " + std::to_string(log.size()) + ", checksum errors 0");
    // Every epoch near the start point, with a fix.
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
        const auto fields = Fields(lines[i]);
        ASSERT_EQ(fields.size(), 14u) << lines[i];
        EXPECT_NEAR(std::stod(fields[1]), options.latitudeDeg, 0.001) << lines[i];
        EXPECT_NEAR(std::stod(fields[2]), options.longitudeDeg, 0.001) << lines[i];
        EXPECT_GE(std::stoi(fields[5]), 1);
    }
}

TEST(DecodeCommand, BadArguments)
{
    const struct {
        std::vector<std::string_view> args;
        int code;
        const char* message;
    } cases[] = {
        {{}, 2, "no log file"},
        {{"a", "b"}, 2, "one log file"},
        {{"a", "--block", "12x"}, 2, "--block"},
        {{"a", "--fast"}, 2, "unknown option"},
        {{"a", "--protocol", "rtcm"}, 2, "--protocol must be auto, nmea, ubx, sbf or gsof"},
        {{"a", "--sync", "nmea"}, 2, "--sync must be auto or non-nmea"},
        {{"a", "--sync", "NON-NMEA"}, 2, "--sync must be auto or non-nmea"},
        {{"a", "--sync"}, 2, "--sync must be auto or non-nmea"},
        {{"/nonexistent/skarnet2.log", "--sync", "non-nmea"}, 1, "cannot open"},
    };
    for (const auto& c : cases) {
        const ToolRun run = Decode(c.args);
        EXPECT_EQ(run.code, c.code);
        EXPECT_EQ(run.err.rfind("skarnet2-tool decode: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty());
    }
}

}  // namespace
