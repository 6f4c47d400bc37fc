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
#include "tool/receiver_simulator.h"

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

TEST(DecodeCommand, SimulatedRunDecodesEveryEpoch)
{
    SimulatorOptions options;
    options.rateHz = 5;
    options.seconds = 60;
    options.startHhmmss = 235950;
    const std::string log = Simulated(options);
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

}  // namespace
